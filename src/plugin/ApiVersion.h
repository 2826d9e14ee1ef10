// The plugin API version the host and the plugin each announce at load time.
// The host refuses nothing itself: the plugin decides, with IsCompatibleWith,
// whether it can run under the host's version and refuses the load otherwise.
//
//   if (!kPluginApiVersion.IsCompatibleWith(host)) { ... refuse ... }
#pragma once

#include <cstdint>
#include <string>

namespace Corvan {

struct ApiVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t patch = 0;
  std::string prerelease;
  std::string build;

  // "major.minor.patch", then "-prerelease" and "+build" when those are set.
  [[nodiscard]] std::string ToText() const;

  // A host serves this plugin when it has the same major version and is not
  // older in minor.patch; prerelease and build texts play no part.
  [[nodiscard]] bool IsCompatibleWith(const ApiVersion& host) const;
};

// The plugin API version this plugin was built against.
[[nodiscard]] ApiVersion PluginApiVersion();

}  // namespace Corvan
