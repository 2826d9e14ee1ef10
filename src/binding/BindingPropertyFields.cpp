// The fields of structure values: lookup, insertion in key order, removal.
#include <cstring>
#include <utility>

#include "binding/BindingProperty.h"
#include "binding/CutAtZero.h"

namespace Corvan {

constexpr std::size_t kFieldsMovedInLoop = 8;

// Where the key belongs in a flat map: the index of its field, or of the
// first field after it (then `found` is false).
static std::size_t FlatPosition(const PropertyMap::Entry* entries, std::size_t size,
                                const KeyProbe& probe, bool& found) {
  std::size_t low = 0, high = size;
  while (low < high) {
    const std::size_t middle = (low + high) / 2;
    const int order = CompareKey(*entries[middle].key, probe);
    if (order == 0) {
      found = true;
      return middle;
    }
    if (order < 0)
      low = middle + 1;
    else
      high = middle;
  }
  found = false;
  return low;
}

BindingProperty& BindingProperty::Field(std::string_view key) {
  FieldPlace place;
  return Field(key, place);
}

BindingProperty& BindingProperty::Field(std::string_view key, FieldPlace& place) {
  key = CutAtZero(key);
  if (kind_ != PropertyKind::Structure) MakeStructure();
  PropertyMap& map = *payload_.structure;
  const KeyProbe probe = MakeKeyProbe(key);
  place = {};
  if (map.tree_ != nullptr) return TreeField(map, probe);
  // Documents and copies mostly bring keys that sort after the last one.
  std::size_t at = map.size_;
  bool found = false;
  if (at != 0) {
    const int order = CompareKey(*map.entries_[at - 1].key, probe);
    if (order == 0) {
      found = true, --at;
    } else if (order > 0) {
      at = FlatPosition(map.entries_, map.size_, probe, found);
      if (!found && map.size_ >= PropertyMap::kFlatFields) {
        MoveFieldsToTree(map);
        return TreeField(map, probe);
      }
    }
  }
  BindingProperty* value =
      found ? map.entries_[at].value : NewField(map, at, store_->Intern(probe));
  place = {map.entries_[at].key, static_cast<std::uint32_t>(at), !found};
  return *value;
}

// The places FieldAt leaves: a key the other structure found rather than
// added, and a place that does not fit this structure, which only a caller
// that broke the contract brings; the search keeps the map ordered all the
// same.
BindingProperty& BindingProperty::FieldAtSlowly(const FieldPlace& place) {
  const bool found = kind_ == PropertyKind::Structure && place.key != nullptr && !place.added &&
                     payload_.structure->tree_ == nullptr &&
                     place.index < payload_.structure->size_;
  if (found) return *payload_.structure->entries_[place.index].value;
  return Field(place.key != nullptr ? place.key->View() : std::string_view());
}

// Inserts a new field at index `at` of a flat map, taking over one reference
// of the key.
BindingProperty* BindingProperty::NewField(PropertyMap& map, std::size_t at,
                                           const InternedString* key) {
  if (map.size_ == map.capacity_) ReserveFields(map, map.capacity_ == 0 ? 8 : map.capacity_ * 2);
  auto* value = store_->New<BindingProperty>(store_, ChildTag{});
  // The fields after the new one move up one place. Most records are
  // small, and for a few fields a loop costs less than the call to memmove.
  PropertyMap::Entry* slot = map.entries_ + at;
  const std::size_t moved = map.size_ - at;
  if (moved > kFieldsMovedInLoop) {
    std::memmove(slot + 1, slot, moved * sizeof(PropertyMap::Entry));
    *slot = {key, value};
  } else {
    PropertyMap::Entry carried{key, value};
    for (PropertyMap::Entry* entry = slot; entry != slot + moved + 1; ++entry)
      std::swap(carried, *entry);
  }
  ++map.size_;
  return value;
}

BindingProperty& BindingProperty::TreeField(PropertyMap& map, const KeyProbe& probe) {
  PropertyMap::Tree& tree = *map.tree_;
  auto position = tree.lower_bound(probe);
  if (position != tree.end() && CompareKey(*position->first, probe) == 0) return *position->second;
  const InternedString* entry = store_->Intern(probe);
  auto* value = store_->New<BindingProperty>(store_, ChildTag{});
  tree.emplace_hint(position, entry, value);
  return *value;
}

void BindingProperty::ReserveFields(PropertyMap& map, std::size_t capacity) {
  auto* entries =
      static_cast<PropertyMap::Entry*>(store_->AllocateSlot(capacity * sizeof(PropertyMap::Entry)));
  if (map.size_ != 0) std::memcpy(entries, map.entries_, map.size_ * sizeof(PropertyMap::Entry));
  store_->FreeSlot(map.entries_, map.capacity_ * sizeof(PropertyMap::Entry));
  map.entries_ = entries;
  map.capacity_ = static_cast<std::uint32_t>(capacity);
}

void BindingProperty::MoveFieldsToTree(PropertyMap& map) {
  auto* tree = store_->New<PropertyMap::Tree>(PropertyMap::Tree::allocator_type(store_));
  for (std::uint32_t i = 0; i < map.size_; ++i) {
    tree->emplace_hint(tree->end(), map.entries_[i].key, map.entries_[i].value);
  }
  store_->FreeSlot(map.entries_, map.capacity_ * sizeof(PropertyMap::Entry));
  map.entries_ = nullptr;
  map.size_ = map.capacity_ = 0;
  map.tree_ = tree;
}

const BindingProperty* BindingProperty::FindField(const char* key) const {
  if (kind_ != PropertyKind::Structure) return nullptr;
  const PropertyMap& map = *payload_.structure;
  const KeyProbe probe = MakeKeyProbe(key != nullptr ? key : "");
  if (map.tree_ != nullptr) {
    auto position = map.tree_->find(probe);
    return position == map.tree_->end() ? nullptr : position->second;
  }
  bool found;
  const std::size_t at = FlatPosition(map.entries_, map.size_, probe, found);
  return found ? map.entries_[at].value : nullptr;
}

BindingProperty* BindingProperty::FindField(const char* key) {
  return const_cast<BindingProperty*>(std::as_const(*this).FindField(key));
}

bool BindingProperty::RemoveField(const char* key) {
  if (kind_ != PropertyKind::Structure) return false;
  PropertyMap& map = *payload_.structure;
  const KeyProbe probe = MakeKeyProbe(key != nullptr ? key : "");
  const InternedString* entry = nullptr;
  BindingProperty* value = nullptr;
  if (map.tree_ != nullptr) {
    auto position = map.tree_->find(probe);
    if (position == map.tree_->end()) return false;
    entry = position->first;
    value = position->second;
    map.tree_->erase(position);
  } else {
    bool found;
    const std::size_t at = FlatPosition(map.entries_, map.size_, probe, found);
    if (!found) return false;
    entry = map.entries_[at].key;
    value = map.entries_[at].value;
    std::memmove(map.entries_ + at, map.entries_ + at + 1,
                 (map.size_ - at - 1) * sizeof(PropertyMap::Entry));
    --map.size_;
  }
  store_->Delete(value);
  store_->Release(entry);
  return true;
}

void BindingProperty::ForEachField(
    const std::function<void(const char*, const BindingProperty&)>& visitor) const {
  if (kind_ != PropertyKind::Structure) return;
  for (const auto& [key, value] : *payload_.structure) visitor(key->text, value);
}

}  // namespace Corvan
