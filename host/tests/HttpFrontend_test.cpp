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

using HostTestSupport::RawConnection;
using HostTestSupport::TestHttpClient;
using HostTestSupport::TestResponse;

std::optional<TestResponse> Send(TestHttpClient& client, const std::string& method,
                                 const std::string& path, const std::string& body) {
  if (method == "PUT") return client.Put(path, body);
  if (method == "POST") return client.Post(path, body);
  if (method == "DELETE") return client.Delete(path);
  return client.Get(path);
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
      {"GET", "/missing.js", "", 404, R"({"httpStatus":404,"message":"Not found"})"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.path + " " + c.body);
    std::optional<TestResponse> result = Send(host.client(), c.method, c.path, c.body);
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

  TestHttpClient& client = host.client();
  auto config = client.Put(kConfigPath, R"({"Enabled": false})");
  ASSERT_TRUE(config);
  EXPECT_EQ(config->status, 200);
  EXPECT_EQ(client.Get(kConfigPath)->body, R"({"Enabled":false})");
  const std::string elsewhere = host.dir() / "elsewhere";
  std::filesystem::create_directories(elsewhere);
  auto settings =
      client.Put(kSettingsPath, R"({"data": {"highlights-folder-path": ")" + elsewhere + R"("}, "x": 1})");
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->status, 200);
  EXPECT_EQ(client.Get(kSettingsPath)->body,
            R"({"data":{"highlights-folder-path":")" + elsewhere + R"("},"x":1})");

  EXPECT_TRUE(WaitFor([&] {
    BindingProperty now = host.GetJson("/kyn-test/v1/observed");
    return now.FindField("configEvents")->GetUnsigned() == 1 &&
           now.FindField("settingsEvents")->GetUnsigned() == 1;
  }));
  observed = host.GetJson("/kyn-test/v1/observed");
  EXPECT_FALSE(observed.FindField("enabled")->GetBool());
  EXPECT_EQ(observed.FindField("folder")->GetStringView(), elsewhere);
  EXPECT_EQ(observed.FindField("lastEventType")->GetStringView(), "Update");
  // The folder survives a restart through the settings file.
  EXPECT_EQ(HostTestSupport::ReadFile(host.settingsFile()),
            "{\"highlights-folder-path\":\"" + elsewhere + "\"}\n");
  // A body in another of the plugin's formats is read in that format.
  EXPECT_EQ(client.Send("PUT", kConfigPath, "Enabled: true", {{"Content-Type", "application/x-yaml"}})
                ->status,
            200);
  EXPECT_EQ(client.Get(kConfigPath)->body, R"({"Enabled":true})");
}

TEST(HttpFrontend, MalformedResourceChangesAreRefused) {
  RunningHost host;
  const std::string file = host.folder() + "/clip.webm";
  struct Case {
    const char* path;
    std::string body;
    const char* message;  // null: any
  };
  const Case kCases[] = {
      {kConfigPath, R"({"Enabled": "yes"})", nullptr},
      {kConfigPath, R"({})", nullptr},
      {kConfigPath, "true", nullptr},
      {kSettingsPath, R"({"data": {"highlights-folder-path": 7}})", nullptr},
      {kSettingsPath, R"({"highlights-folder-path": "/x"})", nullptr},
      {kSettingsPath, "not json", nullptr},
      {kSettingsPath, "", nullptr},
      // the host takes only a folder that is there
      {kSettingsPath, R"({"data": {"highlights-folder-path": "/nonexistent/clips"}})",
       "The folder does not exist: /nonexistent/clips"},
      {kSettingsPath, R"({"data": {"highlights-folder-path": ")" + file + R"("}})",
       nullptr},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.path) + " " + c.body);
    std::optional<TestResponse> result = host.client().Put(c.path, c.body);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 400);
    EXPECT_NE(result->body.find("\"httpStatus\":400"), std::string::npos) << result->body;
    if (c.message != nullptr) {
      EXPECT_EQ(Json(result->body).FindField("message")->GetStringView(), c.message);
    }
  }
  EXPECT_EQ(Json(host.client().Put(kSettingsPath, R"({"data": {"highlights-folder-path": ")" +
                                                       file + R"("}})")->body)
                .FindField("message")
                ->GetStringView(),
            "Not a folder: " + file);
  EXPECT_EQ(host.client().Get(kSettingsPath)->body,
            "{\"data\":{\"highlights-folder-path\":\"" + host.folder() + "\"}}");
  EXPECT_EQ(host.client().Post(kConfigPath, "{}")->status, 405);
}

