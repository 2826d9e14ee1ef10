// What the Windows file-system layer does beyond the shared contracts: the
// listing's own entries, backslash paths, read-only files, the system's
// message table and the shell's Documents folder.
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "highlights/filestore/ShowInFileBrowser.h"
#include "support/SystemErrors.h"
#include "support/TempDirectory.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace Corvan::Platform {
namespace {

using Client::Highlights::ConvertSlashesToBackslashes;
using Testing::TempDirectory;
namespace SystemError = TestSupport::SystemError;

std::vector<std::string> Names(const std::string& base) {
  std::vector<std::string> names;
  EXPECT_TRUE(ListDirectory(base, [&](const DirectoryEntry& e) { names.push_back(e.name); }));
  return names;
}

TEST(Win32FileSystem, ListingStartsWithTheFolderItselfAndItsParent) {
  TempDirectory folder;
  folder.WriteFile("b.webm");
  folder.WriteFile("a.webm");
  const std::vector<std::string> names = Names(folder.path() + "/");
  ASSERT_EQ(names.size(), 4u);
  EXPECT_EQ(names[0], ".");
  EXPECT_EQ(names[1], "..");
}

TEST(Win32FileSystem, BackslashPathsWorkLikeSlashPaths) {
  TempDirectory folder;
  folder.WriteFile("clip.webm", "x");
  const std::string backslashed = ConvertSlashesToBackslashes(folder.path() + "/");
  EXPECT_EQ(Names(backslashed), Names(folder.path() + "/"));
  EXPECT_TRUE(MovePath(ConvertSlashesToBackslashes(folder.PathOf("clip.webm")),
                       ConvertSlashesToBackslashes(folder.PathOf("moved.webm")), 0));
  EXPECT_EQ(folder.ReadFile("moved.webm"), "x");
}

TEST(Win32FileSystem, ReadOnlyFileIsNotDeleted) {
  TempDirectory folder;
  const std::string path = folder.WriteFile("kept.webm", "k");
  const std::wstring wide = Testing::PathFromUtf8(path).wstring();
  ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(RemoveFile(path));
  EXPECT_EQ(LastErrorCode(), SystemError::kAccessDenied);
  EXPECT_EQ(folder.ReadFile("kept.webm"), "k");
  ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL));
}

TEST(Win32FileSystem, MessageTableTexts) {
  std::string text;
  // FORMAT_MESSAGE_IGNORE_INSERTS: a message with an insert comes back
  // with it unexpanded rather than failing.
  ASSERT_TRUE(SystemErrorText(SystemError::kFileNotFound, text));
  EXPECT_FALSE(text.empty());
  // A code the message table does not know.
  EXPECT_FALSE(SystemErrorText(999999, text));
  EXPECT_EQ(LastErrorCode(), 317u);  // ERROR_MR_MID_NOT_FOUND
}

TEST(Win32FileSystem, DocumentsFolderIsTheShellsPersonalFolder) {
  const std::string documents = DocumentsFolderPath();
  ASSERT_FALSE(documents.empty());
  EXPECT_EQ(documents.find('/'), std::string::npos) << documents;
  EXPECT_EQ(documents.substr(1, 2), ":\\") << documents;
}

}  // namespace
}  // namespace Corvan::Platform
