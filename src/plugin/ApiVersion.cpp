#include "plugin/ApiVersion.h"

#include "logging/FormatPositional.h"

namespace Corvan {

std::string ApiVersion::ToText() const {
  std::string text = FormatPositionalText("%1.%2.%3", major, minor, patch);
  if (!prerelease.empty()) text += "-" + prerelease;
  if (!build.empty()) text += "+" + build;
  return text;
}

bool ApiVersion::IsCompatibleWith(const ApiVersion& host) const {
  if (host.major != major) return false;
  if (host.minor != minor) return host.minor > minor;
  return host.patch >= patch;
}

ApiVersion PluginApiVersion() { return ApiVersion{18, 0, 0, {}, {}}; }

}  // namespace Corvan
