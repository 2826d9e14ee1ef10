// FlatBlock: the flat form of a BindingProperty laid out in one allocation,
// for values that leave the plugin: a response's value, an event's payload,
// the highlight list's snapshot.
//
// The block holds every array, entry and (unless borrowed) text of the flat
// value; its texts and blobs are of the borrowed kinds and its keys do not
// own themselves, since none of them is freed on its own. The root
// FlatProperty lives outside (in the response or event); whenever its kind is
// string, blob, array or object its pointer is the first byte of the block's
// content, and the block's header, with the count of its holders, lies just
// before it. So a root alone is enough to hold or release its block:
//
//   FlatProperty root = BuildFlatBlock(tree, &registry, FlatTexts::Copied);
//   HoldFlatBlock(root);      // a second holder (a response, a snapshot)
//   ReleaseFlatBlock(root);   // the last release frees the block
//
// With FlatTexts::Borrowed, texts, keys and blobs below the root point into
// the tree instead (a payload that is read only while the tree lives); a
// text or blob at the root is still copied, so that the root finds its
// block.
#pragma once

#include <cstdint>
#include <utility>

#include "abi/HostAbi.h"
#include "binding/BindingProperty.h"

namespace Corvan {

class BindingRegistry;

enum class FlatTexts { Copied, Borrowed };

// The flat form of `value` (enums as their names when the registry knows
// them, as ToFlatProperty does), in one block with one holder. The value must
// nest no deeper than kMaxTreeDepth.
[[nodiscard]] FlatProperty BuildFlatBlock(const BindingProperty& value,
                                          const BindingRegistry* registry, FlatTexts texts);

// Whether the root of a flat value built here points at a block.
[[nodiscard]] bool HasFlatBlock(const FlatProperty& root);

// Adds a holder to the root's block (nothing for a root without one).
void HoldFlatBlock(const FlatProperty& root);

// Drops the root's holder of its block, freeing the block with the last
// one, and leaves the root null.
void ReleaseFlatBlock(FlatProperty& root);

// A flat value in a block, shared by counting: each copy is one holder, and
// a root handed out with Share keeps the block alive after this value goes.
class SharedFlatValue {
 public:
  SharedFlatValue() = default;
  // Takes over the one holder of a BuildFlatBlock root.
  explicit SharedFlatValue(FlatProperty root) : root_(root) {}
  SharedFlatValue(const SharedFlatValue& other) : root_(other.root_) { HoldFlatBlock(root_); }
  SharedFlatValue(SharedFlatValue&& other) noexcept : root_(other.root_) { other.root_ = {}; }
  SharedFlatValue& operator=(SharedFlatValue other) noexcept {
    std::swap(root_, other.root_);
    return *this;
  }
  ~SharedFlatValue() { ReleaseFlatBlock(root_); }

  // The root, read-only.
  const FlatProperty& root() const { return root_; }
  // The root with one more holder, for a record that releases it with
  // ReleaseFlatBlock.
  FlatProperty Share() const {
    HoldFlatBlock(root_);
    return root_;
  }

 private:
  FlatProperty root_{};
};

}  // namespace Corvan
