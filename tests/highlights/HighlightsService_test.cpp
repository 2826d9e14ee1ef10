// The highlights service end to end: the built module, loaded and driven
// through its export, its descriptors and its events, over a real folder of
// WebM files.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "media/WebmWriter.h"
#include "support/HighlightsHost.h"
#include "support/TempDirectory.h"

namespace {

using Corvan::BindingProperty;
using Corvan::Testing::TempDirectory;
using TestSupport::HighlightsHost;
using TestSupport::HostCallReply;

constexpr char kList[] = "GetKynHighlightsV1Highlights";
constexpr char kRescan[] = "PostKynHighlightsV1Highlights";
constexpr char kGetOne[] = "GetKynHighlightsV1HighlightsById";
constexpr char kPut[] = "PutKynHighlightsV1HighlightsById";
constexpr char kDelete[] = "DeleteKynHighlightsV1HighlightsById";
constexpr char kFolder[] = "GetKynHighlightsV1HighlightsFolderPath";
constexpr char kDefaultFolder[] = "GetKynHighlightsV1HighlightsFolderPathDefault";
constexpr char kConfig[] = "GetKynHighlightsV1Config";
constexpr char kReveal[] = "PostKynHighlightsV1FileBrowserByHighlightId";
constexpr char kInvalidCharacters[] = "<>:\"/\\|?*";

std::string One(std::uint64_t id) { return "/kyn-highlights/v1/highlights/" + std::to_string(id); }

std::string NameBody(const std::string& name) { return R"({"name": ")" + name + R"("})"; }

// Writes a highlight the game would accept, with its modification time.
void WriteClip(const TempDirectory& folder, const std::string& file, std::int64_t mtimeMs) {
  ASSERT_TRUE(Corvan::Media::WriteWebmFile(folder.PathOf(file), Corvan::Media::WebmOptions{}));
  ASSERT_TRUE(Corvan::Testing::SetModifiedTime(folder.PathOf(file), mtimeMs));
}

bool Exists(const std::string& path) { return Corvan::Testing::PathExists(path); }

std::vector<std::string> Names(const BindingProperty& list) {
  std::vector<std::string> names;
  for (const BindingProperty& record : list.Elements()) {
    names.push_back(record.FindField("name")->GetString());
  }
  return names;
}

std::uint64_t IdOf(const BindingProperty& list, const std::string& name) {
  for (const BindingProperty& record : list.Elements()) {
    if (name == record.FindField("name")->GetString()) return record.FindField("id")->GetUnsigned();
  }
  return 0;
}

// A started plugin, enabled, over a folder of three clips.
class EnabledService : public testing::Test {
 protected:
  void SetUp() override {
    WriteClip(folder_, "old.webm", 1000000);
    WriteClip(folder_, "new.webm", 3000000);
    WriteClip(folder_, "mid.webm", 2000000);
    plugin_.AnswerConfig(true);
    plugin_.AnswerSettings(folder_.path());
    ASSERT_TRUE(plugin_.Start());
  }
  BindingProperty List() { return plugin_.Call(kList, "/kyn-highlights/v1/highlights").value; }

