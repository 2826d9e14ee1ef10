#include "highlights/HighlightsList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/BindingRegistry.h"
#include "binding/FlatBlock.h"
#include "binding/FlatProperty.h"
#include "binding/NativeCodec.h"
#include "binding/readers/JsonReader.h"
#include "highlights/HighlightsTelemetry.h"
#include "routing/ResponseWriter.h"
#include "support/ScriptedHost.h"

namespace Corvan::Client::Highlights {
namespace {

using Api::Highlight;

// A list whose every published state is kept.
struct PublishedList {
  std::vector<std::vector<Highlight>> published;
  HighlightsList list{[this](const std::vector<Highlight>& records) { published.push_back(records); },
                      [](const std::string& path) { return MakeHighlightUrl(path); }};

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const Highlight& record : list.Records()) names.push_back(record.name);
    return names;
  }
};

TEST(HighlightsList, NumbersInEnumerationOrderAndSortsNewestFirst) {
  PublishedList l;
  l.list.SetHighlights({Highlight("first", "/h/first.webm", 100, 1),
                        Highlight("second", "/h/second.webm", 300, 2),
                        Highlight("third", "/h/third.webm", 200, 3)});
  EXPECT_EQ(l.Names(), (std::vector<std::string>{"second", "third", "first"}));
  EXPECT_EQ(l.list.GetHighlight(1)->name, "first");
  EXPECT_EQ(l.list.GetHighlight(2)->name, "second");
  EXPECT_EQ(l.list.GetHighlight(3)->url, "/kyn-highlights-videos/assets/third.webm");
  EXPECT_FALSE(l.list.GetHighlight(0).has_value());
  // A rescan numbers on from where the list stopped.
  l.list.ClearWithoutNotifying();
  l.list.SetHighlights({Highlight("first", "/h/first.webm", 100, 1)});
  EXPECT_EQ(l.list.Records().front().id, 4u);
  EXPECT_FALSE(l.list.GetHighlight(1).has_value());
  EXPECT_EQ(l.published.size(), 2u);
  // An empty scan is published too.
  l.list.ClearWithoutNotifying();
  l.list.SetHighlights({});
  ASSERT_EQ(l.published.size(), 3u);
  EXPECT_TRUE(l.published.back().empty());
}

// The host may release a GET response long after the list has changed: the
// response holds the snapshot it was given, not the list's current one.
TEST(HighlightsList, SnapshotStaysValidInAResponseReleasedAfterTheListChanged) {
  BindingRegistry registry;
  Api::RegisterApiRecords(registry);
  int conversions = 0;
  HighlightsList list{[](const std::vector<Highlight>&) {},
                      [](const std::string& path) { return MakeHighlightUrl(path); },
                      [&](const std::vector<Highlight>& records) {
                        ++conversions;
                        BindingResult converted;
                        EXPECT_TRUE(ConvertNative(converted, records, &registry));
                        return SharedFlatValue(
                            BuildFlatBlock(converted.property, &registry, FlatTexts::Copied));
                      }};
  list.SetHighlights({Highlight("a", "/h/a.webm", 1, 1), Highlight("b", "/h/b.webm", 2, 2)});
  CallResult call;
  call.details.flatValue = list.Snapshot();
  HostResponse response;
  ResetResponse(response);
  WriteResponse(call, &registry, response);
  // (Packed records: their members are copied out, never bound to a reference.)
  const FlatProperty* snapshotItems = list.Snapshot().root().value.array.items;
  const FlatProperty* responseItems = ResultValue(response.result).value.array.items;
  EXPECT_EQ(snapshotItems, responseItems);
  EXPECT_EQ(conversions, 1);  // unchanged records are not converted again

  ASSERT_TRUE(list.RemoveHighlight(1));
  call = CallResult();
  const std::uint32_t count = list.Snapshot().root().value.array.count;
  EXPECT_EQ(count, 1u);
  BindingProperty held;
  FlatResult report{};
  ASSERT_TRUE(FromFlatProperty(ResultValue(response.result), held, report, "list"));
  ASSERT_EQ(held.Size(), 2u);
  EXPECT_STREQ(held.Element(0).FindField("name")->GetString(), "b");
  EXPECT_STREQ(held.Element(1).FindField("url")->GetString(), "/kyn-highlights-videos/assets/a.webm");
  ReleaseResponse(&response);
  EXPECT_EQ(conversions, 2);
}

TEST(HighlightsList, EqualTimesSortByNameBytes) {
  PublishedList l;
  l.list.SetHighlights({Highlight("b", "/h/b.webm", 5, 0), Highlight("a", "/h/a.webm", 5, 0),
                        Highlight("B", "/h/B.webm", 5, 0), Highlight("ab", "/h/ab.webm", 5, 0),
                        Highlight("\xC3\xA9", "/h/e.webm", 5, 0)});
  EXPECT_EQ(l.Names(), (std::vector<std::string>{"B", "a", "ab", "b", "\xC3\xA9"}));
}

