// kyn-host as a program: started, used, stopped by a signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/HostTestSupport.h"

extern char** environ;

namespace Corvan::Host {
namespace {

using HostTestSupport::TempDir;

// One kyn-host process with its own home, config and data directories.
class HostProcess {
 public:
  HostProcess(const TempDir& dir, std::vector<std::string> arguments) {
    std::vector<std::string> texts = {KYN_HOST_EXECUTABLE, "--module", KYN_TEST_PLUGIN,
                                      "--port", "0"};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = {"HOME=" + dir.path(),
                                            "XDG_CONFIG_HOME=" + (dir / "config"),
                                            "XDG_DATA_HOME=" + (dir / "data")};
    for (char** variable = environ; *variable != nullptr; ++variable) {
      const std::string text = *variable;
      if (!text.starts_with("HOME=") && !text.starts_with("XDG_")) environment.push_back(text);
    }
    int out[2];
    EXPECT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (dir / "stderr.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0600);
    std::vector<char*> argv = Pointers(texts);
    std::vector<char*> envp = Pointers(environment);
    EXPECT_EQ(posix_spawn(&pid_, texts[0].c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    output_ = ReadUntil(out[0], "Ctrl-C stops.");
    close(out[0]);
    const std::size_t at = output_.find("http://127.0.0.1:");
    if (at != std::string::npos) port_ = std::stoi(output_.substr(at + 17));
  }

  ~HostProcess() {
    if (pid_ > 0) Stop();
  }

  // Sends SIGTERM and returns the exit status (-1 when it did not exit).
  int Stop() {
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 500; ++i) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = 0;
    return -1;
  }

  int port() const { return port_; }
  const std::string& output() const { return output_; }

 private:
  static std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
  }

  static std::string ReadUntil(int descriptor, const std::string& end) {
    std::string text;
    char buffer[512];
    while (text.find(end) == std::string::npos) {
      const ssize_t count = read(descriptor, buffer, sizeof buffer);
      if (count <= 0) break;
      text.append(buffer, static_cast<std::size_t>(count));
    }
    return text;
  }

  pid_t pid_ = 0;
  int port_ = 0;
  std::string output_;
};

TEST(HostProcess, ServesUntilSigtermAndStopsCleanly) {
  TempDir dir;
  HostTestSupport::WriteFile(dir / "videos/clip.webm", "x");
  HostProcess host(dir, {"--folder", dir / "videos"});
  ASSERT_GT(host.port(), 0) << host.output();
  HostTestSupport::TestHttpClient client(static_cast<std::uint16_t>(host.port()));
  EXPECT_EQ(client.Get("/kyn-test/v1/items/1")->status, 200);
  // A browser-like client holds an event stream, an idle connection and an
  // unfinished request: none of them holds the host up.
  const std::string hostHeader = "Host: 127.0.0.1:" + std::to_string(host.port()) + "\r\n";
  HostTestSupport::RawConnection events(static_cast<std::uint16_t>(host.port()));
  events.Write("GET /events HTTP/1.1\r\n" + hostHeader + "\r\n");
  EXPECT_NE(events.ReadUntil(": connected").find(": connected"), std::string::npos);
  HostTestSupport::RawConnection idle(static_cast<std::uint16_t>(host.port()));
  idle.Write("GET /kyn-test/v1/items HTTP/1.1\r\n" + hostHeader + "\r\n");
  idle.ReadUntil("]");
  HostTestSupport::RawConnection unfinished(static_cast<std::uint16_t>(host.port()));
  unfinished.Write("GET / HTTP/1.1\r\n");
  EXPECT_EQ(host.Stop(), 0);
  const std::string log = HostTestSupport::ReadFile(dir / "stderr.txt");
  EXPECT_NE(log.find("kyn-test OKAY   kyn-test: started"), std::string::npos) << log;
  EXPECT_NE(log.find("kyn-host OKAY   stopped"), std::string::npos) << log;
}

TEST(HostProcess, AChosenFolderSurvivesARestart) {
  TempDir dir;
  {
    // No folder at all: the demo folder in the data directory is created.
    HostProcess host(dir, {});
    ASSERT_GT(host.port(), 0) << host.output();
    EXPECT_NE(host.output().find("highlights folder: " + (dir / "data/kyn-host/demo-highlights")),
              std::string::npos)
        << host.output();
    HostTestSupport::TestHttpClient client(static_cast<std::uint16_t>(host.port()));
    std::filesystem::create_directories(dir / "chosen");
    auto put = client.Put("/kyn-settings/v1/local/kyn-replays",
                          "{\"data\":{\"highlights-folder-path\":\"" + (dir / "chosen") + "\"}}");
    ASSERT_TRUE(put);
    EXPECT_EQ(put->status, 200);
    EXPECT_EQ(host.Stop(), 0);
  }
  HostProcess again(dir, {});
  EXPECT_NE(again.output().find("highlights folder: " + (dir / "chosen")), std::string::npos)
      << again.output();
}

// A start that cannot serve stops at once and says why.
TEST(HostProcess, AStartThatCannotServeSaysWhy) {
  TempDir dir;
  HostTestSupport::WriteFile(dir / "file", "x");
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case kCases[] = {
      {{"--module", "/nonexistent.so"}, "--module /nonexistent.so: No such file or directory"},
      {{"--web", dir / "missing"}, "--web " + (dir / "missing") + ": No such file or directory"},
      {{"--folder", dir / "file"}, "--folder " + (dir / "file") + ": not a folder"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.message);
    HostProcess host(dir, c.arguments);
    EXPECT_EQ(host.port(), 0);
    EXPECT_EQ(host.Stop(), 1);
    EXPECT_NE(HostTestSupport::ReadFile(dir / "stderr.txt").find(c.message), std::string::npos);
  }
}

}  // namespace
}  // namespace Corvan::Host
