#include "binding/readers/TreeBuilder.h"

#include <algorithm>

#include "binding/CutAtZero.h"

namespace Corvan {

std::size_t DocumentMemoryBudget(std::size_t documentBytes) {
  const std::size_t most = static_cast<std::size_t>(-1) / kDocumentMemoryFactor;
  const std::size_t budget = std::min(documentBytes, most) * kDocumentMemoryFactor;
  return std::max(budget, kDocumentMemoryFloor);
}

TreeBuilder::TreeBuilder(BindingProperty& root, ArrayMode mode, std::size_t maxDepth)
    : root_(root), mode_(mode), maxDepth_(maxDepth) {}

// The target when no key is pending.
BindingProperty& TreeBuilder::NextTarget() {
  if (frames_.empty()) return root_;
  Frame& top = frames_.back();
  if (top.node->kind() != PropertyKind::Collection) return *top.node;
  if (mode_ == ArrayMode::Append) return top.node->Append();
  return top.node->Element(top.nextIndex++);
}

// A key outside every structure selects nothing.
void TreeBuilder::KeyAtRoot() {
  pendingField_ = nullptr;
  pendingKey_ = nullptr;
}

void TreeBuilder::KeepKeyText(std::string_view key) { spareKey_.assign(CutAtZero(key)); }

bool TreeBuilder::BeginCollection(std::size_t reserve) {
  if (frames_.size() >= maxDepth_) return false;
  BindingProperty& target = Target();
  target.MakeCollection(std::min(reserve, kMaxReservedItems));
  Push(target, false);
  return true;
}

bool TreeBuilder::BeginStructure(std::size_t reserve) {
  if (frames_.size() >= maxDepth_) return false;
  BindingProperty& target = Target();
  target.MakeStructure(std::min(reserve, kMaxReservedItems));
  shapes_.Begin(frames_.size(), target);
  Push(target, true);
  return true;
}

void TreeBuilder::Push(BindingProperty& container, bool structure) {
  frames_.push_back({&container, 0});
  innermost_ = &container;
  innermostIsStructure_ = structure;
}

void TreeBuilder::End() {
  if (!frames_.empty()) {
    shapes_.End(frames_.size() - 1, *frames_.back().node);
    frames_.pop_back();
    // A container keeps its kind while it is open.
    innermost_ = frames_.empty() ? nullptr : frames_.back().node;
    innermostIsStructure_ = innermost_ != nullptr && innermost_->kind() == PropertyKind::Structure;
  }
  pendingField_ = nullptr;
}

}  // namespace Corvan
