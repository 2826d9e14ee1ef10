// The names a plugin is known by: the short name it announces, its type, and
// the full name the host's plugin manager files it under (type prefix plus
// short name).
//
//   PluginName name = MakePluginName("kyn-highlights", "backend");
//   // name.fullName == "tqp-be-kyn-highlights"
#pragma once

#include <string>
#include <string_view>

namespace Corvan {

struct PluginName {
  std::string fullName;
  std::string shortName;
  std::string type;
  std::string secondType;  // always empty; the host reads it but no plugin sets it
};

// The prefix of "backend" or "frontend" before the short name; any other type
// gets the catch-all prefix and an error line in the log.
[[nodiscard]] std::string GetFullNameFromShortNameAndType(std::string_view shortName,
                                                          std::string_view type);

[[nodiscard]] PluginName MakePluginName(std::string_view shortName, std::string_view type);

}  // namespace Corvan
