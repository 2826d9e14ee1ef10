// Helpers of the host tests: a temporary directory that removes itself, a
// file writer, polling for a condition that another thread brings about,
// and a running host with the test plugin and an HTTP client for it.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "HostApp.h"
#include "binding/BindingProperty.h"
#include "support/TestHttpClient.h"

namespace HostTestSupport {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Writes `bytes` to the file, creating its directory.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

// Polls the condition until it holds or the time is up; returns its value.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = std::chrono::seconds(5));

// Parses JSON text; an unparsable text fails the test and gives an empty value.
Corvan::BindingProperty Json(const std::string& text);

// A host running the test plugin on a free port, with a highlights folder
// holding "clip.webm" (the bytes "0123456789"), a web folder holding
// index.html ("<p>viewer</p>") and a settings file, all in a temporary
// directory.
class RunningHost {
 public:
  explicit RunningHost(bool disabled = false);
  ~RunningHost();

  Corvan::Host::HostApp& app() { return *app_; }
  TestHttpClient& client() { return *client_; }
  std::string folder() const { return dir_ / "videos"; }
  std::string settingsFile() const { return dir_ / "settings.json"; }
  const TempDir& dir() const { return dir_; }
  // GET of a plugin path, parsed.
  Corvan::BindingProperty GetJson(const std::string& path);

 private:
  TempDir dir_;
  std::unique_ptr<Corvan::Host::HostApp> app_;
  std::unique_ptr<TestHttpClient> client_;
};

}  // namespace HostTestSupport
