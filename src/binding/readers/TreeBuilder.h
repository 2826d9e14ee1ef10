// TreeBuilder: what the JSON, MessagePack and YAML readers share to build a
// BindingProperty tree from a stream of items.
//
// A reader hands the builder keys, container starts and ends, and writes
// scalars into Target(). The builder owns the stack of open containers, the
// nesting limit (kMaxTreeDepth open containers; the next start is refused, so
// a reader stops pulling input at once) and the repeated-key rule: a key
// fetches its field again, so a later scalar replaces an earlier value, a
// later structure adds its fields to an earlier one, and a later collection
// adds elements to an earlier one (appended after them, or written from
// index 0 over them, as the reader's format wants).
//
//   TreeBuilder builder(result.property, TreeBuilder::ArrayMode::Append);
//   builder.BeginStructure();            // {
//   builder.Key("a");                    //   "a":
//   builder.Target().SetUnsigned(1u);    //        1
//   builder.End();                       // }
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "binding/BindingProperty.h"
#include "binding/RecordShapes.h"
#include "binding/readers/FrameStack.h"

namespace Corvan {

// The memory a tree read from a document may take: kDocumentMemoryFactor
// bytes for each byte of the document, and never less than
// kDocumentMemoryFloor (which leaves room for the deepest nesting and the
// YAML reader's alias expansion in a small document). Real documents need
// two to three bytes per byte (a list of highlight records about 2.2); a
// document that packs many values into few bytes, such as a long array of
// one-digit numbers, needs far more and is refused with a message instead of
// taking the host's memory.
inline constexpr std::size_t kDocumentMemoryFactor = 8;
inline constexpr std::size_t kDocumentMemoryFloor = std::size_t{4} << 20;
std::size_t DocumentMemoryBudget(std::size_t documentBytes);

// The most elements or fields a reader reserves for a container before they
// arrive, whatever count the document declares.
inline constexpr std::size_t kMaxReservedItems = 16;

class TreeBuilder {
 public:
  // How a collection that already has elements (a repeated key) takes new ones.
  enum class ArrayMode { Append, OverwriteFromStart };

  TreeBuilder(BindingProperty& root, ArrayMode mode, std::size_t maxDepth = kMaxTreeDepth);

  // The value the next item fills: a new element of the innermost open
  // collection, the field of the last key, or the root.
  BindingProperty& Target() {
    if (pendingField_ == nullptr) return NextTarget();
    BindingProperty& field = *pendingField_;
    pendingField_ = nullptr;
    return field;
  }

  // Selects the field of the innermost open structure that the next item
  // fills (get-or-insert).
  void Key(std::string_view key) {
    BindingProperty* top = Innermost();
    if (top == nullptr) return KeyAtRoot();
    pendingField_ = &shapes_.Field(frames_.size() - 1, *top, key, &pendingKey_);
    // The search hands over the key entry, except in a structure of many
    // fields; there the text is kept here.
    if (pendingKey_ == nullptr) KeepKeyText(key);
  }

  // The next item is a collection (or structure) and becomes the innermost
  // open container; false when that would open more than the nesting limit.
  // `reserve` is a hint of the element or field count, capped at a few.
  [[nodiscard]] bool BeginCollection(std::size_t reserve = 0);
  [[nodiscard]] bool BeginStructure(std::size_t reserve = 0);

  // Closes the innermost open container.
  void End();

  // Number of open containers.
  std::size_t depth() const { return frames_.size(); }
  std::size_t maxDepth() const { return maxDepth_; }
  // True when the innermost open container is a structure awaiting a key.
  bool AwaitsKey() const { return innermostIsStructure_ && pendingField_ == nullptr; }
  // The key of the field the next item fills, until Target() takes it.
  std::string_view PendingKey() const {
    return pendingKey_ != nullptr ? pendingKey_->View() : std::string_view(spareKey_);
  }
  // The innermost open container, or null.
  BindingProperty* Innermost() const { return innermost_; }

 private:
  struct Frame {
    BindingProperty* node;
    std::size_t nextIndex;  // OverwriteFromStart: where the next element goes
  };

  BindingProperty& NextTarget();
  void KeyAtRoot();
  void KeepKeyText(std::string_view key);
  void Push(BindingProperty& container, bool structure);

  BindingProperty& root_;
  ArrayMode mode_;
  std::size_t maxDepth_;
  FrameStack<Frame, 32> frames_;
  // The top frame's node and whether it is a structure, asked for every
  // item a reader hands over.
  BindingProperty* innermost_ = nullptr;
  bool innermostIsStructure_ = false;
  BindingProperty* pendingField_ = nullptr;
  const InternedString* pendingKey_ = nullptr;  // the key entry of pendingField_, when known
  std::string spareKey_;                        // else its text
  RecordShapes shapes_;
};

}  // namespace Corvan