TEST(HttpFrontend, TelemetryIsRecorded) {
  RunningHost host;
  auto posted = host.client().Post("/telemetry/v1/events/test.scan", R"({"timeMillis": 12})");
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
    host.client().Stream("/events", [&](std::string_view data) {
      received.append(data);
      connected = true;
      return received.find("\"eventName\":\"OnJsonApiEvent\"") == std::string::npos;
    });
  });
  ASSERT_TRUE(WaitFor([&] { return connected.load(); }));
  ASSERT_EQ(host.client().Put("/kyn-test/v1/items/1", R"({"name":"one"})")->status, 200);
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
  WriteFile(host.folder() + "/with space.webm", "abc");
  auto whole = host.client().Get("/kyn-highlights-videos/assets/clip.webm");
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->status, 200);
  EXPECT_EQ(whole->body, "0123456789");
  EXPECT_EQ(whole->Header("Content-Type"), "video/webm");
  EXPECT_EQ(whole->Header("Accept-Ranges"), "bytes");
  EXPECT_EQ(whole->Header("Content-Encoding"), "");

  struct Case {
    const char* range;
    int status;
    const char* body;
    const char* contentRange;
  };
  constexpr Case kCases[] = {
      {"bytes=2-5", 206, "2345", "bytes 2-5/10"},
      {"bytes=5-", 206, "56789", "bytes 5-9/10"},
      {"bytes=-3", 206, "789", "bytes 7-9/10"},
      {"bytes=8-100", 206, "89", "bytes 8-9/10"},
      {"bytes=0-1,4-5", 200, "0123456789", ""},  // several ranges: the whole file
      {"bytes=x-y", 200, "0123456789", ""},      // a malformed one too
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
    EXPECT_EQ(answer->Header("Content-Range"), c.contentRange);
  }
  auto spaced = host.client().Get("/kyn-highlights-videos/assets/with%20space.webm");
  EXPECT_EQ(spaced->body, "abc");
  auto head = host.client().Send("HEAD", "/kyn-highlights-videos/assets/clip.webm");
  ASSERT_TRUE(head);
  EXPECT_EQ(head->status, 200);
  EXPECT_EQ(head->Header("Content-Length"), "10");
  EXPECT_EQ(head->body, "");
}

// Only the files the plugin lists are served: not other files of the
// folder, nor paths leading out of it.
TEST(HttpFrontend, AssetsAreOnlyTheListedFiles) {
  RunningHost host;
  WriteFile(host.dir() / "secret.webm", "secret");
  WriteFile(host.folder() + "/sub/inner.webm", "inner");
  WriteFile(host.folder() + "/notes.txt", "private");
  std::filesystem::create_symlink(host.dir() / "secret.webm", host.folder() + "/link.webm");
  constexpr const char* kNames[] = {
      "notes.txt",        "..%2Fsecret.webm", "%2e%2e%2fsecret.webm", "%2E%2E%2Fsecret.webm",
      "..%5Csecret.webm", "sub%2Finner.webm", "sub/inner.webm",       "link.webm",
      "missing.webm",     "%2e%2e",           "..",                   "sub",
      "clip.webm%00.txt", "clip%zz.webm",
  };
  for (const char* name : kNames) {
    SCOPED_TRACE(name);
    for (const bool ranged : {false, true}) {
      HostTestSupport::Headers headers;
      if (ranged) headers.emplace_back("Range", "bytes=0-3");
      auto result = host.client().Get(std::string("/kyn-highlights-videos/assets/") + name, headers);
      ASSERT_TRUE(result);
      EXPECT_EQ(result->status, 404);
      EXPECT_EQ(result->body, R"({"httpStatus":404,"message":"Not found"})");
    }
  }
  EXPECT_EQ(host.client().Get("/kyn-highlights-videos/assets/clip.webm")->status, 200);
}

