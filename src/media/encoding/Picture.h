// Picture: one video picture in I420 (a full-size luma plane and two chroma
// planes of half the width and height, 8 bits each), the layout VP8
// encoders take, with the few drawing operations the demo scenes need.
// Colours are converted to Y'CbCr once per shape, never per pixel, so a
// scene of a dozen shapes costs little more than clearing the picture.
//
//   Picture picture(640, 360);
//   picture.VerticalGradient(Rgb(20, 30, 80), Rgb(200, 90, 40));
//   picture.FillCircle(320, 180, 40, Rgb(255, 220, 120));
#pragma once

#include <cstdint>
#include <vector>

namespace Corvan::Media {

// A colour as Y'CbCr, limited range (BT.601).
struct Colour {
  std::uint8_t y = 16;
  std::uint8_t u = 128;
  std::uint8_t v = 128;
};

// The Y'CbCr of an 8-bit RGB colour.
[[nodiscard]] Colour Rgb(int red, int green, int blue);
// The colour `share` (0 to 1) of the way from `from` to `to`.
[[nodiscard]] Colour Mix(Colour from, Colour to, double share);

class Picture {
 public:
  // Even sizes only: the chroma planes have half of each.
  Picture(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  // Plane 0 is luma, 1 and 2 the chroma planes; each is stored row after
  // row without padding, so a plane's stride is its width.
  const std::uint8_t* Plane(int index) const;
  int Stride(int index) const { return index == 0 ? width_ : width_ / 2; }

  // Colours whole rows from `top` to `bottom` (exclusive): `top` in the
  // first row, `bottom` in the last.
  void VerticalGradient(Colour top, Colour bottom);
  void FillRect(int x, int y, int width, int height, Colour colour);
  void FillCircle(double centerX, double centerY, double radius, Colour colour);
  // The band between two radii.
  void FillRing(double centerX, double centerY, double inner, double outer, Colour colour);

 private:
  // Colours the samples [left, right) of luma row y and the chroma samples
  // they cover.
  void FillSpan(int y, int left, int right, Colour colour);

  int width_;
  int height_;
  std::vector<std::uint8_t> luma_;
  std::vector<std::uint8_t> blue_;
  std::vector<std::uint8_t> red_;
};

}  // namespace Corvan::Media
