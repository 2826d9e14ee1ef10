// POSIX implementation of the file-system layer: Linux with glibc.
#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace Corvan::Platform {
namespace {

constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
constexpr std::uint64_t kFileTimeTicksPerSecond = 10000000;

std::uint64_t FileTimeOf(const struct timespec& time) {
  const std::int64_t seconds = static_cast<std::int64_t>(time.tv_sec) + kSecondsFrom1601To1970;
  if (seconds < 0) return 0;
  return static_cast<std::uint64_t>(seconds) * kFileTimeTicksPerSecond +
         static_cast<std::uint64_t>(time.tv_nsec) / 100;
}

// Size and time as the Windows find data gives them: a directory has size 0.
void SizeAndTimeOf(const struct stat& status, std::uint64_t& size, std::uint64_t& lastWriteTime) {
  size = S_ISDIR(status.st_mode) ? 0 : static_cast<std::uint64_t>(status.st_size);
  lastWriteTime = FileTimeOf(status.st_mtim);
}

// Fills in what the Windows find data would say of an entry. A symbolic
// link is described by its target; a dangling one by the link itself.
void Describe(int directory, const char* name, DirectoryEntry& entry) {
  struct stat status {};
  if (fstatat(directory, name, &status, 0) != 0 &&
      fstatat(directory, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
    entry.size = 0;
    entry.lastWriteTime = 0;
    entry.attributes = kFileAttributeNormal;
    return;
  }
  SizeAndTimeOf(status, entry.size, entry.lastWriteTime);
  entry.attributes = S_ISDIR(status.st_mode) ? kFileAttributeDirectory : kFileAttributeNormal;
}

int RenameNoReplace(const char* from, const char* to) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
  return renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#else
  return static_cast<int>(syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE));
#endif
}

// The answers of a kernel or file system that does not know the flag.
bool FlagRefused(int error) { return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP; }

// Where the file system has no hard links either (SMB mounts, for example):
// check, then rename. Another process could create the destination in
// between; nothing better is offered there.
bool RenameIfAbsent(const char* from, const char* to) {
  struct stat status {};
  if (lstat(to, &status) == 0) {
    errno = EEXIST;
    return false;
  }
  if (errno != ENOENT) return false;
  return std::rename(from, to) == 0;
}

