#include "highlights/filestore/ShowInFileBrowser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logging/LogRecord.h"
#include "platform/Shell.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"

namespace Corvan::Client::Highlights {
namespace {

using Testing::LogCapture;
using Testing::TempDirectory;

// Stands in for the desktop's file browser: records the items it is asked to
// show and answers with the code the test chose.
struct FakeFileManager {
  FakeFileManager() { previous = Platform::SetShowItemRequest(&Show); }
  ~FakeFileManager() { Platform::SetShowItemRequest(previous); }
  static std::int32_t Show(const std::string& uri) {
    uris.push_back(uri);
    return answer;
  }
  Platform::ShowItemRequest previous;
  static inline std::vector<std::string> uris;
  static inline std::int32_t answer = 0;
};

class ShowInFileBrowserTest : public testing::Test {
 protected:
  void SetUp() override {
    FakeFileManager::uris.clear();
    FakeFileManager::answer = 0;
  }
  FakeFileManager fileManager_;
  TempDirectory folder_;
};

TEST_F(ShowInFileBrowserTest, MissingFileIsNotFoundWithoutAskingAnyone) {
  LogCapture log;
  EXPECT_EQ(ShowInFileBrowser(folder_.PathOf("deleted.webm")),
            ShowInFileBrowserResult::FileNotFound);
  EXPECT_EQ(ShowInFileBrowser(""), ShowInFileBrowserResult::FileNotFound);
  EXPECT_TRUE(FakeFileManager::uris.empty());
  EXPECT_TRUE(log.Lines().empty());
}

TEST_F(ShowInFileBrowserTest, AsksTheFileBrowserForTheFile) {
  const std::string path = folder_.WriteFile("My clip, \xC3\xA9t\xC3\xA9 #1.webm");
  LogCapture log;
  EXPECT_EQ(ShowInFileBrowser(path), ShowInFileBrowserResult::Succeeded);
  ASSERT_EQ(FakeFileManager::uris.size(), 1u);
#if defined(_WIN32)
  // The shell item was made from the path, so the file was found by its
  // UTF-16 name.
  EXPECT_EQ(FakeFileManager::uris[0], ConvertSlashesToBackslashes(path));
#else
  EXPECT_EQ(FakeFileManager::uris[0],
            Platform::FileUriOf(folder_.path()) + "/My%20clip%2C%20%C3%A9t%C3%A9%20%231.webm");
#endif
  EXPECT_TRUE(log.Lines().empty());
}

TEST_F(ShowInFileBrowserTest, RefusedRequestIsOpenFailedAndLogged) {
  const std::string path = folder_.WriteFile("clip.webm");
  FakeFileManager::answer = static_cast<std::int32_t>(0x80004005);  // E_FAIL
  LogCapture log;
  EXPECT_EQ(ShowInFileBrowser(path), ShowInFileBrowserResult::OpenFailed);
  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, kLogWarn);
  EXPECT_EQ(lines[0].categories, LogCategory::DBG);
  EXPECT_EQ(lines[0].message,
            "kyn-highlights: Failed to reveal file in windows file explorer. file=`" +
                (Platform::kShellUsesBackslashes ? ConvertSlashesToBackslashes(path) : path) +
                "' hresult=-2147467259");
}

TEST(ShowInFileBrowser, SlashesBecomeBackslashesForTheWindowsShell) {
  struct Case {
    const char* path;
    const char* expected;
  } const cases[] = {
      {"C:/Users/a/Documents/Realm of Kynmoor/Highlights/clip.webm",
       "C:\\Users\\a\\Documents\\Realm of Kynmoor\\Highlights\\clip.webm"},
      {"\\\\server/share/clip.webm", "\\\\server\\share\\clip.webm"},
      {"C:\\already\\back", "C:\\already\\back"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(ConvertSlashesToBackslashes(c.path), c.expected);
  }
}

}  // namespace
}  // namespace Corvan::Client::Highlights
