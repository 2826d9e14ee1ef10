// The real highlights plugin behind the development host, over HTTP: the
// routes, the host resources steering it, the event stream and a bounded
// load of mixed requests.
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "HostApp.h"
#include "media/WebmWriter.h"
#include "support/HostTestSupport.h"

namespace {

using Corvan::BindingProperty;
using HostTestSupport::Json;
using HostTestSupport::RawConnection;
using HostTestSupport::TempDir;
using HostTestSupport::TestHttpClient;
using HostTestSupport::WaitFor;

// The host running the built plugin over a folder of three highlights.
class HighlightsOverHttp : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_ / "videos");
    std::filesystem::create_directories(dir_ / "other");
    for (const char* name : {"alpha", "beta", "gamma"}) {
      ASSERT_TRUE(Corvan::Media::WriteWebmFile(dir_ / (std::string("videos/") + name + ".webm"),
                                             Corvan::Media::WebmOptions{}));
    }
    Corvan::Host::HostOptions options;
    options.modulePath = KYN_HIGHLIGHTS_MODULE;
    options.folder = dir_ / "videos";
    options.port = 0;
    Corvan::Host::StartResult started = Corvan::Host::HostApp::Start(options, dir_ / "settings.json");
    ASSERT_TRUE(started.ok()) << started.error;
    app_ = std::move(started.app);
    client_ = std::make_unique<TestHttpClient>(app_->port());
  }
  void TearDown() override {
    client_.reset();
    if (app_) app_->Stop();
  }
  BindingProperty List() { return Json(client_->Get("/kyn-highlights/v1/highlights")->body); }
  int AssetStatus(const std::string& name) {
    return client_->Get("/kyn-highlights-videos/assets/" + name)->status;
  }
  std::uint64_t IdOf(const std::string& name) {
    const BindingProperty list = List();
    for (const BindingProperty& record : list.Elements()) {
      if (name == record.FindField("name")->GetString()) return record.FindField("id")->GetUnsigned();
    }
    return 0;
  }
  static std::string One(std::uint64_t id) {
    return "/kyn-highlights/v1/highlights/" + std::to_string(id);
  }

  TempDir dir_;
  std::unique_ptr<Corvan::Host::HostApp> app_;
  std::unique_ptr<TestHttpClient> client_;
};

TEST_F(HighlightsOverHttp, ListRenameDeleteAndRescan) {
  ASSERT_EQ(List().Size(), 3u);
  // The assets route serves what the list holds, and follows it.
  std::filesystem::copy_file(dir_ / "videos/beta.webm", dir_ / "videos/beta.txt");
  EXPECT_EQ(AssetStatus("beta.webm"), 200);
  EXPECT_EQ(AssetStatus("beta.txt"), 404);
  const std::uint64_t beta = IdOf("beta");
  auto one = client_->Get(One(beta));
  ASSERT_EQ(one->status, 200);
  EXPECT_STREQ(Json(one->body).FindField("name")->GetString(), "beta");
  auto renamed = client_->Put(One(beta), R"({"name": "bravo"})");
  ASSERT_EQ(renamed->status, 200) << renamed->body;
  EXPECT_EQ(access((dir_ / "videos/bravo.webm").c_str(), F_OK), 0);
  EXPECT_EQ(AssetStatus("bravo.webm"), 200);
  EXPECT_EQ(AssetStatus("beta.webm"), 404);
  // The list read before the rename is not the text answered after it.
  EXPECT_EQ(IdOf("bravo"), beta);
  auto refused = client_->Put(One(beta), R"({"name": "a/b"})");
  EXPECT_EQ(refused->status, 400);
  EXPECT_STREQ(Json(refused->body).FindField("message")->GetString(),
               "Bad Request: Name contains invalid characters");
  auto deleted = client_->Delete(One(IdOf("alpha")));
  ASSERT_EQ(deleted->status, 200);
  EXPECT_NE(access((dir_ / "videos/alpha.webm").c_str(), F_OK), 0);
  // A rescan as a plain client sends it: no body, no Content-Length.
  RawConnection rescan(app_->port());
  rescan.Write("POST /kyn-highlights/v1/highlights HTTP/1.1\r\nHost: localhost:" +
               std::to_string(app_->port()) + "\r\nConnection: close\r\n\r\n");
  const std::string rescanned = rescan.ReadAll();
  ASSERT_TRUE(rescanned.starts_with("HTTP/1.1 200 ")) << rescanned;
  EXPECT_EQ(Json(rescanned.substr(rescanned.find("\r\n\r\n") + 4)).Size(), 2u);
  EXPECT_EQ(client_->Get(One(beta))->status, 404);
  auto missing = client_->Post("/kyn-highlights/v1/file-browser/999", "");
  EXPECT_EQ(missing->status, 404);
}

