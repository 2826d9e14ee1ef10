#include "HostOptions.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
constexpr const char* kNotFile = "not a file";
constexpr const char* kNotFolder = "not a folder";
}  // namespace Msg

bool ParsePort(const std::string& text, std::uint16_t& port) {
  unsigned value = 0;
  const char* end = text.data() + text.size();
  const auto [position, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || position != end || text.empty() || value > 65535) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

// "" when the path names what it should, else "--option PATH: reason".
std::string PathProblem(const char* option, const std::string& path, bool folder) {
  struct stat info {};
  const char* reason = nullptr;
  if (stat(path.c_str(), &info) != 0) {
    reason = std::strerror(errno);
  } else if (folder != S_ISDIR(info.st_mode)) {
    reason = folder ? Msg::kNotFolder : Msg::kNotFile;
  }
  return reason == nullptr ? "" : std::string(option) + " " + path + ": " + reason;
}

}  // namespace

std::string CheckOptionPaths(const HostOptions& options) {
  std::string problem = PathProblem("--module", options.modulePath, false);
  if (problem.empty() && !options.webRoot.empty()) {
    problem = PathProblem("--web", options.webRoot, true);
  }
  if (problem.empty() && options.folder) problem = PathProblem("--folder", *options.folder, true);
  return problem;
}

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
