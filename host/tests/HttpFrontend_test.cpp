// The host over real HTTP on 127.0.0.1, with the test plugin loaded.
#include "HttpFrontend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "support/HostTestSupport.h"

namespace Corvan::Host {
namespace {

using HostTestSupport::Json;
using HostTestSupport::RunningHost;
using HostTestSupport::WaitFor;
using HostTestSupport::WriteFile;

httplib::Result Send(httplib::Client& client, const std::string& method, const std::string& path,
                     const std::string& body) {
  if (method == "PUT") return client.Put(path.c_str(), body, "application/json");
  if (method == "POST") return client.Post(path.c_str(), body, "application/json");
  if (method == "DELETE") return client.Delete(path.c_str());
  return client.Get(path.c_str());
}

TEST(HttpFrontend, PluginAnswersCarryTheirMappedStatusAndBody) {
  RunningHost host;
  struct Case {
    const char* method;
    const char* path;
    const char* body;
    int status;
    const char* answer;
  };
  constexpr Case kCases[] = {
      // a value with status 0 is 200
      {"GET", "/kyn-test/v1/items", "", 200, R"([{"id":1,"name":"first"},{"id":2,"name":"second"}])"},
      // the query is cut off for matching and reaches the plugin, which
      // refuses an argument it does not know
      {"GET", "/kyn-test/v1/items?sort=name", "", 400,
       R"({"httpStatus":400,"message":"Unknown argument 'sort' for 'GetKynTestV1Items'."})"},
      {"GET", "/kyn-test/v1/items/2", "", 200, R"({"id":2,"name":"second"})"},
      // an error with the plugin's status, and one without any status
      {"GET", "/kyn-test/v1/items/9", "", 404, R"({"httpStatus":404,"message":"No item with specified ID"})"},
      {"GET", "/kyn-test/v1/refuse", "", 400, R"({"httpStatus":400,"message":"Refused on purpose"})"},
      {"PUT", "/kyn-test/v1/items/2", R"({"name":"renamed"})", 200, R"({"id":2,"name":"renamed"})"},
      // the plugin's own argument error has no status either
      {"PUT", "/kyn-test/v1/items/2", R"({"id":5})", 400, nullptr},
      {"PUT", "/kyn-test/v1/items/2", "{", 400, nullptr},
      // the empty success result is 204 without a body
      {"DELETE", "/kyn-test/v1/items/1", "", 204, ""},
      {"DELETE", "/kyn-test/v1/items/1", "", 404, R"({"httpStatus":404,"message":"Not found"})"},
      // no function: the host's own 404
      {"GET", "/kyn-test/v1/unknown", "", 404, R"({"httpStatus":404,"message":"Not found"})"},
      {"POST", "/kyn-test/v1/items", "{}", 404, R"({"httpStatus":404,"message":"Not found"})"},
      {"GET", "/", "", 404, R"({"httpStatus":404,"message":"Not found"})"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.path + " " + c.body);
    httplib::Result result = Send(host.client(), c.method, c.path, c.body);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, c.status);
    if (c.answer != nullptr) {
      EXPECT_EQ(result->body, c.answer);
    }
    if (c.status >= 400) {
      BindingProperty error = Json(result->body);
      EXPECT_EQ(error.FindField("httpStatus")->GetUnsigned(), static_cast<std::uint64_t>(c.status));
      EXPECT_NE(error.FindField("message"), nullptr);
    }
  }
}

TEST(HttpFrontend, PluginReachesItsOwnFunctionsThroughTheHost) {
  RunningHost host;
  EXPECT_EQ(host.client().Get("/kyn-test/v1/loopback")->body, R"({"id":1,"name":"first"})");
}

TEST(HttpFrontend, ResourceChangesReachThePluginAsUpdateEvents) {
  RunningHost host;
  // Initialize read both resources through the host.
  BindingProperty observed = host.GetJson("/kyn-test/v1/observed");
  EXPECT_TRUE(observed.FindField("enabled")->GetBool());
  EXPECT_EQ(observed.FindField("folder")->GetStringView(), host.folder());

  httplib::Client& client = host.client();
  auto config = client.Put(kConfigPath, R"({"Enabled": false})", "application/json");
  ASSERT_TRUE(config);
  EXPECT_EQ(config->status, 200);
  EXPECT_EQ(client.Get(kConfigPath)->body, R"({"Enabled":false})");
  auto settings =
      client.Put(kSettingsPath, R"({"data": {"highlights-folder-path": "/elsewhere"}, "x": 1})",
                 "application/json");
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->status, 200);
  EXPECT_EQ(client.Get(kSettingsPath)->body,
            R"({"data":{"highlights-folder-path":"/elsewhere"},"x":1})");