TEST(HighlightsList, UpdateKeepsThePlaceAndRemoveKeepsTheOrder) {
  PublishedList l;
  l.list.SetHighlights({Highlight("x", "/h/x.webm", 3, 0), Highlight("y", "/h/y.webm", 2, 0),
                        Highlight("z", "/h/z.webm", 1, 0)});
  Highlight renamed("a a", "/h/a a.webm", 0, 0);
  ASSERT_TRUE(l.list.UpdateHighlight(3, renamed));
  EXPECT_EQ(l.Names(), (std::vector<std::string>{"x", "y", "a a"}));
  const Highlight updated = *l.list.GetHighlight(3);
  EXPECT_EQ(updated.url, "/kyn-highlights-videos/assets/a%20a.webm");
  EXPECT_EQ(updated.mtimeMsUtc, 1u);  // time, size and id stay
  ASSERT_TRUE(l.list.RemoveHighlight(1));
  EXPECT_EQ(l.Names(), (std::vector<std::string>{"y", "a a"}));
  EXPECT_EQ(l.published.back().size(), 2u);
  const std::size_t events = l.published.size();
  EXPECT_FALSE(l.list.UpdateHighlight(1, renamed));
  EXPECT_FALSE(l.list.RemoveHighlight(1));
  EXPECT_EQ(l.published.size(), events);
}

TEST(MakeHighlightUrl, PercentEncodesTheFileNameByteByByte) {
  struct Case {
    const char* path;
    const char* url;
  };
  constexpr Case kCases[] = {
      {"C:/h/clip 1.webm", "/kyn-highlights-videos/assets/clip%201.webm"},
      {"C:\\h\\a-b_c.~d.webm", "/kyn-highlights-videos/assets/a-b_c.~d.webm"},
      {"C:/h/", "/kyn-highlights-videos/assets/"},
      {"plain.webm", "/kyn-highlights-videos/assets/plain.webm"},
      {"/h/\xC3\xA9+%.webm", "/kyn-highlights-videos/assets/%C3%A9%2B%25.webm"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(MakeHighlightUrl(c.path), c.url);
  }
}

TEST(HighlightRecord, DerivesTheIsoTimeAndWritesSevenMembers) {
  const Highlight clip("clip", "/h/clip.webm", 1551443696789ull, 10);
  EXPECT_EQ(clip.mtimeIso8601, "2019-03-01T12:34:56.789Z");
  EXPECT_EQ(clip.id, 0u);
  EXPECT_EQ(clip.url, "");
  BindingRegistry registry;
  Api::RegisterApiRecords(registry);
  BindingResult out;
  ASSERT_TRUE(ConvertNative(out, clip, &registry));
  std::vector<std::string> members;
  out.property.ForEachField([&](const char* key, const BindingProperty&) { members.push_back(key); });
  EXPECT_EQ(members, (std::vector<std::string>{"fileSizeBytes", "filepath", "id", "mtimeIso8601",
                                               "mtimeMsUtc", "name", "url"}));
}

TEST(HighlightRecord, WireFormsConvertAsClientsSendThem) {
  BindingRegistry registry;
  Api::RegisterApiRecords(registry);
  Highlight body;
  BindingResult result;
  EXPECT_TRUE(AssignNative(result, body, ReadJson(R"({"name": "n"})").property, "highlight", &registry));
  EXPECT_EQ(body.name, "n");
  EXPECT_EQ(body.id, 0u);
  EXPECT_FALSE(AssignNative(result, body, ReadJson(R"({"id": 3})").property, "highlight", &registry));
  Api::SettingsResource settings;
  BindingResult settingsResult;
  EXPECT_TRUE(AssignNative(settingsResult, settings,
                           ReadJson(R"({"data": {"highlights-folder-path": "D:/v"}, "x": 1})").property,
                           "<value>", &registry));
  EXPECT_EQ(settings.data.highlightsFolderPath, "D:/v");
  Api::HighlightsDynamicConfig config;
  BindingResult configResult;
  EXPECT_TRUE(AssignNative(configResult, config, ReadJson("{}").property, "<value>", &registry));
  EXPECT_FALSE(config.Enabled);
}

TEST(HighlightsTelemetry, ReportsNonZeroSizesOnce) {
  TestSupport::ScriptedHost host;
  BindingRegistry registry;
  EndpointClient client(host.api(), 1, &registry);
  TelemetrySink sink(client);
  HighlightsTelemetry telemetry(&sink);
  telemetry.ReportSessionScan({Highlight("a", "/a", 1, 1048576), Highlight("b", "/b", 1, 0),
                               Highlight("c", "/c", 1, 2097152)});
  telemetry.ReportSessionScan({});
  ASSERT_EQ(host.calls().size(), 2u);
  EXPECT_EQ(host.calls()[0].path, "/telemetry/v1/events/tqp-be-kyn-highlights.sessionScan");
  ASSERT_EQ(host.calls()[0].arguments.size(), 1u);
  const BindingProperty& fields = host.calls()[0].arguments[0];
  EXPECT_STREQ(fields.FindField("fileSizeBytes")->GetString(), "[1048576,2097152]");
  EXPECT_EQ(fields.FindField("sessionStartEpochSeconds")->GetString(),
            telemetry.sessionStartEpochSeconds());
  EXPECT_NE(fields.FindField("timeMillis"), nullptr);
  EXPECT_STREQ(host.calls()[1].arguments[0].FindField("fileSizeBytes")->GetString(), "[]");
}

}  // namespace
}  // namespace Corvan::Client::Highlights
