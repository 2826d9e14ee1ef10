// BindingProperty: the dynamic value of the binding layer.
//
// Every request body, response value, event payload and "object" field is a
// tree of BindingProperty values. A value is small (an 8-byte payload, a
// store pointer and two bytes); scalars live inline; strings, blobs, enums,
// collections and structures are objects of the tree's store, whose keys are
// interned.
//
// A value constructed on its own is a root: it owns the store of its tree.
// Elements and fields are created inside their parent with the parent's
// store and are never destroyed alone. Copies are deep; moving a root into a
// root swaps them in constant time. A root that is destroyed or emptied frees
// its store's memory at once, without visiting its values, unless a blob
// (which holds heap memory of its own) is among them.
//
//   BindingProperty list;
//   BindingProperty& first = list.Element(0);   // list becomes a collection
//   first.Field("name").SetString("clip");      // first becomes a structure
//
// Structure fields iterate in the byte order of their keys, not insertion
// order. Walks over a tree (release, copy, flattening) recurse once per
// level: code that builds trees from outside input refuses input nested more
// than kMaxTreeDepth levels deep, and other code must stay below it as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "binding/BindingPropertyStore.h"
#include "binding/StaticType.h"

namespace Corvan {

// The deepest nesting a tree built from outside input may have.
inline constexpr std::size_t kMaxTreeDepth = 512;

enum class PropertyKind : std::uint8_t {
  Empty = 0,
  Bool = 1,
  Signed = 2,
  Unsigned = 3,
  Float = 4,
  String = 5,
  Blob = 6,
  Enum = 7,
  Collection = 8,
  Structure = 9,
};

// The name messages use for a kind code: "empty" ... "structure", "" past 9.
const char* PropertyKindName(std::uint8_t code);
inline const char* PropertyKindName(PropertyKind kind) {
  return PropertyKindName(static_cast<std::uint8_t>(kind));
}

// The payload of an enum value: the number and the identity hash of its type.
struct EnumValue {
  std::int32_t value = 0;
  std::uint32_t typeHash = 0;
};

class BindingProperty;

// The key order of the large structures' trees.
struct KeyOrder {
  using is_transparent = void;
  bool operator()(const InternedString* a, const InternedString* b) const {
    return CompareKey(*a, {b->prefix, b->View()}) < 0;
  }
  bool operator()(const InternedString* a, const KeyProbe& b) const {
    return CompareKey(*a, b) < 0;
  }
  bool operator()(const KeyProbe& a, const InternedString* b) const {
    return CompareKey(*b, a) > 0;
  }
};

// The fields of a structure in the byte order of their keys. Each value is
// an object of the store of its own, so a reference to a field stays valid
// while other fields come and go. Fields are kept in a sorted array (a key
// that sorts last, as in copies and in most documents, is appended); a
// structure that grows past kFlatFields fields and then takes a key out of
// order moves them into an ordered tree, so that no input makes inserting
// quadratic.
//
//   for (const auto& [key, value] : *property.Fields()) Use(key->text, value);
class PropertyMap {
 public:
  struct Entry {
    const InternedString* key;
    BindingProperty* value;
  };
  // What iteration yields (the names of a map's pairs).
  struct FieldRef {
    const InternedString* first;
    const BindingProperty& second;
  };
  using Tree = std::map<const InternedString*, BindingProperty*, KeyOrder,
                        StoreAllocator<std::pair<const InternedString* const, BindingProperty*>>>;

  class Iterator {
   public:
    using value_type = FieldRef;
    using difference_type = std::ptrdiff_t;
    Iterator() = default;
    FieldRef operator*() const {
      return inTree_ ? FieldRef{node_->first, *node_->second}
                     : FieldRef{entry_->key, *entry_->value};
    }
    Iterator& operator++() {
      if (inTree_)
        ++node_;
      else
        ++entry_;
      return *this;
    }
    Iterator operator++(int) {
      Iterator before = *this;
      ++*this;
      return before;
    }
    bool operator==(const Iterator& other) const {
      return inTree_ ? node_ == other.node_ : entry_ == other.entry_;
    }

   private:
    friend class PropertyMap;
    explicit Iterator(const Entry* entry) : entry_(entry) {}
    explicit Iterator(Tree::const_iterator node) : node_(node), inTree_(true) {}
    const Entry* entry_ = nullptr;
    Tree::const_iterator node_{};
    bool inTree_ = false;
  };

  // Past this many fields an insertion out of order moves them into a tree.
  static constexpr std::uint32_t kFlatFields = 64;