  EXPECT_TRUE(WaitFor([&] {
    BindingProperty now = host.GetJson("/kyn-test/v1/observed");
    return now.FindField("configEvents")->GetUnsigned() == 1 &&
           now.FindField("settingsEvents")->GetUnsigned() == 1;
  }));
  observed = host.GetJson("/kyn-test/v1/observed");
  EXPECT_FALSE(observed.FindField("enabled")->GetBool());
  EXPECT_EQ(observed.FindField("folder")->GetStringView(), "/elsewhere");
  EXPECT_EQ(observed.FindField("lastEventType")->GetStringView(), "Update");
  // The folder survives a restart through the settings file.
  EXPECT_EQ(HostTestSupport::ReadFile(host.settingsFile()),
            "{\"highlights-folder-path\":\"/elsewhere\"}\n");
}

TEST(HttpFrontend, MalformedResourceChangesAreRefused) {
  RunningHost host;
  struct Case {
    const char* path;
    const char* body;
  };
  constexpr Case kCases[] = {
      {kConfigPath, R"({"Enabled": "yes"})"},
      {kConfigPath, R"({})"},
      {kConfigPath, "true"},
      {kSettingsPath, R"({"data": {"highlights-folder-path": 7}})"},
      {kSettingsPath, R"({"highlights-folder-path": "/x"})"},
      {kSettingsPath, "not json"},
      {kSettingsPath, ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.path) + " " + c.body);
    httplib::Result result = host.client().Put(c.path, c.body, "application/json");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 400);
    EXPECT_NE(result->body.find("\"httpStatus\":400"), std::string::npos) << result->body;
  }
  EXPECT_EQ(host.client().Get(kSettingsPath)->body,
            "{\"data\":{\"highlights-folder-path\":\"" + host.folder() + "\"}}");
  EXPECT_EQ(host.client().Post(kConfigPath, "{}", "application/json")->status, 405);
}

TEST(HttpFrontend, TelemetryIsRecorded) {
  RunningHost host;
  auto posted = host.client().Post("/telemetry/v1/events/test.scan", R"({"timeMillis": 12})",
                                   "application/json");
  ASSERT_TRUE(posted);
  EXPECT_EQ(posted->status, 204);
  const std::vector<TelemetryRecord> records = host.app().resources().Telemetry();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].name, "test.scan");
  EXPECT_EQ(records[0].json, R"({"timeMillis":12})");
}

TEST(HttpFrontend, EventStreamDeliversPublishedEvents) {
  RunningHost host;
  std::string received;
  std::atomic<bool> connected = false;
  std::thread listener([&] {
    httplib::Client client("127.0.0.1", host.app().port());
    client.set_read_timeout(10, 0);
    client.Get("/events", [&](const char* data, std::size_t length) {
      received.append(data, length);
      connected = true;
      return received.find("\"eventName\":\"OnJsonApiEvent\"") == std::string::npos;
    });
  });
  ASSERT_TRUE(WaitFor([&] { return connected.load(); }));
  ASSERT_EQ(host.client().Put("/kyn-test/v1/items/1", R"({"name":"one"})", "application/json")
                ->status,
            200);
  listener.join();
  // Two messages: the path's own event name, then the generic one.
  const std::size_t first = received.find("data: ");
  ASSERT_NE(first, std::string::npos) << received;
  const std::string line = received.substr(first + 6, received.find('\n', first) - first - 6);
  BindingProperty event = Json(line);
  EXPECT_EQ(event.FindField("eventName")->GetStringView(), "OnJsonApiEvent_kyn-test_v1_items");
  EXPECT_EQ(event.FindField("uri")->GetStringView(), "/kyn-test/v1/items");
  EXPECT_EQ(event.FindField("eventType")->GetStringView(), "Update");
  EXPECT_EQ(event.FindField("data")->Size(), 2u);
}

