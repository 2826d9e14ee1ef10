#include "media/encoding/DemoScenes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Corvan::Media {

namespace {

constexpr double kTau = 2 * std::numbers::pi;

// Every scene is drawn for 640 by 360 and scaled to the picture's size.
struct Stage {
  Picture& picture;
  double scale;
  void Circle(double x, double y, double r, Colour c) const {
    picture.FillCircle(x * scale, y * scale, r * scale, c);
  }
  void Ring(double x, double y, double inner, double outer, Colour c) const {
    picture.FillRing(x * scale, y * scale, inner * scale, outer * scale, c);
  }
  void Rect(double x, double y, double w, double h, Colour c) const {
    picture.FillRect(static_cast<int>(x * scale), static_cast<int>(y * scale),
                     static_cast<int>(std::ceil(w * scale)), static_cast<int>(std::ceil(h * scale)), c);
  }
};

Stage StageOf(Picture& picture) { return {picture, picture.width() / 640.0}; }

// Gold on deep blue: a pulsing trophy, rings going out, confetti circling.
void DrawVictory(Picture& picture, double t) {
  const Stage s = StageOf(picture);
  const Colour night = Rgb(14, 24, 72);
  picture.VerticalGradient(night, Rgb(70, 30, 110));
  const Colour gold = Rgb(250, 196, 60);
  for (int k = 0; k < 4; ++k) {
    const double r = std::fmod(t * 90 + k * 60, 240);
    s.Ring(320, 180, r, r + 6, Mix(gold, night, r / 240));
  }
  const double pulse = 1 + 0.08 * std::sin(t * kTau * 1.5);
  s.Circle(320, 180, 62 * pulse, gold);
  s.Circle(320, 180, 40 * pulse, Rgb(255, 236, 150));
  static const Colour confetti[] = {Rgb(240, 70, 90), Rgb(70, 220, 230), Rgb(140, 240, 90),
                                    Rgb(250, 130, 220), Rgb(255, 255, 255)};
  for (int i = 0; i < 15; ++i) {
    const double angle = t * 1.3 + i * kTau / 15;
    const double radius = 120 + 22 * std::sin(t * 3 + i);
    s.Circle(320 + radius * 1.6 * std::cos(angle), 180 + radius * std::sin(angle), 9,
             confetti[i % 5]);
  }
}

// Orange dusk: the sun going down behind hills while a dark dragon flies by.
void DrawDusk(Picture& picture, double t) {
  const Stage s = StageOf(picture);
  const double late = t / 5.0;
  picture.VerticalGradient(Mix(Rgb(70, 34, 100), Rgb(30, 14, 50), late),
                           Mix(Rgb(252, 150, 64), Rgb(200, 70, 50), late));
  s.Circle(470, 140 + t * 26, 56, Rgb(255, 206, 96));
  const Colour hills = Rgb(42, 20, 52);
  s.Circle(110, 430, 170, hills);
  s.Circle(390, 470, 210, hills);
  s.Circle(630, 430, 150, hills);
  const Colour dragon = Rgb(24, 8, 28);
  const double headX = -60 + t * 165;
  for (int i = 0; i < 16; ++i) {
    const double y = 110 + 26 * std::sin(t * 4 - i * 0.45);
    s.Circle(headX - i * 13, y, 13 - i * 0.6, dragon);
  }
  const double flap = 34 * std::fabs(std::sin(t * 5));
  const double wingY = 110 + 26 * std::sin(t * 4 - 4 * 0.45);
  s.Circle(headX - 50, wingY - flap, 18, dragon);
  s.Circle(headX - 70, wingY - flap * 0.7, 14, dragon);
}

// Green pitch: a shot on goal and a keeper who gets there just in time.
void DrawSave(Picture& picture, double t) {
  const Stage s = StageOf(picture);
  picture.VerticalGradient(Rgb(28, 104, 48), Rgb(22, 150, 64));
  for (int k = 0; k < 8; k += 2) s.Rect(k * 80, 0, 80, 360, Rgb(34, 122, 56));
  const Colour white = Rgb(245, 245, 240);
  s.Rect(566, 88, 10, 184, white);
  s.Rect(566, 88, 64, 8, white);
  s.Rect(566, 264, 64, 8, white);
  constexpr double kSave = 2.4;
  const double flight = std::min(t, kSave);
  double ballX = 60 + flight * 205, ballY = 300 - 105 * flight + 18 * flight * flight;
  if (t > kSave) {
    ballX -= (t - kSave) * 260;
    ballY -= (t - kSave) * 60 - 40 * (t - kSave) * (t - kSave);
  }
  const double keeperY = 250 - 110 * std::min(1.0, t / kSave);
  s.Rect(540, keeperY - 34, 22, 68, Rgb(250, 210, 40));
  s.Circle(551, keeperY - 46, 12, Rgb(250, 210, 40));
  s.Circle(ballX, ballY, 13, white);
  if (t > kSave && t < kSave + 0.8) {
    const double r = (t - kSave) * 180;
    s.Ring(548, 300 - 105 * kSave + 18 * kSave * kSave, r, r + 8, Rgb(255, 250, 150));
  }
}

// When the k-th of the five goes down.
double PopTime(int k) { return 0.8 + k * 0.95; }

// Dark red: the five of the other team go down one after another.
void DrawWipe(Picture& picture, double t) {
  const Stage s = StageOf(picture);
  const Colour deep = Rgb(44, 6, 12), glow = Rgb(128, 22, 28);
  double flash = 0;
  for (int k = 0; k < 5; ++k) {
    const double since = t - PopTime(k);
    if (since >= 0) flash = std::max(flash, std::exp(-since * 7) * 0.6);
  }
  picture.VerticalGradient(Mix(deep, Rgb(255, 200, 160), flash), Mix(glow, Rgb(255, 230, 200), flash));
  for (int k = 0; k < 5; ++k) {
    const double x = 120 + k * 100, since = t - PopTime(k);
    if (since < 0) {
      s.Circle(x, 190 + 7 * std::sin(t * 5 + k), 26, Rgb(80, 160, 255));
      s.Circle(x, 190 + 7 * std::sin(t * 5 + k), 12, Rgb(200, 230, 255));
    } else if (since < 1.6) {
      const double r = since * 230;
      s.Ring(x, 190, r, r + 10, Mix(Rgb(255, 150, 40), glow, since / 1.6));
      s.Circle(x, 190, 10 * (1 - since / 1.6), Rgb(255, 220, 120));
    }
  }
}

std::vector<Note> Arpeggio(std::initializer_list<double> frequencies, double start, double step,
                           double length, double volume) {
  std::vector<Note> notes;
  double pan = -0.6;
  for (const double frequency : frequencies) {
    notes.push_back({start, frequency, length, volume, pan});
    start += step;
    pan += 0.4;
  }
  return notes;
}

std::vector<Note> Joined(std::initializer_list<std::vector<Note>> parts) {
  std::vector<Note> notes;
  for (const auto& part : parts) notes.insert(notes.end(), part.begin(), part.end());
  return notes;
}

std::vector<Note> Ticks(double from, double until, double step) {
  std::vector<Note> notes;
  for (double t = from; t < until; t += step) notes.push_back({t, 1320, 0.07, 0.12, 0.3});
  return notes;
}

std::vector<Note> Booms() {
  std::vector<Note> notes;
  for (int k = 0; k < 5; ++k) {
    notes.push_back({PopTime(k), 98.0 - k * 6, 0.8, 0.4, -0.5 + k * 0.25});
    notes.push_back({PopTime(k), 392.0 - k * 24, 0.25, 0.12, -0.5 + k * 0.25});
  }
  return notes;
}

}  // namespace

