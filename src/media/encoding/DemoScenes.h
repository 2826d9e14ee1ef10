// DemoScenes: what the demo highlights show and sound like. Each clip has
// its own animated scene in its own colours and a short tune, so that four
// clips side by side are told apart at a glance; a bar along the bottom
// edge grows with the clip's time in all of them.
//
//   for (const DemoScene& scene : DemoScenes()) {
//     Picture picture(640, 360);
//     DrawScene(scene, picture, 1.5);             // the picture at 1.5 s
//     std::vector<float> left = ..., right = ...;
//     RenderTune(scene, 48000, left, right);     // the whole clip's sound
//   }
#pragma once

#include <vector>

#include "media/encoding/Picture.h"

namespace Corvan::Media {

// One note of a tune: a sine that starts at `start` seconds and fades out
// over `length` seconds, placed between the left (-1) and right (1) speakers.
struct Note {
  double start = 0;
  double frequency = 440;
  double length = 0.5;
  double volume = 0.2;
  double pan = 0;
};

struct DemoScene {
  // The highlight's name (its file name without ".webm").
  const char* name;
  double seconds;
  // How long ago the game recorded it, so that the folder spans days.
  int hoursAgo;
  // Draws the picture at `time` seconds into the clip.
  void (*draw)(Picture& picture, double time);
  std::vector<Note> tune;
};

// The demo clips, in the order they are written.
[[nodiscard]] const std::vector<DemoScene>& DemoScenes();

// Draws the scene's picture at `time` seconds, with the time bar.
void DrawScene(const DemoScene& scene, Picture& picture, double time);

// Fills `left` and `right` (resized to the clip's length) with the scene's
// tune, samples between -1 and 1.
void RenderTune(const DemoScene& scene, int sampleRate, std::vector<float>& left,
                std::vector<float>& right);

}  // namespace Corvan::Media
