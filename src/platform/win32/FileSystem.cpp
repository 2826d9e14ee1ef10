// Windows implementation of the file-system layer: the wide-character
// functions, with paths converted from UTF-8 at each call.
#include "platform/FileSystem.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shlobj.h>

#include <cstdio>

#include "platform/win32/WideText.h"

namespace Corvan::Platform {
namespace {

std::uint64_t Join(DWORD high, DWORD low) {
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

struct FindCloser {
  HANDLE handle;
  ~FindCloser() { FindClose(handle); }
};

}  // namespace

bool ListDirectory(const std::string& base,
                   const std::function<void(const DirectoryEntry&)>& visit) {
  const std::wstring pattern = Wide(base) + L"*";
  WIN32_FIND_DATAW data{};
  const HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &data,
                                         FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return false;
  const FindCloser closer{search};
  DirectoryEntry entry;
  do {
    entry.name = Narrow(data.cFileName);
    entry.size = Join(data.nFileSizeHigh, data.nFileSizeLow);
    entry.lastWriteTime = Join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
    entry.attributes = data.dwFileAttributes;
    visit(entry);
  } while (FindNextFileW(search, &data));
  return true;
}

Directory::~Directory() = default;

bool Directory::Open(const std::string& base) {
  base_ = base;
  return true;  // FindFirstFileExW in List tells
}

// The find data already describes every entry: nothing to spare.
bool Directory::List(const std::function<bool(std::string_view name)>&,
                     const std::function<void(const DirectoryEntry&)>& visit, bool) {
  return ListDirectory(base_, visit);
}

// Shared reading only, as _wfopen_s opens for reading: a file the game still
// writes cannot be opened and counts as failing.
bool ReadOnlyFile::Open(const std::string& path) {
  Close();
  const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return true;
}

bool ReadOnlyFile::Open(const Directory& directory, const char* relativePath) {
  return Open(directory.base() + relativePath);
}

std::size_t ReadOnlyFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
  if (handle_ == -1) return 0;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD read = 0;
  const DWORD wanted = count > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(count);
  if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, wanted, &read, &at)) return 0;
  return read;
}

bool ReadOnlyFile::Describe(std::uint64_t& size, std::uint64_t& lastWriteTime) const {
  BY_HANDLE_FILE_INFORMATION information{};
  if (handle_ == -1 ||
      !GetFileInformationByHandle(reinterpret_cast<HANDLE>(handle_), &information)) {
    return false;
  }
  size = Join(information.nFileSizeHigh, information.nFileSizeLow);
  lastWriteTime = Join(information.ftLastWriteTime.dwHighDateTime,
                       information.ftLastWriteTime.dwLowDateTime);
  return true;
}

void ReadOnlyFile::Close() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

std::FILE* OpenFileStream(const std::string& path, const char* mode) {
  std::FILE* stream = nullptr;
  if (_wfopen_s(&stream, Wide(path).c_str(), Wide(mode ? mode : "").c_str()) != 0) {
    if (stream != nullptr) std::fclose(stream);
    return nullptr;
  }
  return stream;
}

bool MovePath(const std::string& from, const std::string& to, std::uint32_t flags) {
  return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), flags) != FALSE;
}

bool RemoveFile(const std::string& path) {
  const std::wstring wide = Wide(path);
  if (GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) {
    // Only a file that is not there counts as deleted; one that cannot be
    // reached is a failure with the system's code.
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  return DeleteFileW(wide.c_str()) != FALSE;
}

std::uint32_t LastErrorCode() { return GetLastError(); }

bool SystemErrorText(std::uint32_t code, std::string& text) {
  wchar_t buffer[1024] = {};
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, buffer, 1024, nullptr);
  if (length == 0) return false;
  text = Narrow(buffer);
  return true;
}

std::string DocumentsFolderPath() {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, buffer))) return {};
  return Narrow(buffer);
}

std::uint64_t UnixEpochFileTime() {
  SYSTEMTIME epoch{};
  epoch.wYear = 1970;
  epoch.wMonth = 1;
  epoch.wDay = 1;
  FILETIME fileTime{};
  SystemTimeToFileTime(&epoch, &fileTime);
  return Join(fileTime.dwHighDateTime, fileTime.dwLowDateTime);
}

}  // namespace Corvan::Platform