const std::vector<DemoScene>& DemoScenes() {
  static const std::vector<DemoScene> scenes = {
      {"First victory", 4.5, 2, DrawVictory,
       Joined({Arpeggio({523.25, 659.25, 783.99, 1046.5}, 0.2, 0.25, 0.6, 0.16),
               Arpeggio({523.25, 659.25, 783.99}, 1.5, 0.0, 1.4, 0.1),
               Arpeggio({587.33, 739.99, 880.0, 1174.7}, 2.6, 0.25, 0.7, 0.16)})},
      {"Dragon at dusk", 5.0, 27, DrawDusk,
       Arpeggio({220.0, 261.63, 329.63, 440.0, 392.0}, 0.1, 0.95, 1.9, 0.18)},
      {"Clutch save", 4.0, 80, DrawSave,
       Joined({Ticks(0.1, 2.4, 0.3), Arpeggio({587.33, 739.99, 880.0}, 2.4, 0.03, 1.3, 0.14)})},
      {"Team wipe", 6.0, 5, DrawWipe, Booms()},
  };
  return scenes;
}

void DrawScene(const DemoScene& scene, Picture& picture, double time) {
  scene.draw(picture, time);
  const int barHeight = std::max(2, picture.height() / 60);
  const int top = picture.height() - barHeight;
  picture.FillRect(0, top, picture.width(), barHeight, Rgb(20, 20, 24));
  const double share = std::min(1.0, time / scene.seconds);
  picture.FillRect(0, top, static_cast<int>(picture.width() * share), barHeight, Rgb(235, 235, 235));
}

void RenderTune(const DemoScene& scene, int sampleRate, std::vector<float>& left,
                std::vector<float>& right) {
  const auto count = static_cast<std::size_t>(scene.seconds * sampleRate);
  left.assign(count, 0.0f);
  right.assign(count, 0.0f);
  for (const Note& note : scene.tune) {
    const auto first = static_cast<std::size_t>(note.start * sampleRate);
    const auto length = static_cast<std::size_t>(note.length * sampleRate);
    const double leftGain = std::sqrt((1 - note.pan) / 2), rightGain = std::sqrt((1 + note.pan) / 2);
    const double attack = 0.005 * sampleRate;
    // The sine is advanced by rotation, one multiply per sample.
    const double step = kTau * note.frequency / sampleRate;
    double sine = 0, cosine = 1;
    const double stepSine = std::sin(step), stepCosine = std::cos(step);
    for (std::size_t i = 0; i < length && first + i < count; ++i) {
      const double fade = 1.0 - static_cast<double>(i) / static_cast<double>(length);
      const double envelope = note.volume * fade * fade * std::min(1.0, i / attack);
      left[first + i] += static_cast<float>(sine * envelope * leftGain);
      right[first + i] += static_cast<float>(sine * envelope * rightGain);
      const double nextSine = sine * stepCosine + cosine * stepSine;
      cosine = cosine * stepCosine - sine * stepSine;
      sine = nextSine;
    }
  }
}

}  // namespace Corvan::Media
