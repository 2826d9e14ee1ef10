#include "plugin/PluginName.h"

#include "logging/FormatPositional.h"
#include "logging/Logger.h"

namespace Corvan {

std::string GetFullNameFromShortNameAndType(std::string_view shortName, std::string_view type) {
  std::string prefix;
  if (type == "backend") {
    prefix = "tqp-be-";
  } else if (type == "frontend") {
    prefix = "tqp-fe-";
  } else {
    prefix = "tqp-xx-";
    const std::string text = FormatPositionalText(
        "GetFullNameFromShortNameAndType(\"%1\", \"%2\") called with an unknown type",
        std::string(shortName), std::string(type));
    Log(kLogError, LogCategory::DBG, "            Plugin Manager| %s", text.c_str());
  }
  return prefix.append(shortName);
}

PluginName MakePluginName(std::string_view shortName, std::string_view type) {
  return PluginName{GetFullNameFromShortNameAndType(shortName, type),
                    std::string(shortName),
                    std::string(type),
                    {}};
}

}  // namespace Corvan