  std::size_t size() const { return tree_ != nullptr ? tree_->size() : size_; }
  bool empty() const { return size() == 0; }
  Iterator begin() const {
    return tree_ != nullptr ? Iterator(tree_->cbegin()) : Iterator(entries_);
  }
  Iterator end() const {
    return tree_ != nullptr ? Iterator(tree_->cend()) : Iterator(entries_ + size_);
  }

 private:
  friend class BindingProperty;
  Entry* entries_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = 0;
  Tree* tree_ = nullptr;
};

// Where Field() found or added a key in a structure's sorted array of
// fields: the shared key entry, its index, and whether the field was new.
// No member has a default, so that arrays of places cost nothing until used.
struct FieldPlace {
  const InternedString* key;
  std::uint32_t index;
  bool added;
};

// The elements of a collection: a growable array that relocates its values
// bitwise, since a value holds nothing that refers back to its own address.
struct PropertyVector {
  BindingProperty* data = nullptr;
  std::uint32_t size = 0;
  std::uint32_t capacity = 0;
};

class BindingProperty {
  struct ChildTag {};

 public:
  BindingProperty() = default;
  ~BindingProperty();
  BindingProperty(const BindingProperty& other);
  BindingProperty(BindingProperty&& other);
  BindingProperty& operator=(const BindingProperty& other);
  BindingProperty& operator=(BindingProperty&& other);

  // An element or field of a tree; only containers of a tree create these.
  BindingProperty(BindingPropertyStore* store, ChildTag) : store_(store), root_(false) {}

  PropertyKind kind() const { return kind_; }
  bool IsRoot() const { return root_; }
  bool IsEmpty() const { return kind_ == PropertyKind::Empty; }

  // Setters release what the value held first. The scalar ones are inline:
  // readers set most values of a document through them.
  void SetEmpty();
  void SetBool(bool value) { SetScalar(PropertyKind::Bool).boolean = value; }
  void SetSigned(std::int64_t value) { SetScalar(PropertyKind::Signed).signedValue = value; }
  void SetSigned(std::int32_t value) { SetSigned(static_cast<std::int64_t>(value)); }
  void SetUnsigned(std::uint64_t value) { SetScalar(PropertyKind::Unsigned).unsignedValue = value; }
  void SetUnsigned(std::uint32_t value) { SetUnsigned(static_cast<std::uint64_t>(value)); }
  void SetFloat(double value) { SetScalar(PropertyKind::Float).floatValue = value; }
  // Sets a string; a null text is the empty text. Bytes past the first zero
  // byte are not part of the text.
  void SetString(const char* text);
  void SetString(std::string_view text);
  void SetString(const std::string& text) { SetString(std::string_view(text)); }
  // Sets a string whose source cannot hold a zero byte (a reader's text that
  // its parser has checked), without looking for one.
  void SetZeroFreeString(std::string_view text);
  // Takes over the bytes; the source vector is left empty.
  void SetBlob(std::vector<std::uint8_t>&& bytes);
  void SetEnum(std::int32_t value, std::uint32_t typeHash);
  // Becomes an empty collection unless it already is one; reserves room.
  void MakeCollection(std::size_t reserve = 0);
  // Becomes an empty structure unless it already is one; reserves room for
  // that many fields.
  void MakeStructure(std::size_t reserve = 0);

  // Typed getters return the default when the kind differs; none converts.
  bool GetBool(bool fallback = false) const;
  std::int64_t GetSigned(std::int64_t fallback = 0) const;
  std::uint64_t GetUnsigned(std::uint64_t fallback = 0) const;
  double GetFloat(double fallback = 0.0) const;
  // The text of a string value (zero-terminated), or the fallback.
  const char* GetString(const char* fallback = "") const;
  std::string_view GetStringView() const;
  // The bytes of a blob value, or none.
  std::span<const std::uint8_t> GetBlob() const;
  EnumValue GetEnum(EnumValue fallback = {}) const;

  // Empty 0; string and blob their bytes; collection and structure their
  // entries; every other kind 1.
  std::size_t Size() const;

  // Element i, making the value a collection and appending empty elements
  // until the index exists.
  BindingProperty& Element(std::size_t index);
  // Element i of a collection, or the shared empty value.
  const BindingProperty& Element(std::size_t index) const;
  // Appends an empty element (the value becomes a collection).
  BindingProperty& Append() { return Element(Size0()); }
  // The elements of a collection in index order (none for other kinds).
  std::span<BindingProperty> Elements();
  std::span<const BindingProperty> Elements() const;

