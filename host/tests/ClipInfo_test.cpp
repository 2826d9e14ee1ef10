// Clip facts read from headers, and the catalog that answers them for the
// listed clips.
#include "ClipInfo.h"

#include <gtest/gtest.h>

#include "support/HostTestSupport.h"
#include "highlights/filestore/WebmVerification.h"
#include "media/WebmWriter.h"

namespace {

using namespace Corvan::Host;
using Corvan::BindingProperty;
using Corvan::Media::WebmOptions;
using HostTestSupport::Json;
using HostTestSupport::TempDir;

WebmOptions Sized(std::uint64_t width, std::uint64_t height, int clusters) {
  WebmOptions options;
  options.tracks[0].width = width;
  options.tracks[0].height = height;
  options.clusterCount = clusters;
  options.framesPerCluster = 30;  // 30 frames of 33 ms per cluster
  return options;
}

PublishedEvent ResourceEvent(const char* uri) {
  PublishedEvent event{"OnJsonApiEvent", {}};
  event.payload.Field("uri").SetString(uri);
  event.payload.Field("eventType").SetString("Update");
  return event;
}

PublishedEvent ListEvent(const std::vector<std::string>& paths) {
  PublishedEvent event = ResourceEvent("/kyn-highlights/v1/highlights");
  BindingProperty& data = event.payload.Field("data");
  data.MakeCollection();
  for (const std::string& path : paths) data.Append().Field("filepath").SetString(path);
  return event;
}

PublishedEvent FolderEvent(const std::string& folder) {
  PublishedEvent event = ResourceEvent("/kyn-highlights/v1/highlights-folder-path");
  event.payload.Field("data").SetString(folder);
  return event;
}

TEST(ClipInfo, FactsComeFromTheHeaderOfAHighlight) {
  TempDir dir;
  WebmOptions otherApp = Sized(640, 360, 1);
  otherApp.writingApp = "Other";
  const auto image = Corvan::Media::BuildWebm(Sized(640, 360, 2));
  struct Case {
    const char* name;
    std::string bytes;
    ClipFacts expected;
  };
  const Case kCases[] = {
      {"game size", Corvan::Media::BuildWebm(Sized(1280, 720, 2)).bytes, {true, 1980, 1280, 720}},
      {"demo size", image.bytes, {true, 1980, 640, 360}},
      {"long", Corvan::Media::BuildWebm(Sized(640, 360, 100)).bytes, {true, 99000, 640, 360}},
      {"cut inside its tracks", TruncatedInside(image, Corvan::Media::WebmPart::Tracks), {}},
      {"another writing application", Corvan::Media::BuildWebm(otherApp).bytes, {}},
      {"no WebM", Corvan::Media::GarbageBytes(4096), {}},
  };
  Corvan::Client::Highlights::WebmVerifier verifier;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / (std::string(c.name) + ".webm");
    HostTestSupport::WriteFile(path, c.bytes);
    const ClipFacts facts = ReadClipFacts(path, verifier);
    EXPECT_EQ(facts.readable, c.expected.readable);
    EXPECT_EQ(facts.durationMs, c.expected.durationMs);
    EXPECT_EQ(facts.width, c.expected.width);
    EXPECT_EQ(facts.height, c.expected.height);
  }
  EXPECT_FALSE(ReadClipFacts(dir / "missing.webm", verifier).readable);
}

TEST(ClipInfo, TheCatalogAnswersForTheListedClipsAndSeesThemChange) {
  TempDir dir;
  const std::string clip = dir / "clip.webm", broken = dir / "broken.webm", gone = dir / "gone.webm";
  HostTestSupport::WriteFile(clip, Corvan::Media::BuildWebm(Sized(640, 360, 2)).bytes);
  HostTestSupport::WriteFile(broken, "not a video");
  ClipCatalog catalog;
  catalog.Note(FolderEvent(dir.path()));
  catalog.Note(ListEvent({clip, broken, gone}));

  BindingProperty answer = Json(catalog.Json());
  EXPECT_EQ(answer.FindField("folder")->GetStringView(), dir.path());
  EXPECT_TRUE(answer.FindField("folderExists")->GetBool());
  const BindingProperty* clips = answer.FindField("clips");
  ASSERT_NE(clips, nullptr);
  EXPECT_EQ(clips->Fields()->size(), 3u);
  EXPECT_EQ(clips->FindField(clip.c_str())->FindField("durationMs")->GetUnsigned(), 1980u);
  EXPECT_EQ(clips->FindField(clip.c_str())->FindField("width")->GetUnsigned(), 640u);
  EXPECT_TRUE(clips->FindField(broken.c_str())->IsEmpty());
  EXPECT_TRUE(clips->FindField(gone.c_str())->IsEmpty());

  // The same path with other contents (size and time differ) is read anew.
  HostTestSupport::WriteFile(clip, Corvan::Media::BuildWebm(Sized(1280, 720, 3)).bytes);
  answer = Json(catalog.Json());
  EXPECT_EQ(answer.FindField("clips")->FindField(clip.c_str())->FindField("durationMs")->GetUnsigned(), 2970u);

  // Another list, and a folder that does not exist.
  catalog.Note(ListEvent({}));
  catalog.Note(FolderEvent(dir / "nowhere"));
  answer = Json(catalog.Json());
  EXPECT_FALSE(answer.FindField("folderExists")->GetBool());
  const BindingProperty* none = answer.FindField("clips");
  EXPECT_TRUE(none->Fields() == nullptr || none->Fields()->empty());
}

}  // namespace
