#include "HostOptions.h"

#include <unistd.h>

#include <charconv>
#include <climits>

#ifndef KYN_HOST_WEB_ROOT
#define KYN_HOST_WEB_ROOT "host/web"
#endif

namespace Corvan::Host {

namespace {

// Every text this component reports.
namespace Msg {
constexpr const char* kUsage =
    "usage: kyn-host [--module PATH] [--folder DIR] [--disabled] [--port N] [--web DIR]\n"
    "  --module PATH  plugin module (default: kyn-highlights.so next to kyn-host)\n"
    "  --folder DIR   highlights folder for this run (default: saved setting, else default)\n"
    "  --disabled     start with the highlights feature disabled\n"
    "  --port N       loopback port (default 8512; 0 picks a free port)\n"
    "  --web DIR      web viewer files served at / (default: the source tree's host/web)\n";
constexpr const char* kMissingValue = "option needs a value: ";
constexpr const char* kBadPort = "not a port number: ";
constexpr const char* kUnknown = "unknown option: ";
}  // namespace Msg

bool ParsePort(const std::string& text, std::uint16_t& port) {
  unsigned value = 0;
  const char* end = text.data() + text.size();
  const auto [position, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || position != end || text.empty() || value > 65535) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

}  // namespace

OptionsResult ParseHostOptions(const std::vector<std::string>& arguments) {
  OptionsResult result;
  HostOptions& options = result.options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    const bool takesValue =
        option == "--module" || option == "--folder" || option == "--port" || option == "--web";
    if (takesValue && i + 1 == arguments.size()) {
      result.error = Msg::kMissingValue + option;
      return result;
    }
    if (option == "--module") {
      options.modulePath = arguments[++i];
    } else if (option == "--folder") {
      options.folder = arguments[++i];
    } else if (option == "--web") {
      options.webRoot = arguments[++i];
    } else if (option == "--port") {
      if (!ParsePort(arguments[++i], options.port)) {
        result.error = Msg::kBadPort + arguments[i];
        return result;
      }
    } else if (option == "--disabled") {
      options.disabled = true;
    } else if (option == "--help" || option == "-h") {
      options.help = true;
    } else {
      result.error = Msg::kUnknown + option;
      return result;
    }
  }
  if (options.modulePath.empty()) options.modulePath = DefaultModulePath();
  if (options.webRoot.empty()) options.webRoot = KYN_HOST_WEB_ROOT;
  return result;
}

const char* HostUsage() { return Msg::kUsage; }

std::string DefaultModulePath() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "kyn-highlights.so";
  std::string executable(path, static_cast<std::size_t>(length));
  const std::size_t slash = executable.rfind('/');
  return executable.substr(0, slash + 1) + "kyn-highlights.so";
}

}  // namespace Corvan::Host