  // The field of that key, inserting an empty one (the value becomes a
  // structure).
  BindingProperty& Field(std::string_view key);
  // The same, telling where the key's field sits in a structure that keeps
  // its fields in a sorted array (`place.key` stays null otherwise).
  BindingProperty& Field(std::string_view key, FieldPlace& place);
  // The field at a place Field() reported for another structure of this
  // tree. Only for a structure that holds exactly the keys the other one
  // held when its field was found or added there: it then belongs at the
  // same index, and neither the intern lookup nor the search is needed.
  BindingProperty& FieldAt(const FieldPlace& place) {
    // The usual case, a key the other structure added, is inline: records
    // read by the thousand take every field here.
    if (kind_ == PropertyKind::Structure && place.added && place.key != nullptr) {
      PropertyMap& map = *payload_.structure;
      if (map.tree_ == nullptr && place.index <= map.size_) {
        return *NewField(map, place.index, BindingPropertyStore::AddReference(place.key));
      }
    }
    return FieldAtSlowly(place);
  }
  BindingProperty& Field(const char* key) { return Field(std::string_view(key ? key : "")); }
  BindingProperty& Field(const std::string& key) { return Field(std::string_view(key)); }
  // The field of that key in a structure, or null; inserts nothing.
  const BindingProperty* FindField(const char* key) const;
  BindingProperty* FindField(const char* key);
  // Removes the field of that key from a structure; true when one was there.
  bool RemoveField(const char* key);
  // Calls the visitor with (key, value) for every field, in key order.
  void ForEachField(const std::function<void(const char*, const BindingProperty&)>& visitor) const;
  // The structure's map (null for other kinds), for callers that iterate.
  const PropertyMap* Fields() const {
    return kind_ == PropertyKind::Structure ? payload_.structure : nullptr;
  }
  // The store of this value's tree; null for a root that has held nothing.
  const BindingPropertyStore* TreeStore() const { return store_; }

  // Limits the memory a root's tree may take (blocks and spans of its
  // store, in bytes; 0 for no limit): past it, the operation that needs more
  // throws TreeMemoryBudgetExceeded. Elements and fields ignore it.
  void SetMemoryBudget(std::size_t bytes);

  // The shared empty value returned by read-only lookups.
  static const BindingProperty& EmptyValue();

 private:
  union Payload {
    bool boolean;
    std::int64_t signedValue;
    std::uint64_t unsignedValue;
    double floatValue;
    const InternedString* string;
    std::vector<std::uint8_t>* blob;
    EnumValue* enumValue;
    PropertyVector* collection;
    PropertyMap* structure;
    std::uint64_t raw;
  };

  BindingPropertyStore& Store();
  // Releases what the value held and takes the scalar kind; the caller
  // writes the payload.
  Payload& SetScalar(PropertyKind kind) {
    ReleaseHeld();
    kind_ = kind;
    return payload_;
  }
  std::size_t Size0() const {
    return kind_ == PropertyKind::Collection ? payload_.collection->size : 0;
  }
  void Release();
  // Release for the kinds that hold anything; scalars only change kind.
  void ReleaseHeld() {
    if (kind_ >= PropertyKind::String) Release();
  }
  void ReleaseCollection();
  void ReleaseStructure();
  void DropTree();
  BindingProperty& FieldAtSlowly(const FieldPlace& place);
  BindingProperty* NewField(PropertyMap& map, std::size_t at, const InternedString* key);
  BindingProperty& TreeField(PropertyMap& map, const KeyProbe& probe);
  void ReserveFields(PropertyMap& map, std::size_t capacity);
  void MoveFieldsToTree(PropertyMap& map);
  void CopyFrom(const BindingProperty& source);
  void CopyCollection(const BindingProperty& source);
  void CopyStructure(const BindingProperty& source);
  void Grow(std::size_t capacity);
  void TakePayload(BindingProperty& source);

  Payload payload_{.raw = 0};
  BindingPropertyStore* store_ = nullptr;
  PropertyKind kind_ = PropertyKind::Empty;
  bool root_ = true;
};

// A value with a success flag; conversions and readers report into one.
// On failure the value is the structure {"error": message}.
struct BindingResult {
  BindingProperty property;
  bool success = true;

  // Clears the value and marks success again.
  void Reset();
  // Replaces the value with {"error": message} and marks failure.
  void ReportError(std::string_view message);
  // The failure's message, or "" when the result succeeded.
  const char* ErrorText() const;
};

}  // namespace Corvan

KYN_TYPE_TEXT(Corvan::BindingProperty, "class Corvan::BindingProperty")
