// FrameStack: the stack of open containers a reader or the tree builder
// keeps. The first N frames live inside the object, so the usual shallow
// document costs no heap allocation for it; deeper ones spill into a vector.
//
//   FrameStack<Frame, 32> frames;
//   frames.push_back({node, 0});
//   frames.back().nextIndex++;
//   frames.pop_back();
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace Corvan {

template <class T, std::size_t N>
class FrameStack {
 public:
  bool empty() const { return size_ == 0; }
  std::size_t size() const { return size_; }

  // The top frame; the stack must not be empty.
  T& back() { return size_ <= N ? inline_[size_ - 1] : spill_.back(); }
  const T& back() const { return size_ <= N ? inline_[size_ - 1] : spill_.back(); }

  void push_back(const T& frame) {
    if (size_ < N)
      inline_[size_] = frame;
    else
      Spill(frame);
    ++size_;
  }
  // Frame i from the bottom; i must be below size().
  T& operator[](std::size_t i) { return i < N ? inline_[i] : spill_[i - N]; }

  // Removes the top frame; the stack must not be empty.
  void pop_back() {
    if (size_ > N) spill_.pop_back();
    --size_;
  }

 private:
  // Out of line, so that the usual push stays a store and an increment.
  [[gnu::noinline]] void Spill(const T& frame) { spill_.push_back(frame); }

  std::array<T, N> inline_;  // left uninitialised: frames are written before they are read
  std::vector<T> spill_;
  std::size_t size_ = 0;
};

}  // namespace Corvan
