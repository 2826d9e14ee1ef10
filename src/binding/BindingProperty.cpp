#include "binding/BindingProperty.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <utility>

#include "binding/CutAtZero.h"

namespace Corvan {


const char* PropertyKindName(std::uint8_t code) {
  static const char* const kNames[] = {"empty",  "bool", "signed", "unsigned",   "float",
                                       "string", "blob", "enum",   "collection", "structure"};
  return code < std::size(kNames) ? kNames[code] : "";
}

const BindingProperty& BindingProperty::EmptyValue() {
  static const BindingProperty empty;
  return empty;
}

// ---- Lifetime ---------------------------------------------------------------

BindingProperty::~BindingProperty() {
  if (root_)
    DropTree();
  else
    Release();
}

// Everything a tree holds but blobs lives in the store's memory, which the
// store frees as a whole.
void BindingProperty::DropTree() {
  if (store_ != nullptr && !store_->HasOutsideHolders()) {
    payload_.raw = 0;
    kind_ = PropertyKind::Empty;
  } else {
    Release();
  }
  BindingPropertyStore::Destroy(store_);
  store_ = nullptr;
}

BindingProperty::BindingProperty(const BindingProperty& other) { CopyFrom(other); }

BindingProperty::BindingProperty(BindingProperty&& other) {
  if (other.root_) {
    TakePayload(other);
    std::swap(store_, other.store_);
  } else {
    CopyFrom(other);
    other.Release();
  }
}

BindingProperty& BindingProperty::operator=(const BindingProperty& other) {
  if (this == &other) return *this;
  if (store_ != nullptr && store_ == other.store_) {
    // The source may lie inside this value: copy it aside within the same
    // store before releasing what this value holds.
    BindingProperty copy(store_, ChildTag{});
    copy.CopyFrom(other);
    Release();
    TakePayload(copy);
    return *this;
  }
  Release();
  CopyFrom(other);
  return *this;
}

BindingProperty& BindingProperty::operator=(BindingProperty&& other) {
  if (this == &other) return *this;
  if (root_ && other.root_) {
    std::swap(payload_, other.payload_);
    std::swap(kind_, other.kind_);
    std::swap(store_, other.store_);
    other.DropTree();
  } else if (store_ != nullptr && store_ == other.store_) {
    // Same tree: the store's objects stay valid, so the payload just moves.
    BindingProperty held(store_, ChildTag{});
    held.TakePayload(other);
    Release();
    TakePayload(held);
  } else {
    *this = static_cast<const BindingProperty&>(other);
    other.Release();
  }
  return *this;
}

// Takes the payload of a value of the same store (or of a root whose store
// the caller takes as well), leaving the source empty. This value must be
// empty.
void BindingProperty::TakePayload(BindingProperty& source) {
  payload_ = source.payload_;
  kind_ = source.kind_;
  source.payload_.raw = 0;
  source.kind_ = PropertyKind::Empty;
}

BindingPropertyStore& BindingProperty::Store() {
  if (store_ == nullptr) store_ = BindingPropertyStore::Create();
  return *store_;
}

void BindingProperty::SetMemoryBudget(std::size_t bytes) {
  if (root_) Store().SetBudget(bytes);
}

void BindingProperty::Release() {
  switch (kind_) {
    case PropertyKind::String:
      // The empty text may be held by a value that never needed a store.
      if (payload_.string != BindingPropertyStore::EmptyString()) store_->Release(payload_.string);
      break;
    case PropertyKind::Blob:
      store_->Delete(payload_.blob);
      store_->RemoveOutsideHolder();
      break;
    case PropertyKind::Enum: store_->Delete(payload_.enumValue); break;
    case PropertyKind::Collection: ReleaseCollection(); break;
    case PropertyKind::Structure: ReleaseStructure(); break;
    case PropertyKind::Empty:
    case PropertyKind::Bool:
    case PropertyKind::Signed:
    case PropertyKind::Unsigned:
    case PropertyKind::Float: break;
  }
  payload_.raw = 0;
  kind_ = PropertyKind::Empty;
}

void BindingProperty::ReleaseCollection() {
  PropertyVector* vector = payload_.collection;
  for (std::uint32_t i = 0; i < vector->size; ++i) vector->data[i].~BindingProperty();
  store_->FreeSlot(vector->data, vector->capacity * sizeof(BindingProperty));
  store_->Delete(vector);
}

void BindingProperty::ReleaseStructure() {
  PropertyMap* map = payload_.structure;
  const auto release = [this](const InternedString* key, BindingProperty* value) {
    store_->Delete(value);
    store_->Release(key);
  };
  if (map->tree_ != nullptr) {
    for (auto& [key, value] : *map->tree_) release(key, value);
    store_->Delete(map->tree_);
  }
  for (std::uint32_t i = 0; i < map->size_; ++i)
    release(map->entries_[i].key, map->entries_[i].value);
  store_->FreeSlot(map->entries_, map->capacity_ * sizeof(PropertyMap::Entry));
  store_->Delete(map);
}

// ---- Setters ----------------------------------------------------------------

void BindingProperty::SetEmpty() {
  if (root_)
    DropTree();
  else
    Release();
}

void BindingProperty::SetString(const char* text) {
  SetString(std::string_view(text != nullptr ? text : ""));
}

void BindingProperty::SetString(std::string_view text) { SetZeroFreeString(CutAtZero(text)); }

void BindingProperty::SetZeroFreeString(std::string_view text) {
  // Copy before releasing: the text may be this value's own string.
  const InternedString* entry =
      text.empty() ? BindingPropertyStore::EmptyString() : Store().CopyText(text);
  ReleaseHeld();
  kind_ = PropertyKind::String;
  payload_.string = entry;
}

void BindingProperty::SetBlob(std::vector<std::uint8_t>&& bytes) {
  auto* blob = Store().New<std::vector<std::uint8_t>>(std::move(bytes));
  store_->AddOutsideHolder();
  bytes.clear();
  Release();
  kind_ = PropertyKind::Blob;
  payload_.blob = blob;
}

void BindingProperty::SetEnum(std::int32_t value, std::uint32_t typeHash) {
  auto* record = Store().New<EnumValue>(EnumValue{value, typeHash});
  Release();
  kind_ = PropertyKind::Enum;
  payload_.enumValue = record;
}

void BindingProperty::MakeCollection(std::size_t reserve) {
  if (kind_ != PropertyKind::Collection) {
    auto* vector = Store().New<PropertyVector>();
    ReleaseHeld();
    kind_ = PropertyKind::Collection;
    payload_.collection = vector;
  }
  if (reserve > payload_.collection->capacity) Grow(reserve);
}

void BindingProperty::MakeStructure(std::size_t reserve) {
  if (kind_ != PropertyKind::Structure) {
    auto* map = Store().New<PropertyMap>();
    ReleaseHeld();
    kind_ = PropertyKind::Structure;
    payload_.structure = map;
  }
  PropertyMap& map = *payload_.structure;
  if (map.tree_ == nullptr && reserve > map.capacity_) ReserveFields(map, reserve);
}

// Values hold no pointer to themselves, so moving their bytes to a new array
// relocates them; no value is copied or destroyed on the way.
void BindingProperty::Grow(std::size_t capacity) {
  PropertyVector* vector = payload_.collection;
  auto* data =
      static_cast<BindingProperty*>(store_->AllocateSlot(capacity * sizeof(BindingProperty)));
  if (vector->size != 0) {
    std::memcpy(static_cast<void*>(data), static_cast<const void*>(vector->data),
                vector->size * sizeof(BindingProperty));
  }
  store_->FreeSlot(vector->data, vector->capacity * sizeof(BindingProperty));
  vector->data = data;
  vector->capacity = static_cast<std::uint32_t>(capacity);
}

// ---- Getters ----------------------------------------------------------------

bool BindingProperty::GetBool(bool fallback) const {
  return kind_ == PropertyKind::Bool ? payload_.boolean : fallback;
}

std::int64_t BindingProperty::GetSigned(std::int64_t fallback) const {
  return kind_ == PropertyKind::Signed ? payload_.signedValue : fallback;
}

std::uint64_t BindingProperty::GetUnsigned(std::uint64_t fallback) const {
  return kind_ == PropertyKind::Unsigned ? payload_.unsignedValue : fallback;
}

double BindingProperty::GetFloat(double fallback) const {
  return kind_ == PropertyKind::Float ? payload_.floatValue : fallback;
}

const char* BindingProperty::GetString(const char* fallback) const {
  return kind_ == PropertyKind::String ? payload_.string->text : fallback;
}

std::string_view BindingProperty::GetStringView() const {
  return kind_ == PropertyKind::String ? payload_.string->View() : std::string_view();
}

std::span<const std::uint8_t> BindingProperty::GetBlob() const {
  if (kind_ != PropertyKind::Blob) return {};
  return {payload_.blob->data(), payload_.blob->size()};
}

EnumValue BindingProperty::GetEnum(EnumValue fallback) const {
  return kind_ == PropertyKind::Enum ? *payload_.enumValue : fallback;
}

std::size_t BindingProperty::Size() const {
  switch (kind_) {
    case PropertyKind::Empty: return 0;
    case PropertyKind::String: return payload_.string->length;
    case PropertyKind::Blob: return payload_.blob->size();
    case PropertyKind::Collection: return payload_.collection->size;
    case PropertyKind::Structure: return payload_.structure->size();
    case PropertyKind::Bool:
    case PropertyKind::Signed:
    case PropertyKind::Unsigned:
    case PropertyKind::Float:
    case PropertyKind::Enum: return 1;
  }
  return 1;
}

// ---- Collections and structures ----------------------------------------------

BindingProperty& BindingProperty::Element(std::size_t index) {
  if (kind_ != PropertyKind::Collection) MakeCollection();
  PropertyVector* vector = payload_.collection;
  if (index >= vector->size) {
    if (index >= vector->capacity) Grow(std::max<std::size_t>(index + 1, vector->capacity * 2));
    for (std::size_t i = vector->size; i <= index; ++i) {
      ::new (&vector->data[i]) BindingProperty(store_, ChildTag{});
    }
    vector->size = static_cast<std::uint32_t>(index + 1);
  }
  return vector->data[index];
}

const BindingProperty& BindingProperty::Element(std::size_t index) const {
  if (kind_ != PropertyKind::Collection || index >= payload_.collection->size) return EmptyValue();
  return payload_.collection->data[index];
}

std::span<BindingProperty> BindingProperty::Elements() {
  if (kind_ != PropertyKind::Collection) return {};
  return {payload_.collection->data, payload_.collection->size};
}

std::span<const BindingProperty> BindingProperty::Elements() const {
  if (kind_ != PropertyKind::Collection) return {};
  return {payload_.collection->data, payload_.collection->size};
}

// ---- Deep copy --------------------------------------------------------------

void BindingProperty::CopyFrom(const BindingProperty& source) {
  switch (source.kind_) {
    case PropertyKind::Empty: SetEmpty(); break;
    case PropertyKind::Bool:
    case PropertyKind::Signed:
    case PropertyKind::Unsigned:
    case PropertyKind::Float:
      Release();
      kind_ = source.kind_;
      payload_ = source.payload_;
      break;
    case PropertyKind::String: {
      // Within one store the text is shared; another store gets a copy.
      const InternedString* entry = source.payload_.string;
      if (entry != BindingPropertyStore::EmptyString()) {
        entry = source.store_ == store_ ? BindingPropertyStore::AddReference(entry)
                                        : Store().CopyText(entry->View());
      }
      Release();
      kind_ = PropertyKind::String;
      payload_.string = entry;
      break;
    }
    case PropertyKind::Blob: SetBlob(std::vector<std::uint8_t>(*source.payload_.blob)); break;
    case PropertyKind::Enum:
      SetEnum(source.payload_.enumValue->value, source.payload_.enumValue->typeHash);
      break;
    case PropertyKind::Collection: CopyCollection(source); break;
    case PropertyKind::Structure: CopyStructure(source); break;
  }
}

void BindingProperty::CopyCollection(const BindingProperty& source) {
  const PropertyVector& from = *source.payload_.collection;
  MakeCollection(from.size);
  for (std::uint32_t i = 0; i < from.size; ++i) Append().CopyFrom(from.data[i]);
}

void BindingProperty::CopyStructure(const BindingProperty& source) {
  const PropertyMap& from = *source.payload_.structure;
  MakeStructure(from.size());
  // Source keys arrive in order, so each new key is appended (or, in a tree
  // that already holds fields, found or inserted).
  for (const auto& [key, value] : from) {
    Field(key->View()).CopyFrom(value);
  }
}

// ---- BindingResult ----------------------------------------------------------

void BindingResult::Reset() {
  property.SetEmpty();
  success = true;
}

void BindingResult::ReportError(std::string_view message) {
  // Built aside first: the message may be the text this result holds.
  BindingProperty error;
  error.Field("error").SetString(message);
  property = std::move(error);
  success = false;
}

const char* BindingResult::ErrorText() const {
  if (success) return "";
  const BindingProperty* error = property.FindField("error");
  return error != nullptr ? error->GetString("") : "";
}

}  // namespace Corvan
