// The demo clips: real highlights the plugin lists, of the promised size
// and length, each its own scene.
#include "media/encoding/DemoClips.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

#include "support/HostTestSupport.h"
#include "highlights/filestore/WebmVerification.h"
#include "media/WebmWriter.h"

namespace {

using namespace Corvan::Media;

// The mean of each plane of a scene's picture at `time`.
std::array<double, 3> MeanColour(const DemoScene& scene, double time) {
  Picture picture(640, 360);
  DrawScene(scene, picture, time);
  std::array<double, 3> mean{};
  for (int plane = 0; plane < 3; ++plane) {
    const int width = plane == 0 ? 640 : 320, height = plane == 0 ? 360 : 180;
    double sum = 0;
    for (int i = 0; i < width * height; ++i) sum += picture.Plane(plane)[i];
    mean[static_cast<std::size_t>(plane)] = sum / (width * height);
  }
  return mean;
}

TEST(DemoClips, EachIsAHighlightThePluginListsOf640By360And3To20Seconds) {
  HostTestSupport::TempDir dir;
  const std::vector<EncodedClip> clips = EncodeDemoClips();
  ASSERT_EQ(clips.size(), DemoScenes().size());
  for (const EncodedClip& clip : clips) {
    SCOPED_TRACE(clip.name);
    ASSERT_EQ(clip.error, "");
    const std::string path = dir / (clip.name + ".webm");
    ASSERT_TRUE(WriteFileBytes(path, clip.bytes));
    const auto header = Corvan::Client::Highlights::InspectWebmFile(path);
    EXPECT_TRUE(header.passed());
    EXPECT_EQ(header.width, 640u);
    EXPECT_EQ(header.height, 360u);
    EXPECT_GE(header.durationMs, 3000.0);
    EXPECT_LE(header.durationMs, 20000.0);
  }
}

TEST(DemoClips, NoTwoScenesLookAlike) {
  const std::vector<DemoScene>& scenes = DemoScenes();
  for (std::size_t a = 0; a < scenes.size(); ++a) {
    for (std::size_t b = a + 1; b < scenes.size(); ++b) {
      SCOPED_TRACE(std::string(scenes[a].name) + " / " + scenes[b].name);
      const auto first = MeanColour(scenes[a], 1.0), second = MeanColour(scenes[b], 1.0);
      double difference = 0;
      for (std::size_t i = 0; i < 3; ++i) difference = std::max(difference, std::abs(first[i] - second[i]));
      EXPECT_GT(difference, 8.0);
    }
    // And the scene moves.
    const auto early = MeanColour(scenes[a], 0.5), late = MeanColour(scenes[a], scenes[a].seconds - 0.5);
    EXPECT_NE(early, late) << scenes[a].name;
  }
}

}  // namespace