TEST_F(HighlightsOverHttp, FolderAndEnabledFlagFollowTheHostResources) {
  std::string received;
  std::mutex mutex;
  std::atomic<bool> connected = false;
  std::atomic<bool> done = false;
  std::thread listener([&] {
    client_->Stream("/events", [&](std::string_view data) {
      std::lock_guard lock(mutex);
      received.append(data);
      connected = true;
      return !done.load();
    });
  });
  ASSERT_TRUE(WaitFor([&] { return connected.load(); }));
  ASSERT_TRUE(Corvan::Media::WriteWebmFile(dir_ / "other/one.webm", Corvan::Media::WebmOptions{}));
  const std::string settings =
      R"({"data": {"highlights-folder-path": ")" + (dir_ / "other") + R"("}})";
  ASSERT_EQ(client_->Put("/kyn-settings/v1/local/kyn-replays", settings)->status,
            200);
  EXPECT_TRUE(WaitFor([&] { return List().Size() == 1; }));
  EXPECT_TRUE(WaitFor([&] {
    std::lock_guard lock(mutex);
    return received.find("one.webm") != std::string::npos;
  }));
  // Switches the plugin through the configuration resource, then waits for
  // a rescan to answer with the status that state gives.
  const auto switchTo = [&](const char* config, int rescanStatus) {
    ASSERT_EQ(client_->Put("/kyn-platform-config/v1/namespaces/Highlights", config)->status, 200);
    EXPECT_TRUE(WaitFor([&] {
      return client_->Post("/kyn-highlights/v1/highlights", "")->status ==
             rescanStatus;
    }));
  };
  switchTo(R"({"Enabled": false})", 503);
  switchTo(R"({"Enabled": true})", 200);
  done = true;
  // One more event ends the listener's read.
  static_cast<void>(client_->Post("/kyn-highlights/v1/highlights", ""));
  listener.join();
}

TEST_F(HighlightsOverHttp, OpenApiNamesEveryRoute) {
  auto document = client_->Get("/openapi.json");
  ASSERT_EQ(document->status, 200);
  const BindingProperty openapi = Json(document->body);
  const BindingProperty* paths = openapi.FindField("paths");
  ASSERT_NE(paths, nullptr);
  for (const char* path : {"/kyn-highlights/v1/highlights", "/kyn-highlights/v1/highlights/{id}",
                           "/kyn-highlights/v1/highlights-folder-path",
                           "/kyn-highlights/v1/highlights-folder-path/default",
                           "/kyn-highlights/v1/config", "/kyn-highlights/v1/file-browser/{highlightId}"}) {
    EXPECT_NE(paths->FindField(path), nullptr) << path;
  }
}

// Four clients mixing reads, renames back and forth and rescans: only the
// expected answers, and every file still there.
TEST_F(HighlightsOverHttp, BoundedMixedLoad) {
  std::atomic<int> unexpected = 0;
  std::vector<std::thread> clients;
  for (int c = 0; c < 4; ++c) {
    clients.emplace_back([&, c] {
      TestHttpClient client(app_->port());
      for (int i = 0; i < 2000; ++i) {
        int status = 0;
        if (i % 100 == 99) {
          status = client.Post("/kyn-highlights/v1/highlights", "")->status;
        } else if (c == 3) {
          const BindingProperty list = Json(client.Get("/kyn-highlights/v1/highlights")->body);
          std::uint64_t id = 0;
          std::string next;
          for (const BindingProperty& record : list.Elements()) {
            const std::string name = record.FindField("name")->GetString();
            if (name == "gamma" || name == "delta") {
              id = record.FindField("id")->GetUnsigned();
              next = name == "gamma" ? "delta" : "gamma";
            }
          }
          auto put = client.Put(One(id), R"({"name": ")" + next + R"("})");
          status = put->status;
          if (status == 409) status = 200;  // a rescan renumbered in between
        } else if (c % 2 == 0) {
          status = client.Get("/kyn-highlights/v1/highlights")->status;
        } else {
          status = client.Get("/kyn-highlights/v1/config")->status;
        }
        if (status != 200) ++unexpected;
      }
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(unexpected.load(), 0);
  EXPECT_EQ(List().Size(), 3u);
  int present = 0;
  for (const char* name : {"alpha", "beta"}) present += access((dir_ / (std::string("videos/") + name + ".webm")).c_str(), F_OK) == 0;
  present += access((dir_ / "videos/gamma.webm").c_str(), F_OK) == 0 ||
             access((dir_ / "videos/delta.webm").c_str(), F_OK) == 0;
  EXPECT_EQ(present, 3);
}

}  // namespace
