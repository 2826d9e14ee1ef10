// DemoClips: the demo highlights as the game writes them, really encoded:
// VP8 video (libvpx) and Opus sound (libopus) of each DemoScene, muxed by
// the WebM writer with the writing application and track names of a
// highlight, so that the plugin lists them and a browser plays them.
//
//   for (const EncodedClip& clip : EncodeDemoClips()) {
//     if (!clip.error.empty()) ...;
//     WriteFileBytes(folder + "/" + clip.name + ".webm", clip.bytes);
//   }
//
// The clips are encoded side by side on up to two threads.
#pragma once

#include <string>
#include <vector>

#include "media/encoding/DemoScenes.h"

namespace Corvan::Media {

struct ClipFormat {
  int width = 640;
  int height = 360;
  int framesPerSecond = 30;
};

struct EncodedClip {
  std::string name;
  int hoursAgo = 0;
  // The WebM file's bytes; empty with `error` set when encoding failed.
  std::string bytes;
  std::string error;
};

// One scene as a WebM file.
[[nodiscard]] EncodedClip EncodeDemoClip(const DemoScene& scene, const ClipFormat& format = {});

// Every scene of DemoScenes(), in their order.
[[nodiscard]] std::vector<EncodedClip> EncodeDemoClips(const ClipFormat& format = {});

}  // namespace Corvan::Media