  TempDirectory folder_;
  HighlightsHost plugin_;
};

TEST(HighlightsService, EveryRouteWaitsForInitialization) {
  HighlightsHost plugin;
  ASSERT_TRUE(plugin.loaded());
  const std::pair<const char*, std::string> kRoutes[] = {
      {kList, "/kyn-highlights/v1/highlights"},
      {kRescan, "/kyn-highlights/v1/highlights"},
      {kGetOne, One(1)},
      {kDelete, One(1)},
      {kFolder, "/kyn-highlights/v1/highlights-folder-path"},
      {kDefaultFolder, "/kyn-highlights/v1/highlights-folder-path/default"},
      {kConfig, "/kyn-highlights/v1/config"},
      {kReveal, "/kyn-highlights/v1/file-browser/1"},
  };
  for (const auto& [function, path] : kRoutes) {
    SCOPED_TRACE(function);
    const HostCallReply reply = plugin.Call(function, path);
    EXPECT_EQ(reply.status, 503u);
    EXPECT_EQ(reply.error, "Highlights not initialized.");
  }
  EXPECT_EQ(plugin.Call(kPut, One(1), NameBody("x")).error, "Highlights not initialized.");
}

TEST(HighlightsService, EveryRouteIsRegisteredAndBindsItsPath) {
  TempDirectory folder;
  HighlightsHost plugin;
  plugin.AnswerConfig(true);
  plugin.AnswerSettings(folder.path());
  ASSERT_TRUE(plugin.Start());
  const PluginApiDescription* description = plugin.description();
  ASSERT_EQ(description->functionCount, 9u);
  for (std::uint32_t i = 0; i < description->functionCount; ++i) {
    const FunctionDescriptor& descriptor = description->functions[i];
    SCOPED_TRACE(descriptor.routeTemplate);
    // Every variable of the template filled with an id no highlight has, so
    // no route changes a file.
    std::string path = descriptor.routeTemplate;
    for (std::size_t open; (open = path.find('{')) != std::string::npos;) {
      path.replace(open, path.find('}', open) - open + 1, "0");
    }
    TestSupport::HostCallRequest request;
    request.path = path;
    if (descriptor.method == HTTP_METHOD_PUT) {
      request.contentType = "application/json";
      request.body = NameBody("renamed");
    }
    // Binding errors come before the handler and carry no status; every
    // answer here is the handler's own.
    const HostCallReply reply = plugin.Call(descriptor.function.name, request);
    EXPECT_TRUE(!reply.hasError || reply.status != 0) << reply.error;
  }
}

TEST(HighlightsService, UnreadableResourcesLeaveItDisabledAndEmpty) {
  HighlightsHost plugin;
  ASSERT_TRUE(plugin.Start());
  const HostCallReply config = plugin.Call(kConfig, "/kyn-highlights/v1/config");
  EXPECT_FALSE(config.value.FindField("isHighlightsEnabled")->GetBool(true));
  EXPECT_STREQ(config.value.FindField("invalidHighlightNameCharacters")->GetString(),
               kInvalidCharacters);
  EXPECT_STREQ(plugin.Call(kFolder, "/kyn-highlights/v1/highlights-folder-path").value.GetString(),
               "");
  EXPECT_EQ(plugin.Call(kList, "/kyn-highlights/v1/highlights").value.Size(), 0u);
  EXPECT_TRUE(plugin.Published(TestSupport::kHighlightsEvent).empty());
  // Every gated route answers 503 before it looks at the id.
  EXPECT_EQ(plugin.Call(kReveal, "/kyn-highlights/v1/file-browser/99").error,
            "Highlights not enabled.");
  EXPECT_EQ(plugin.Call(kDelete, One(99)).status, 503u);
  EXPECT_EQ(plugin.Call(kPut, One(99), NameBody("x")).status, 503u);
  // Binding errors come before the gate.
  const HostCallReply unbound = plugin.Call(kPut, One(99), R"({"id": 1})");
  EXPECT_TRUE(unbound.hasError);
  EXPECT_NE(unbound.error.find("required field 'name'"), std::string::npos) << unbound.error;
}

TEST_F(EnabledService, StartsWithTheConfigThenScansNewestFirst) {
  const auto configs = plugin_.Published(TestSupport::kConfigEvent);
  ASSERT_EQ(configs.size(), 2u);
  EXPECT_FALSE(configs[0].FindField("isHighlightsEnabled")->GetBool(true));
  EXPECT_TRUE(configs[1].FindField("isHighlightsEnabled")->GetBool(false));
  const BindingProperty list = List();
  EXPECT_EQ(Names(list), (std::vector<std::string>{"new", "mid", "old"}));
  std::set<std::uint64_t> ids;
  for (const BindingProperty& record : list.Elements())
    ids.insert(record.FindField("id")->GetUnsigned());
  EXPECT_EQ(ids, (std::set<std::uint64_t>{1, 2, 3}));
  const BindingProperty& first = list.Elements()[0];
  EXPECT_STREQ(first.FindField("url")->GetString(), "/kyn-highlights-videos/assets/new.webm");
  EXPECT_STREQ(first.FindField("mtimeIso8601")->GetString(), "1970-01-01T00:50:00.000Z");
  EXPECT_EQ(plugin_.Published(TestSupport::kHighlightsEvent).size(), 1u);
  // One telemetry post for the first scan, none for later ones.
  static_cast<void>(plugin_.Call(kRescan, "/kyn-highlights/v1/highlights"));
  int posts = 0;
  for (const auto& call : plugin_.host().calls()) {
    posts += call.path == "/telemetry/v1/events/tqp-be-kyn-highlights.sessionScan";
  }
  EXPECT_EQ(posts, 1);
}

TEST_F(EnabledService, RescanRenumbersAndOldIdsFail) {
  const std::uint64_t oldId = IdOf(List(), "mid");
  const BindingProperty rescanned = plugin_.Call(kRescan, "/kyn-highlights/v1/highlights").value;
  EXPECT_EQ(IdOf(rescanned, "mid"), oldId + 3);
  EXPECT_EQ(plugin_.Call(kGetOne, One(oldId)).error, "No highlight with specified ID");
  EXPECT_EQ(plugin_.Call(kGetOne, One(0)).status, 404u);
  const HostCallReply put = plugin_.Call(kPut, One(oldId), NameBody("x"));
  EXPECT_EQ(put.status, 409u);
  EXPECT_EQ(put.error, "Highlight ID " + std::to_string(oldId) +
                           " does not exist. NOTE: Get all valid IDs by hitting "
                           "/kyn-highlights/v1/highlights");
  EXPECT_EQ(plugin_.Call(kDelete, One(oldId)).status, 404u);
  EXPECT_EQ(plugin_.Call(kReveal, "/kyn-highlights/v1/file-browser/" + std::to_string(oldId)).error,
            "Highlight not found");
  // The low 32 bits of the id, signed.
  EXPECT_NE(plugin_.Call(kPut, One(0xFFFFFFFFull), NameBody("x")).error.find("ID -1 does"),
            std::string::npos);
}

TEST_F(EnabledService, RenameKeepsThePlaceAndMovesTheFile) {
  const std::uint64_t id = IdOf(List(), "old");
  const HostCallReply put = plugin_.Call(kPut, One(id), NameBody("zz top.webm"));
  ASSERT_FALSE(put.hasError) << put.error;
  EXPECT_STREQ(put.value.FindField("name")->GetString(), "zz top.webm");
  EXPECT_STREQ(put.value.FindField("url")->GetString(),
               "/kyn-highlights-videos/assets/zz%20top.webm.webm");
  EXPECT_TRUE(Exists(folder_.PathOf("zz top.webm.webm")));
  EXPECT_FALSE(Exists(folder_.PathOf("old.webm")));
  EXPECT_EQ(Names(List()), (std::vector<std::string>{"new", "mid", "zz top.webm"}));
  EXPECT_EQ(plugin_.Published(TestSupport::kHighlightsEvent).size(), 2u);
}

TEST_F(EnabledService, RefusedRenamesChangeNothing) {
  const std::uint64_t id = IdOf(List(), "old");
  struct Case {
    std::string name;
    std::uint32_t status;
    const char* message;
  };
  const Case kCases[] = {
      {"", 400, "Bad Request: Non-empty name is required"},
      {"../escape", 400, "Bad Request: Name contains invalid characters"},
      {"sub\\\\dir", 400, "Bad Request: Name contains invalid characters"},
      {"C:clip", 400, "Bad Request: Name contains invalid characters"},
      {"what?", 400, "Bad Request: Name contains invalid characters"},
      {std::string(300, 'n'), 400, "Bad Request: Name is too long"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const HostCallReply reply = plugin_.Call(kPut, One(id), NameBody(c.name));
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.error, c.message);
  }
  // Onto a name another file has: the system's own text, with status 550.
  const HostCallReply clash = plugin_.Call(kPut, One(id), NameBody("new"));
  EXPECT_EQ(clash.status, 550u);
  EXPECT_FALSE(clash.error.empty());
  EXPECT_EQ(plugin_.CountLogs("kyn-highlights: PutHighlight: Rename failed: "), 1);
  EXPECT_TRUE(Exists(folder_.PathOf("old.webm")));
  EXPECT_EQ(Names(List()), (std::vector<std::string>{"new", "mid", "old"}));
  EXPECT_EQ(plugin_.Published(TestSupport::kHighlightsEvent).size(), 1u);
}

TEST_F(EnabledService, BodiesThatAreNoHighlightNameTheWholeValue) {
  constexpr char kRequired[] = "A value for '<value>' is required.";
  constexpr char kNotAStructure[] =
      "Couldn't assign value to '<value>' of type Highlight because the input not a structure.";
  constexpr char kNoName[] =
      "Couldn't assign value to '<value>' of type Highlight because the input structure doesn't "
      "have required field 'name'.";
  struct Case {
    const char* contentType;
    std::string body;
    const char* message;
  };
  const Case kCases[] = {
      {"application/json", "{}", kNoName},
      {"application/json", "null", kRequired},
      {"application/json", " ", kRequired},
      {"application/json", "[1]", kNotAStructure},
      {"application/json", "\"x\"", kNotAStructure},
      {"application/json", "5", kNotAStructure},
      {"application/x-yaml", "~", kRequired},
      {"application/x-yaml", "- 1", kNotAStructure},
      {"application/x-yaml", "a: 1", kNoName},
      {"application/x-msgpack", "\xc0", kRequired},
      {"application/x-msgpack", "\x80", kNoName},
      {"application/x-msgpack", "\x91\x01", kNotAStructure},
  };
  // Bodies are converted before the handler looks at the enabled flag.
  for (const bool enabled : {true, false}) {
    plugin_.SendConfig("Update", enabled);
    for (const Case& c : kCases) {
      SCOPED_TRACE(std::string(c.contentType) + " " + c.body + (enabled ? "" : " (disabled)"));
      TestSupport::HostCallRequest request;
      request.path = One(1);
      request.contentType = c.contentType;
      request.body = c.body;
      EXPECT_EQ(plugin_.Call(kPut, request).error, c.message);
    }
  }
  // Arguments from the path keep their own name.
  EXPECT_EQ(plugin_.Call(kPut, "/kyn-highlights/v1/highlights/abc", NameBody("x")).error,
            "Value abc for 'id' of type uint64 is in an incorrect format");
}

TEST_F(EnabledService, AFolderThatCannotBeListedPublishesTheEmptiedListOnce) {
  ASSERT_EQ(List().Size(), 3u);
  plugin_.SendSettings("Update", folder_.PathOf("missing"));
  auto lists = plugin_.Published(TestSupport::kHighlightsEvent);
  ASSERT_EQ(lists.size(), 2u);
  EXPECT_EQ(lists.back().Size(), 0u);
  EXPECT_EQ(List().Size(), 0u);
  // Already empty: another folder that cannot be listed publishes nothing.
  plugin_.SendSettings("Update", folder_.PathOf("gone"));
  EXPECT_EQ(plugin_.Published(TestSupport::kHighlightsEvent).size(), 2u);
}

TEST_F(EnabledService, DeleteRemovesFileAndRecordEvenWhenTheFileIsGone) {
  const BindingProperty list = List();
  const HostCallReply deleted = plugin_.Call(kDelete, One(IdOf(list, "new")));
  ASSERT_FALSE(deleted.hasError) << deleted.error;
  EXPECT_STREQ(deleted.value.FindField("name")->GetString(), "new");
  EXPECT_FALSE(Exists(folder_.PathOf("new.webm")));
  ASSERT_EQ(unlink(folder_.PathOf("mid.webm").c_str()), 0);
  EXPECT_FALSE(plugin_.Call(kDelete, One(IdOf(list, "mid"))).hasError);
  EXPECT_EQ(Names(List()), std::vector<std::string>{"old"});
  EXPECT_EQ(plugin_.Published(TestSupport::kHighlightsEvent).back().Size(), 1u);
  // A file gone behind the plugin's back cannot be revealed.
  ASSERT_EQ(unlink(folder_.PathOf("old.webm").c_str()), 0);
  const HostCallReply reveal =
      plugin_.Call(kReveal, "/kyn-highlights/v1/file-browser/" + std::to_string(IdOf(list, "old")));
  EXPECT_EQ(reveal.status, 404u);
  EXPECT_EQ(reveal.error, "Highlight not found");
}

TEST_F(EnabledService, SettingsEventsChooseTheFolder) {
  const std::string defaultFolder =
      plugin_.Call(kDefaultFolder, "/kyn-highlights/v1/highlights-folder-path/default")
          .value.GetString();
  const int scans = plugin_.CountLogs("kyn-highlights: Starting file scan");
  // The same folder again: nothing.
  plugin_.SendSettings("Update", folder_.path());
  // An update without a folder: nothing.
  plugin_.SendSettings("Update", "");
  EXPECT_EQ(plugin_.Published(TestSupport::kFolderEvent).size(), 1u);
  EXPECT_EQ(plugin_.CountLogs("kyn-highlights: Starting file scan"), scans);
  // Another spelling of the folder counts as another folder.
  plugin_.SendSettings("Update", folder_.path() + "/");
  EXPECT_EQ(plugin_.CountLogs("kyn-highlights: Starting file scan"), scans + 1);
  // Create without a folder and Delete give the default.
  plugin_.SendSettings("Create", "");
  EXPECT_STREQ(plugin_.Call(kFolder, "/kyn-highlights/v1/highlights-folder-path").value.GetString(),
               defaultFolder.c_str());
  const std::size_t folderEvents = plugin_.Published(TestSupport::kFolderEvent).size();
  plugin_.SendSettings("Delete", "");
  EXPECT_EQ(plugin_.Published(TestSupport::kFolderEvent).size(), folderEvents);
}

TEST_F(EnabledService, ConfigEventsMoveTheFlagAndKeepTheList) {
  plugin_.SendConfig("Update", true);
  EXPECT_EQ(plugin_.Published(TestSupport::kConfigEvent).size(), 2u);
  plugin_.SendConfig("Delete", true);
  const auto configs = plugin_.Published(TestSupport::kConfigEvent);
  ASSERT_EQ(configs.size(), 3u);
  EXPECT_FALSE(configs[2].FindField("isHighlightsEnabled")->GetBool(true));
  EXPECT_EQ(List().Size(), 3u);
  // Disabled: a new folder is published but not scanned.
  const int scans = plugin_.CountLogs("kyn-highlights: Starting file scan");
  plugin_.SendSettings("Update", "/elsewhere");
  EXPECT_EQ(plugin_.CountLogs("kyn-highlights: Starting file scan"), scans);
  EXPECT_EQ(List().Size(), 3u);
}

TEST_F(EnabledService, RenameAfterAFolderChangeWhileOffStaysInTheFilesFolder) {
  // Off, the new folder is not scanned; on again, the list is the old one.
  TempDirectory other;
  plugin_.SendConfig("Update", false);
  plugin_.SendSettings("Update", other.path());
  plugin_.SendConfig("Update", true);
  const HostCallReply renamed = plugin_.Call(kPut, One(IdOf(List(), "mid")), NameBody("kept"));
  ASSERT_FALSE(renamed.hasError) << renamed.error;
  EXPECT_TRUE(Exists(folder_.PathOf("kept.webm")));
  EXPECT_FALSE(Exists(other.PathOf("kept.webm")));
  EXPECT_STREQ(renamed.value.FindField("filepath")->GetString(),
               folder_.PathOf("kept.webm").c_str());
}

TEST_F(EnabledService, ConcurrentRequestsAndEventsKeepTheListWhole) {
  std::atomic<bool> failed{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 150; ++i) {
        const BindingProperty list = List();
        if (list.Size() != 3) failed = true;
        if (t == 0 && i % 25 == 0)
          static_cast<void>(plugin_.Call(kRescan, "/kyn-highlights/v1/highlights"));
        if (t == 1) plugin_.SendConfig("Update", true);
        if (t == 2 && list.Size() > 0) {
          const std::uint64_t id = list.Elements()[0].FindField("id")->GetUnsigned();
          static_cast<void>(plugin_.Call(kGetOne, One(id)));
        }
        if (t == 3) {
          const std::uint64_t id = IdOf(list, i % 2 == 0 ? "old" : "renamed");
          if (id != 0)
            static_cast<void>(
                plugin_.Call(kPut, One(id), NameBody(i % 2 == 0 ? "renamed" : "old")));
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_FALSE(failed.load());
  const BindingProperty list = List();
  ASSERT_EQ(list.Size(), 3u);
  int present = 0;
  for (const BindingProperty& record : list.Elements())
    present += Exists(record.FindField("filepath")->GetString());
  EXPECT_EQ(present, 3);
}

TEST(HighlightsService, ShutdownLeavesNothingAllocated) {
  TempDirectory folder;
  WriteClip(folder, "a.webm", 5000);
  std::uint64_t inUse = 0;
  for (int life = 0; life < 3; ++life) {
    SCOPED_TRACE(life);
    HighlightsHost plugin;
    plugin.AnswerConfig(true);
    plugin.AnswerSettings(folder.path());
    ASSERT_TRUE(plugin.Start());
    EXPECT_EQ(plugin.Call(kList, "/kyn-highlights/v1/highlights").value.Size(), 1u);
    plugin.Shutdown();
    // The first life also fills the module's lasting caches.
    if (life == 0) inUse = plugin.AllocationsInUse();
    EXPECT_EQ(plugin.AllocationsInUse(), inUse);
  }
}

}  // namespace
