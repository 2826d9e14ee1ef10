#include "media/encoding/Picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Corvan::Media {

namespace {

std::uint8_t Clamped(double value) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

}  // namespace

Colour Rgb(int red, int green, int blue) {
  const double r = red, g = green, b = blue;
  return {Clamped(16 + 0.257 * r + 0.504 * g + 0.098 * b),
          Clamped(128 - 0.148 * r - 0.291 * g + 0.439 * b),
          Clamped(128 + 0.439 * r - 0.368 * g - 0.071 * b)};
}

Colour Mix(Colour from, Colour to, double share) {
  const auto mix = [share](std::uint8_t a, std::uint8_t b) {
    return Clamped(a + (static_cast<double>(b) - a) * std::clamp(share, 0.0, 1.0));
  };
  return {mix(from.y, to.y), mix(from.u, to.u), mix(from.v, to.v)};
}

Picture::Picture(int width, int height)
    : width_(width),
      height_(height),
      luma_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)),
      blue_(luma_.size() / 4),
      red_(luma_.size() / 4) {}

const std::uint8_t* Picture::Plane(int index) const {
  return index == 0 ? luma_.data() : index == 1 ? blue_.data() : red_.data();
}

void Picture::VerticalGradient(Colour top, Colour bottom) {
  const double last = std::max(1, height_ - 1);
  for (int y = 0; y < height_; ++y) {
    const Colour colour = Mix(top, bottom, y / last);
    std::memset(&luma_[static_cast<std::size_t>(y * width_)], colour.y, static_cast<std::size_t>(width_));
    if (y % 2 != 0) continue;
    const std::size_t row = static_cast<std::size_t>(y / 2 * (width_ / 2));
    std::memset(&blue_[row], colour.u, static_cast<std::size_t>(width_ / 2));
    std::memset(&red_[row], colour.v, static_cast<std::size_t>(width_ / 2));
  }
}

void Picture::FillSpan(int y, int left, int right, Colour colour) {
  left = std::max(left, 0);
  right = std::min(right, width_);
  if (y < 0 || y >= height_ || left >= right) return;
  std::memset(&luma_[static_cast<std::size_t>(y * width_ + left)], colour.y,
              static_cast<std::size_t>(right - left));
  if (y % 2 != 0) return;
  // A chroma sample covers two by two luma samples; the even rows decide.
  const std::size_t row = static_cast<std::size_t>(y / 2 * (width_ / 2));
  const int first = (left + 1) / 2, last = (right + 1) / 2;
  if (first >= last) return;
  std::memset(&blue_[row + static_cast<std::size_t>(first)], colour.u, static_cast<std::size_t>(last - first));
  std::memset(&red_[row + static_cast<std::size_t>(first)], colour.v, static_cast<std::size_t>(last - first));
}

void Picture::FillRect(int x, int y, int width, int height, Colour colour) {
  for (int row = std::max(y, 0); row < std::min(y + height, height_); ++row) {
    FillSpan(row, x, x + width, colour);
  }
}

void Picture::FillCircle(double centerX, double centerY, double radius, Colour colour) {
  FillRing(centerX, centerY, -1.0, radius, colour);
}

// Row by row: the samples whose centres lie between the two radii form
// one span, or two where the row crosses the inner circle.
void Picture::FillRing(double centerX, double centerY, double inner, double outer, Colour colour) {
  if (outer <= 0) return;
  const int top = std::max(0, static_cast<int>(std::floor(centerY - outer)));
  const int bottom = std::min(height_, static_cast<int>(std::ceil(centerY + outer)) + 1);
  // Sample x is covered when its centre x + 0.5 is within `half` of the centre.
  const auto span = [&](double half, int& left, int& right) {
    left = static_cast<int>(std::ceil(centerX - half - 0.5));
    right = static_cast<int>(std::floor(centerX + half - 0.5)) + 1;
  };
  for (int y = top; y < bottom; ++y) {
    const double dy = y + 0.5 - centerY;
    const double outerSquared = outer * outer - dy * dy;
    if (outerSquared < 0) continue;
    int left = 0, right = 0;
    span(std::sqrt(outerSquared), left, right);
    const double innerSquared = inner * inner - dy * dy;
    if (inner <= 0 || innerSquared <= 0) {
      FillSpan(y, left, right, colour);
      continue;
    }
    int holeLeft = 0, holeRight = 0;
    span(std::sqrt(innerSquared), holeLeft, holeRight);
    FillSpan(y, left, holeLeft, colour);
    FillSpan(y, holeRight, right, colour);
  }
}

}  // namespace Corvan::Media