// link fails when the destination exists, which is the no-replace rule;
// the unlink then completes the move.
bool MoveByLink(const char* from, const char* to) {
  if (link(from, to) != 0) {
    if (errno == EPERM || errno == EOPNOTSUPP) return RenameIfAbsent(from, to);
    return false;
  }
  if (unlink(from) != 0) {
    const int error = errno;
    unlink(to);
    errno = error;
    return false;
  }
  return true;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The value of one XDG_DOCUMENTS_DIR="..." line with its escapes removed
// and $HOME expanded; empty when the line is not such an assignment or the
// result is not an absolute path.
std::string DocumentsAssignment(const std::string& line, const std::string& home) {
  static constexpr char kKey[] = "XDG_DOCUMENTS_DIR";
  std::size_t at = line.find_first_not_of(" \t");
  if (at == std::string::npos || line.compare(at, sizeof kKey - 1, kKey) != 0) return {};
  at = line.find_first_not_of(" \t", at + sizeof kKey - 1);
  if (at == std::string::npos || line[at] != '=') return {};
  at = line.find_first_not_of(" \t", at + 1);
  if (at == std::string::npos || line[at] != '"') return {};
  std::string value;
  for (++at; at < line.size() && line[at] != '"'; ++at) {
    if (line[at] == '\\' && at + 1 < line.size()) ++at;
    value += line[at];
  }
  if (value.compare(0, 5, "$HOME") == 0 && (value.size() == 5 || value[5] == '/')) {
    if (home.empty()) return {};
    value.replace(0, 5, home);
  }
  return value.empty() || value[0] != '/' ? std::string() : value;
}

// XDG_DOCUMENTS_DIR of the user's user-dirs.dirs (the last valid line, as
// when the shell sources the file); empty when there is none.
std::string ConfiguredDocumentsFolder(const std::string& home) {
  std::string config = Environment("XDG_CONFIG_HOME");
  if (config.empty() || config[0] != '/') {
    if (home.empty()) return {};
    config = home + "/.config";
  }
  std::ifstream file(config + "/user-dirs.dirs");
  std::string found;
  for (std::string line; std::getline(file, line);) {
    std::string value = DocumentsAssignment(line, home);
    if (!value.empty()) found = std::move(value);
  }
  return found;
}

// GNU and XSI strerror_r differ in their result type.
[[maybe_unused]] const char* ErrorTextOf(int result, const char* buffer) {
  return result == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* ErrorTextOf(const char* result, const char*) { return result; }

struct DirectoryCloser {
  void operator()(DIR* directory) const { closedir(directory); }
};

}  // namespace

bool ListDirectory(const std::string& base,
                   const std::function<void(const DirectoryEntry&)>& visit) {
  const std::unique_ptr<DIR, DirectoryCloser> directory(opendir(base.c_str()));
  if (!directory) return false;
  const int descriptor = dirfd(directory.get());
  DirectoryEntry entry;
  while (const dirent* item = readdir(directory.get())) {
    entry.name = item->d_name;
    Describe(descriptor, item->d_name, entry);
    visit(entry);
  }
  return true;
}

Directory::~Directory() {
  if (handle_ != nullptr) closedir(static_cast<DIR*>(handle_));
}

bool Directory::Open(const std::string& base) {
  base_ = base;
  handle_ = opendir(base.c_str());
  return handle_ != nullptr;
}

bool Directory::List(const std::function<bool(std::string_view name)>& wantedFile,
                     const std::function<void(const DirectoryEntry&)>& visit, bool describeFiles) {
  auto* directory = static_cast<DIR*>(handle_);
  if (directory == nullptr) return false;
  const int descriptor = dirfd(directory);
  DirectoryEntry entry;
  while (const dirent* item = readdir(directory)) {
    // The entry's type, where the file system gives it, spares a stat of
    // the files nobody wants and of directories.
    if (item->d_type == DT_REG && !wantedFile(item->d_name)) continue;
    entry.name = item->d_name;
    entry.described = true;
    if (item->d_type == DT_DIR) {
      entry.size = entry.lastWriteTime = 0;
      entry.attributes = kFileAttributeDirectory;
    } else if (item->d_type == DT_REG && !describeFiles) {
      entry.size = entry.lastWriteTime = 0;
      entry.attributes = kFileAttributeNormal;
      entry.described = false;
    } else {
      Describe(descriptor, item->d_name, entry);
    }
    visit(entry);
  }
  return true;
}

// O_NONBLOCK: opening a FIFO for reading would wait for a writer.
bool ReadOnlyFile::Open(const std::string& path) {
  Close();
  handle_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  return handle_ >= 0;
}

bool ReadOnlyFile::Open(const Directory& directory, const char* relativePath) {
  Close();
  if (directory.handle_ == nullptr) return false;
  const int descriptor = dirfd(static_cast<DIR*>(directory.handle_));
  handle_ = openat(descriptor, relativePath, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  return handle_ >= 0;
}

std::size_t ReadOnlyFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
  if (handle_ < 0) return 0;
  const ssize_t read = pread(static_cast<int>(handle_), buffer, count, static_cast<off_t>(offset));
  return read > 0 ? static_cast<std::size_t>(read) : 0;
}

bool ReadOnlyFile::Describe(std::uint64_t& size, std::uint64_t& lastWriteTime) const {
  struct stat status {};
  if (handle_ < 0 || fstat(static_cast<int>(handle_), &status) != 0) return false;
  SizeAndTimeOf(status, size, lastWriteTime);
  return true;
}

void ReadOnlyFile::Close() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
}

std::FILE* OpenFileStream(const std::string& path, const char* mode) {
  const std::string text = mode != nullptr ? mode : "";
  if (text == "r" || text == "rb") {
    // Opening a FIFO for reading waits for a writer, and a scan would hang
    // on one named x.webm: open without waiting, keep regular files only
    // (Windows has no such files in a folder).
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
      const int error = S_ISREG(status.st_mode) ? errno : EINVAL;
      close(fd);
      errno = error;
      return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* stream = fdopen(fd, "rb");
    if (stream == nullptr) close(fd);
    return stream;
  }
  // "e" (close on exec) keeps the stream out of processes spawned meanwhile.
  return std::fopen(path.c_str(), (text + "e").c_str());
}

bool MovePath(const std::string& from, const std::string& to, std::uint32_t flags) {
  if ((flags & kMoveReplaceExisting) != 0) return std::rename(from.c_str(), to.c_str()) == 0;
  if (RenameNoReplace(from.c_str(), to.c_str()) == 0) return true;
  if (!FlagRefused(errno)) return false;
  return MoveByLink(from.c_str(), to.c_str());
}

bool RemoveFile(const std::string& path) {
  if (unlink(path.c_str()) == 0) return true;
  return errno == ENOENT || errno == ENOTDIR;
}

std::uint32_t LastErrorCode() { return static_cast<std::uint32_t>(errno); }

bool SystemErrorText(std::uint32_t code, std::string& text) {
  char buffer[1024] = {};
  const char* message = ErrorTextOf(strerror_r(static_cast<int>(code), buffer, sizeof buffer), buffer);
  if (message == nullptr) return false;
  text = message;
  text += '\n';
  return true;
}

std::string DocumentsFolderPath() {
  std::string home = Environment("HOME");
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  std::string configured = ConfiguredDocumentsFolder(home);
  if (!configured.empty()) return configured;
  if (home.empty() || home[0] != '/') return {};
  return home + (home.back() == '/' ? "Documents" : "/Documents");
}

std::uint64_t UnixEpochFileTime() {
  return static_cast<std::uint64_t>(kSecondsFrom1601To1970) * kFileTimeTicksPerSecond;
}

}  // namespace Corvan::Platform
