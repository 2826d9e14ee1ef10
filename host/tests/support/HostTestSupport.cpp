#include "support/HostTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "binding/readers/JsonReader.h"

namespace HostTestSupport {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kyn-host-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

Corvan::BindingProperty Json(const std::string& text) {
  Corvan::BindingResult parsed = Corvan::ReadJson(text);
  EXPECT_TRUE(parsed.success) << parsed.ErrorText() << " in " << text;
  return parsed.property;
}

RunningHost::RunningHost(bool disabled) {
  WriteFile(folder() + "/clip.webm", "0123456789");
  WriteFile(dir_ / "web/index.html", "<p>viewer</p>");
  Corvan::Host::HostOptions options;
  options.modulePath = KYN_TEST_PLUGIN;
  options.folder = folder();
  options.disabled = disabled;
  options.port = 0;
  options.webRoot = dir_ / "web";
  Corvan::Host::StartResult started = Corvan::Host::HostApp::Start(options, settingsFile());
  EXPECT_TRUE(started.ok()) << started.error;
  app_ = std::move(started.app);
  client_ = std::make_unique<TestHttpClient>(app_ ? app_->port() : 1);
}

RunningHost::~RunningHost() {
  client_.reset();
  if (app_) app_->Stop();
}

Corvan::BindingProperty RunningHost::GetJson(const std::string& path) {
  std::optional<TestResponse> result = client_->Get(path);
  if (!result) {
    ADD_FAILURE() << "no answer for " << path;
    return {};
  }
  EXPECT_EQ(result->status, 200) << path << ": " << result->body;
  return Json(result->body);
}

}  // namespace HostTestSupport