// Requests from elsewhere than this host's own pages are refused before
// any work; the refusal closes the connection.
TEST(HttpFrontend, HostAndOriginHeadersAreChecked) {
  RunningHost host;
  const std::string port = std::to_string(host.app().port());
  const std::string own = "127.0.0.1:" + port;
  struct Case {
    const char* method;
    std::string hostHeader;
    std::string origin;  // "" for none
    int status;
  };
  const Case kCases[] = {
      {"GET", own, "", 200},
      {"GET", "localhost:" + port, "", 200},
      {"GET", "LocalHost:" + port, "http://elsewhere.example", 200},  // a read may come from anywhere
      {"GET", "evil.example:" + port, "", 421},                        // DNS rebinding
      {"GET", "127.0.0.1", "", 421},
      {"GET", "127.0.0.1:1" + port, "", 421},
      {"GET", "127.0.0.2:" + port, "", 421},
      {"PUT", own, "http://" + own, 200},
      {"PUT", own, "http://localhost:" + port, 200},
      {"PUT", own, "", 200},  // no Origin: not a browser page
      {"PUT", own, "http://evil.example", 403},
      {"PUT", own, "null", 403},
      {"PUT", own, "https://" + own, 403},
      {"DELETE", own, "http://127.0.0.1:1", 403},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.method) + " Host " + c.hostHeader + " Origin " + c.origin);
    HostTestSupport::Headers headers = {{"Host", c.hostHeader}, {"Content-Type", "application/json"}};
    if (!c.origin.empty()) headers.emplace_back("Origin", c.origin);
    const std::string target = std::string(c.method) == "DELETE" ? "/kyn-test/v1/items/2" : "/kyn-test/v1/items/1";
    auto result = host.client().Send(c.method, target, c.method == std::string("PUT") ? R"({"name":"x"})" : "", headers);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, c.status) << result->body;
  }
  RawConnection noHost(host.app().port());
  noHost.Write("GET /kyn-test/v1/items HTTP/1.1\r\n\r\n");
  EXPECT_TRUE(noHost.ReadAll().starts_with("HTTP/1.1 400 "));
}

// A body is read only up to the limit: a larger declared length is refused
// before the body is sent, a larger chunked body when it passes the limit.
TEST(HttpFrontend, OversizedBodiesAreRefused) {
  RunningHost host;
  const std::string hostHeader = "Host: 127.0.0.1:" + std::to_string(host.app().port()) + "\r\n";
  RawConnection declared(host.app().port());
  declared.Write("PUT /kyn-test/v1/items/1 HTTP/1.1\r\n" + hostHeader +
                 "Content-Type: application/json\r\nContent-Length: 60000000\r\n\r\n{\"name\":");
  const std::string refused = declared.ReadUntil("\r\n\r\n");
  EXPECT_TRUE(refused.starts_with("HTTP/1.1 413 ")) << refused;
  EXPECT_NE(refused.find("Connection: close"), std::string::npos) << refused;

  RawConnection chunked(host.app().port());
  chunked.Write("PUT /kyn-test/v1/items/1 HTTP/1.1\r\n" + hostHeader +
                "Content-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n");
  const std::string piece(256u << 10, ' ');
  for (int i = 0; i < 5 && chunked.Write("40000\r\n" + piece + "\r\n"); ++i) {
  }
  EXPECT_TRUE(chunked.ReadUntil("\r\n\r\n").starts_with("HTTP/1.1 413 "));
  // A body at the limit is read.
  const std::string atLimit = R"({"name":")" + std::string((1u << 20) - 11, 'n') + R"("})";
  EXPECT_EQ(host.client().Put("/kyn-test/v1/items/1", atLimit)->status, 200);
}

