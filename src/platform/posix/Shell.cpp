// POSIX implementation of the reveal: the desktop's file manager over the
// session D-Bus, reached through dbus-send so that no D-Bus library is
// linked into the module.
#include "platform/Shell.h"

#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

extern char** environ;

namespace Corvan::Platform {
namespace {

// How long the file manager may take to answer (it may have to start).
constexpr char kReplyTimeout[] = "--reply-timeout=10000";

// Runs dbus-send with its output discarded and waits for it; --print-reply
// makes its exit status tell whether the file manager accepted the call.
std::int32_t ShowItemOverDBus(const std::string& fileUri) {
  const std::string items = "array:string:" + fileUri;
  const char* const arguments[] = {"dbus-send",
                                   "--session",
                                   "--print-reply",
                                   kReplyTimeout,
                                   "--dest=org.freedesktop.FileManager1",
                                   "--type=method_call",
                                   "/org/freedesktop/FileManager1",
                                   "org.freedesktop.FileManager1.ShowItems",
                                   items.c_str(),
                                   "string:",
                                   nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, "dbus-send", &actions, nullptr,
                                   const_cast<char* const*>(arguments), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return spawned;
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return errno;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

std::atomic<ShowItemRequest> gShowItemRequest{&ShowItemOverDBus};

std::string AbsolutePath(const std::string& path) {
  if (path[0] == '/') return path;
  char directory[PATH_MAX];
  if (getcwd(directory, sizeof directory) == nullptr) return path;
  return std::string(directory) + "/" + path;
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

}  // namespace

const bool kShellUsesBackslashes = false;

RevealOutcome RevealInFileBrowser(const std::string& path) {
  struct stat status {};
  if (path.empty() || stat(path.c_str(), &status) != 0) return {RevealStatus::NotFound, 0};
  const std::int32_t code = gShowItemRequest.load()(FileUriOf(AbsolutePath(path)));
  if (code != 0) return {RevealStatus::OpenFailed, code};
  return {RevealStatus::Shown, 0};
}

ShowItemRequest SetShowItemRequest(ShowItemRequest request) {
  return gShowItemRequest.exchange(request ? request : &ShowItemOverDBus);
}

std::string FileUriOf(const std::string& absolutePath) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const char c : absolutePath) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsUnreserved(byte) || byte == '/') {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 0x0F];
    }
  }
  return uri;
}

}  // namespace Corvan::Platform
