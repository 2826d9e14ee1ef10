// The POSIX layer's own contracts: the Documents folder from the XDG
// user directories, and moves across file systems.
#include "platform/FileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "highlights/filestore/HighlightsFileManager.h"
#include "highlights/filestore/PathUtilities.h"
#include "support/TempDirectory.h"

namespace Corvan::Platform {
namespace {

using Testing::TempDirectory;

// Sets (or, for nullopt, removes) environment variables for one scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::initializer_list<std::pair<const char*, std::optional<std::string>>> values) {
    for (const auto& [name, value] : values) {
      const char* old = std::getenv(name);
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      Apply(name, value);
    }
  }
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) Apply(name, value);
  }

 private:
  static void Apply(const char* name, const std::optional<std::string>& value) {
    if (value) setenv(name, value->c_str(), 1);
    else unsetenv(name);
  }
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST(FileSystem, DocumentsFolderFromUserDirs) {
  TempDirectory config;
  const std::string home = "/home/someone";
  struct Case {
    const char* name;
    std::string userDirs;
    std::string expected;
  } const cases[] = {
      {"home relative", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n", home + "/Docs"},
      {"absolute with escapes", "XDG_DOCUMENTS_DIR=\"/data/My \\\"Docs\\\"\"\n",
       "/data/My \"Docs\""},
      {"among comments and other keys",
       "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
       "  XDG_DOCUMENTS_DIR = \"$HOME/Dokumente\"\nXDG_MUSIC_DIR=\"$HOME/Music\"\n",
       home + "/Dokumente"},
      {"last one wins", "XDG_DOCUMENTS_DIR=\"/first\"\nXDG_DOCUMENTS_DIR=\"/second\"\n", "/second"},
      {"home itself", "XDG_DOCUMENTS_DIR=\"$HOME\"\n", home},
      {"relative value ignored", "XDG_DOCUMENTS_DIR=\"Docs\"\n", home + "/Documents"},
      {"unquoted value ignored", "XDG_DOCUMENTS_DIR=/x\n", home + "/Documents"},
      {"other variable ignored", "XDG_DOCUMENTS_DIRECTORY=\"/x\"\n", home + "/Documents"},
      {"no entry", "", home + "/Documents"},
  };
  const ScopedEnvironment environment{{"HOME", home}, {"XDG_CONFIG_HOME", config.path()}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    config.WriteFile("user-dirs.dirs", c.userDirs);
    EXPECT_EQ(DocumentsFolderPath(), c.expected);
  }
}

TEST(FileSystem, DocumentsFolderWithoutConfigurationDirectory) {
  TempDirectory home;
  home.MakeDirectory(".config");
  home.WriteFile(".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/D\xC3\xB6kumente\"\n");
  {
    // Unset or relative XDG_CONFIG_HOME: the file under $HOME/.config.
    const ScopedEnvironment environment{{"HOME", home.path()}, {"XDG_CONFIG_HOME", std::nullopt}};
    EXPECT_EQ(DocumentsFolderPath(), home.path() + "/D\xC3\xB6kumente");
    const ScopedEnvironment relative{{"XDG_CONFIG_HOME", "relative"}};
    EXPECT_EQ(DocumentsFolderPath(), home.path() + "/D\xC3\xB6kumente");
  }
  {
    const ScopedEnvironment environment{{"HOME", "/root/"}, {"XDG_CONFIG_HOME", home.path()}};
    EXPECT_EQ(DocumentsFolderPath(), "/root/Documents");
  }
}

TEST(FileSystem, NoDocumentsFolderMeansNoDefaultHighlightsFolder) {
  TempDirectory config;
  const ScopedEnvironment environment{{"HOME", std::nullopt}, {"XDG_CONFIG_HOME", config.path()}};
  EXPECT_EQ(DocumentsFolderPath(), "");
  // $HOME cannot be expanded without a home.
  config.WriteFile("user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
  EXPECT_EQ(GetDocumentsFolderPath(), "");
  EXPECT_EQ(Client::Highlights::BuildDefaultHighlightsFolderPath(GetDocumentsFolderPath()), "");

  config.WriteFile("user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"/srv/docs\"\n");
  EXPECT_EQ(DocumentsFolderPath(), "/srv/docs");
}

TEST(FileSystem, MoveToAnotherFileSystemFailsWithoutCopying) {
  TempDirectory folder;
  struct stat here {}, shm {};
  if (stat(folder.path().c_str(), &here) != 0 || stat("/dev/shm", &shm) != 0 ||
      here.st_dev == shm.st_dev) {
    GTEST_SKIP() << "no second file system at /dev/shm";
  }
  const std::string from = folder.WriteFile("clip.webm", "clip");
  const std::string to = "/dev/shm/kyn-move-test-" + std::to_string(getpid()) + ".webm";
  EXPECT_FALSE(MovePath(from, to, 0));
  EXPECT_EQ(LastErrorCode(), static_cast<std::uint32_t>(EXDEV));
  EXPECT_EQ(folder.ReadFile("clip.webm"), "clip");
  struct stat copied {};
  EXPECT_NE(stat(to.c_str(), &copied), 0);
}

}  // namespace
}  // namespace Corvan::Platform