TEST(HttpFrontend, AssetsAreServedWholeAndInRanges) {
  RunningHost host;
  auto whole = host.client().Get("/kyn-highlights-videos/assets/clip.webm");
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->status, 200);
  EXPECT_EQ(whole->body, "0123456789");
  EXPECT_EQ(whole->get_header_value("Content-Type"), "video/webm");
  EXPECT_EQ(whole->get_header_value("Accept-Ranges"), "bytes");

  auto part = host.client().Get("/kyn-highlights-videos/assets/clip.webm",
                                {{"Range", "bytes=2-5"}});
  ASSERT_TRUE(part);
  EXPECT_EQ(part->status, 206);
  EXPECT_EQ(part->body, "2345");
  EXPECT_EQ(part->get_header_value("Content-Range"), "bytes 2-5/10");

  struct Case {
    const char* range;
    int status;
    const char* body;
    const char* contentRange;
  };
  constexpr Case kCases[] = {
      {"bytes=5-", 206, "56789", "bytes 5-9/10"},
      {"bytes=-3", 206, "789", "bytes 7-9/10"},
      {"bytes=8-100", 206, "89", "bytes 8-9/10"},
      {"bytes=0-1,4-5", 200, "0123456789", ""},  // several ranges: the whole file
      {"bytes=10-20", 416, R"({"httpStatus":416,"message":"Range not satisfiable"})",
       "bytes */10"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.range);
    auto answer =
        host.client().Get("/kyn-highlights-videos/assets/clip.webm", {{"Range", c.range}});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, c.status);
    EXPECT_EQ(answer->body, c.body);
    EXPECT_EQ(answer->get_header_value("Content-Range"), c.contentRange);
  }

  WriteFile(host.folder() + "/with space.webm", "abc");
  auto spaced = host.client().Get("/kyn-highlights-videos/assets/with%20space.webm");
  EXPECT_EQ(spaced->body, "abc");
  // Two dots inside a name lead nowhere: the clip is served.
  WriteFile(host.folder() + "/Team..wipe.webm", "def");
  auto dotted = host.client().Get("/kyn-highlights-videos/assets/Team..wipe.webm");
  EXPECT_EQ(dotted->body, "def");
}

TEST(HttpFrontend, BrowsersGetGzipRatherThanBrotli) {
  // The library's brotli runs at its slowest setting: seconds for a large
  // list. A browser that offers both gets gzip.
  RunningHost host;
  auto answer = host.client().Get("/openapi.json", {{"Accept-Encoding", "gzip, deflate, br"}});
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  EXPECT_EQ(answer->get_header_value("Content-Encoding"), "gzip");
}

TEST(HttpFrontend, AssetPathsLeadingOutOfTheFolderAreRefused) {
  RunningHost host;
  WriteFile(host.dir() / "secret.webm", "secret");
  WriteFile(host.folder() + "/sub/inner.webm", "inner");
  std::filesystem::create_symlink(host.dir() / "secret.webm", host.folder() + "/link.webm");
  constexpr const char* kNames[] = {
      "..%2Fsecret.webm", "%2e%2e%2fsecret.webm", "%2E%2E%2Fsecret.webm", "..%5Csecret.webm",
      "sub%2Finner.webm", "sub/inner.webm",       "link.webm",            "missing.webm",
      "%2e%2e",           "..",                   "sub",                  "clip.webm%00.txt",
  };
  for (const char* name : kNames) {
    SCOPED_TRACE(name);
    for (const bool ranged : {false, true}) {
      httplib::Headers headers;
      if (ranged) headers.emplace("Range", "bytes=0-3");
      auto result =
          host.client().Get((std::string("/kyn-highlights-videos/assets/") + name).c_str(), headers);
      ASSERT_TRUE(result);
      EXPECT_EQ(result->status, 404);
      EXPECT_EQ(result->body, R"({"httpStatus":404,"message":"Not found"})");
    }
  }
}

