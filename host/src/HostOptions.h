// HostOptions: the command line of kyn-host.
//
//   kyn-host [--module PATH] [--folder DIR] [--disabled] [--port N] [--web DIR]
//
//   --module PATH  the plugin module (default: kyn-highlights.so next to the
//                  executable)
//   --folder DIR   the highlights folder for this run (default: the saved
//                  setting, else the default folder)
//   --disabled     start with the highlights feature disabled
//   --port N       the loopback port (default 8512; 0 picks a free one)
//   --web DIR      the web viewer's files served at "/" (default: the
//                  source tree's host/web)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Corvan::Host {

inline constexpr std::uint16_t kDefaultPort = 8512;

struct HostOptions {
  std::string modulePath;
  std::optional<std::string> folder;
  bool disabled = false;
  std::uint16_t port = kDefaultPort;
  std::string webRoot;
  bool help = false;
};

struct OptionsResult {
  HostOptions options;
  // Set when the command line is wrong.
  std::string error;
};

// Reads the arguments after the program name; unset paths get their
// defaults.
[[nodiscard]] OptionsResult ParseHostOptions(const std::vector<std::string>& arguments);

// Why the paths of the options cannot serve, "" when they can: a module
// file, a web folder or a --folder that does not exist, or is not a file or
// a folder as it should be (an empty web folder means no viewer). The text
// names the option and the path.
[[nodiscard]] std::string CheckOptionPaths(const HostOptions& options);

// The usage text printed for --help and after a wrong command line.
[[nodiscard]] const char* HostUsage();

// kyn-highlights.so in the directory of the running executable.
[[nodiscard]] std::string DefaultModulePath();

}  // namespace Corvan::Host