// Without Content-Length and Transfer-Encoding a request has no body; HEAD
// gets the head GET would get.
TEST(HttpFrontend, BodylessRequestsAndHead) {
  RunningHost host;
  RawConnection bodyless(host.app().port());
  bodyless.Write("DELETE /kyn-test/v1/items/1 HTTP/1.1\r\nHost: 127.0.0.1:" +
                 std::to_string(host.app().port()) + "\r\nConnection: close\r\n\r\n");
  EXPECT_TRUE(bodyless.ReadAll().starts_with("HTTP/1.1 204 "));
  auto get = host.client().Get("/kyn-test/v1/items");
  auto head = host.client().Send("HEAD", "/kyn-test/v1/items");
  ASSERT_TRUE(get && head);
  EXPECT_EQ(head->status, 200);
  EXPECT_EQ(head->Header("Content-Length"), std::to_string(get->body.size()));
  EXPECT_EQ(head->body, "");
}

TEST(HttpFrontend, OpenApiDocumentDescribesThePluginsRoutes) {
  RunningHost host;
  auto result = host.client().Get("/openapi.json");
  ASSERT_TRUE(result);
  BindingProperty document = Json(result->body);
  EXPECT_EQ(document.FindField("openapi")->GetStringView(), "3.0.3");
  const BindingProperty* paths = document.FindField("paths");
  ASSERT_NE(paths, nullptr);
  EXPECT_EQ(paths->Size(), 6u);
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

TEST(HttpFrontend, ViewerFilesCarryTheirTypeAndSecurityHeaders) {
  RunningHost host;
  WriteFile(host.dir() / "web/app.js", "export {};\n");
  auto index = host.client().Get("/");
  ASSERT_TRUE(index);
  EXPECT_EQ(index->body, "<p>viewer</p>");
  EXPECT_EQ(index->Header("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(index->Header("Content-Security-Policy").find("default-src 'self'"), std::string::npos);
  EXPECT_EQ(index->Header("X-Content-Type-Options"), "nosniff");
  EXPECT_EQ(host.client().Get("/app.js")->Header("Content-Type"), "text/javascript; charset=utf-8");
  for (const char* path : {"/../settings.json", "/%2e%2e/settings.json", "/web/index.html"}) {
    EXPECT_EQ(host.client().Get(path)->status, 404) << path;
  }
}

// JSON answers are compressed when the client asks and the size pays.
TEST(HttpFrontend, LargeAnswersAreCompressedWhenAsked) {
  RunningHost host;
  const std::string plain = host.client().Get("/openapi.json")->body;
  struct Case {
    const char* accept;
    const char* encoding;
  };
  constexpr Case kCases[] = {{"br, gzip", "br"}, {"gzip", "gzip"}, {"gzip;q=0, br;q=0", ""}, {"", ""}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.accept);
    auto answer = host.client().Get("/openapi.json", {{"Accept-Encoding", c.accept}});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->Header("Content-Encoding"), c.encoding);
    EXPECT_EQ(answer->Header("Vary"), "Accept-Encoding");
    if (c.encoding[0] == '\0') {
      EXPECT_EQ(answer->body, plain);
    } else {
      EXPECT_LT(answer->body.size(), plain.size() / 2);
    }
  }
  // A small answer goes out as it is.
  EXPECT_EQ(host.client().Get("/kyn-test/v1/items/1", {{"Accept-Encoding", "br"}})->Header("Content-Encoding"), "");
}

TEST(HttpFrontend, ABusyPortStopsTheStartWithTheReason) {
  RunningHost first;
  HostOptions options;
  options.modulePath = KYN_TEST_PLUGIN;
  options.folder = first.folder();
  options.webRoot = first.dir() / "web";
  options.port = first.app().port();
  StartResult second = HostApp::Start(options, "");
  EXPECT_FALSE(second.ok());
  EXPECT_EQ(second.error, "port " + std::to_string(options.port) +
                              " is in use (another kyn-host?): pass --port 0 for a free one");
  // The first host is untouched.
  EXPECT_EQ(first.client().Get("/kyn-test/v1/items/1")->status, 200);
}

}  // namespace
}  // namespace Corvan::Host