TEST(HttpFrontend, OpenApiDocumentDescribesThePluginsRoutes) {
  RunningHost host;
  auto result = host.client().Get("/openapi.json");
  ASSERT_TRUE(result);
  BindingProperty document = Json(result->body);
  EXPECT_EQ(document.FindField("openapi")->GetStringView(), "3.0.3");
  const BindingProperty* paths = document.FindField("paths");
  ASSERT_NE(paths, nullptr);
  EXPECT_EQ(paths->Size(), 5u);
  const BindingProperty* item = paths->FindField("/kyn-test/v1/items/{id}");
  ASSERT_NE(item, nullptr);
  for (const char* method : {"get", "put", "delete"}) EXPECT_NE(item->FindField(method), nullptr);
  const BindingProperty* put = item->FindField("put");
  EXPECT_EQ(put->FindField("operationId")->GetStringView(), "PutKynTestV1ItemsById");
  const BindingProperty& parameter = put->FindField("parameters")->Element(0);
  EXPECT_EQ(parameter.FindField("name")->GetStringView(), "id");
  EXPECT_EQ(parameter.FindField("in")->GetStringView(), "path");
  const BindingProperty* body = put->FindField("requestBody");
  ASSERT_NE(body, nullptr);
  EXPECT_NE(result->body.find(R"("$ref": "#/components/schemas/TestItem")"), std::string::npos);
  EXPECT_NE(item->FindField("delete")->FindField("responses")->FindField("204"), nullptr);
  const BindingProperty* schemas = document.FindField("components")->FindField("schemas");
  const BindingProperty* testItem = schemas->FindField("TestItem");
  ASSERT_NE(testItem, nullptr);
  EXPECT_NE(testItem->FindField("properties")->FindField("name"), nullptr);
  const BindingProperty* eventType = schemas->FindField("PluginResourceEventType");
  ASSERT_NE(eventType, nullptr);
  EXPECT_EQ(eventType->FindField("enum")->Size(), 3u);
  EXPECT_NE(result->body.find(R"("name": "OnJsonApiEvent")"), std::string::npos);
}

TEST(HttpFrontend, WebViewerFilesAreServedWhenPresent) {
  HostTestSupport::TempDir dir;
  WriteFile(dir / "videos/clip.webm", "x");
  WriteFile(dir / "web/index.html", "<p>viewer</p>");
  HostOptions options;
  options.modulePath = KYN_TEST_PLUGIN;
  options.folder = dir / "videos";
  options.port = 0;
  options.webRoot = dir / "web";
  StartResult started = HostApp::Start(options, "");
  ASSERT_TRUE(started.ok()) << started.error;
  httplib::Client client("127.0.0.1", started.app->port());
  EXPECT_EQ(client.Get("/")->body, "<p>viewer</p>");
  EXPECT_EQ(client.Get("/kyn-test/v1/items/1")->status, 200);
  started.app->Stop();
}

}  // namespace
}  // namespace Corvan::Host

namespace Corvan::Host {
namespace {

TEST(HttpFrontend, ABusyPortStopsTheStartWithTheReason) {
  RunningHost first;
  HostOptions options;
  options.modulePath = KYN_TEST_PLUGIN;
  options.folder = first.folder();
  options.port = first.app().port();
  StartResult second = HostApp::Start(options, "");
  EXPECT_FALSE(second.ok());
  EXPECT_EQ(second.error, "cannot listen on 127.0.0.1:" + std::to_string(options.port));
  // The first host is untouched.
  EXPECT_EQ(first.client().Get("/kyn-test/v1/items/1")->status, 200);
}

}  // namespace
}  // namespace Corvan::Host
