#include "binding/FlatBlock.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <new>

#include "binding/BindingRegistry.h"
#include "binding/FlatProperty.h"
#include "logging/Allocation.h"

namespace Corvan {
namespace {

struct alignas(8) BlockHeader {
  std::atomic<std::uint32_t> holders;
  std::uint32_t bytes;
};

BlockHeader* HeaderOf(const void* content) {
  return reinterpret_cast<BlockHeader*>(const_cast<char*>(static_cast<const char*>(content)) -
                                        sizeof(BlockHeader));
}

const void* ContentOf(const FlatProperty& root) {
  switch (root.kind) {
    case FLAT_STRING_BORROWED: return root.value.string.data;
    case FLAT_BLOB_BORROWED: return root.value.blob.data;
    case FLAT_ARRAY: return root.value.array.items;
    case FLAT_OBJECT: return root.value.object.entries;
    default: return nullptr;
  }
}

// Keys repeat (every record of a list has the same ones), so each key text
// of the tree is placed once per stretch of keys that do not collide here.
class KeyTexts {
 public:
  // The text placed for the key before, or null (and the key is noted).
  const char* Find(const InternedString* key) {
    Slot& slot = slots_[(reinterpret_cast<std::uintptr_t>(key) >> 4) % kSlots];
    if (slot.key == key) return slot.text;
    slot.key = key;
    slot.text = nullptr;
    return nullptr;
  }
  void Place(const InternedString* key, const char* text) {
    slots_[(reinterpret_cast<std::uintptr_t>(key) >> 4) % kSlots].text = text;
  }

 private:
  static constexpr std::size_t kSlots = 64;
  struct Slot {
    const InternedString* key = nullptr;
    const char* text = nullptr;
  };
  Slot slots_[kSlots];
};

// One walk over the tree, in two passes: the first counts the bytes of the
// arrays and entries ("nodes") and of the copied texts, the second (with the
// block) places them. Both make the same decisions in the same order.
class BlockWriter {
 public:
  BlockWriter(const BindingRegistry* registry, FlatTexts texts)
      : registry_(registry), copy_(texts == FlatTexts::Copied) {}

  // The first pass.
  void Measure(const BindingProperty& value, bool root) { Walk(value, nullptr, root); }
  std::size_t ContentBytes() const { return nodeBytes_ + textBytes_; }

  // The second pass, into content of ContentBytes() bytes.
  void Write(const BindingProperty& value, char* content, FlatProperty& root) {
    nodes_ = content;
    texts_ = content + nodeBytes_;
    keys_ = KeyTexts();
    Walk(value, &root, true);
  }

 private:
  // With `out` null only counts; else also writes.
  void Walk(const BindingProperty& value, FlatProperty* out, bool root) {
    switch (value.kind()) {
      case PropertyKind::String: {
        const std::string_view text = value.GetStringView();
        Text(FLAT_STRING_BORROWED, text.data(), text.size(), out, copy_ || root);
        break;
      }
      case PropertyKind::Blob: {
        const auto bytes = value.GetBlob();
        Text(FLAT_BLOB_BORROWED, bytes.data(), bytes.size(), out, copy_ || root);
        break;
      }
      case PropertyKind::Enum: Enum(value.GetEnum(), out, root); break;
      case PropertyKind::Collection: Collection(value, out); break;
      case PropertyKind::Structure: Structure(value, out); break;
      default:
        if (out != nullptr) *out = ScalarFlatProperty(value);
        break;
    }
  }


  void Text(std::uint32_t kind, const void* bytes, std::size_t length, FlatProperty* out, bool copy) {
    if (out == nullptr) {
      if (copy) textBytes_ += length + 1;
      return;
    }
    const char* data = static_cast<const char*>(bytes);
    if (copy) data = PlaceText(data, length);
    out->kind = kind;
    out->value.string.data = data;
    out->value.string.length = static_cast<std::uint32_t>(length);
  }

  const char* PlaceText(const char* bytes, std::size_t length) {
    char* text = texts_;
    if (length != 0) std::memcpy(text, bytes, length);
    text[length] = '\0';
    texts_ += length + 1;
    return text;
  }

  void Enum(const EnumValue& value, FlatProperty* out, bool root) {
    const BindingTypeDescriptor* type =
        registry_ != nullptr ? registry_->FindTypeByHash(value.typeHash) : nullptr;
    const char* name = type != nullptr ? type->EnumeratorName(value.value) : nullptr;
    if (name != nullptr) return Text(FLAT_STRING_BORROWED, name, std::strlen(name), out, copy_ || root);
    if (out == nullptr) return;
    out->kind = FLAT_INT64;
    out->value.int64 = value.value;
  }

  void Collection(const BindingProperty& value, FlatProperty* out) {
    const auto elements = value.Elements();
    FlatProperty* items = nullptr;
    if (out == nullptr) {
      nodeBytes_ += elements.size() * sizeof(FlatProperty);
    } else {
      items = reinterpret_cast<FlatProperty*>(nodes_);
      nodes_ += elements.size() * sizeof(FlatProperty);
      out->kind = FLAT_ARRAY;
      out->value.array.items = items;
      out->value.array.count = static_cast<std::uint32_t>(elements.size());
    }
    for (std::size_t i = 0; i < elements.size(); ++i) {
      Walk(elements[i], items != nullptr ? &items[i] : nullptr, false);
    }
  }

  void Structure(const BindingProperty& value, FlatProperty* out) {
    const PropertyMap& fields = *value.Fields();
    FlatPropertyEntry* entries = nullptr;
    if (out == nullptr) {
      nodeBytes_ += fields.size() * sizeof(FlatPropertyEntry);
    } else {
      entries = reinterpret_cast<FlatPropertyEntry*>(nodes_);
      nodes_ += fields.size() * sizeof(FlatPropertyEntry);
      out->kind = FLAT_OBJECT;
      out->value.object.entries = entries;
      out->value.object.count = static_cast<std::uint32_t>(fields.size());
    }
    std::size_t i = 0;
    for (const auto& [key, field] : fields) {
      const char* keyText = Key(key, entries != nullptr);
      if (entries == nullptr) {
        Walk(field, nullptr, false);
        continue;
      }
      FlatProperty flat{};
      Walk(field, &flat, false);
      entries[i].key = const_cast<char*>(keyText);
      entries[i].ownsKey = 0;
      SetEntryValue(entries[i], flat);
      ++i;
    }
  }

  // The key's text in the block (or the tree's, when borrowed).
  const char* Key(const InternedString* key, bool writing) {
    if (!copy_) return key->text;
    if (const char* placed = keys_.Find(key)) return placed;
    if (!writing) {
      keys_.Place(key, key->text);  // any non-null mark will do while counting
      textBytes_ += key->length + 1;
      return nullptr;
    }
    const char* text = PlaceText(key->text, key->length);
    keys_.Place(key, text);
    return text;
  }

  const BindingRegistry* registry_;
  bool copy_;
  std::size_t nodeBytes_ = 0;
  std::size_t textBytes_ = 0;
  char* nodes_ = nullptr;
  char* texts_ = nullptr;
  KeyTexts keys_;
};

}  // namespace

FlatProperty BuildFlatBlock(const BindingProperty& value, const BindingRegistry* registry,
                            FlatTexts texts) {
  FlatProperty root{};
  BlockWriter writer(registry, texts);
  writer.Measure(value, true);
  const PropertyKind kind = value.kind();
  const bool needsBlock = kind == PropertyKind::String || kind == PropertyKind::Blob ||
                          kind == PropertyKind::Collection || kind == PropertyKind::Structure ||
                          writer.ContentBytes() != 0;
  if (!needsBlock) {
    writer.Write(value, nullptr, root);
    return root;
  }
  const std::size_t bytes = sizeof(BlockHeader) + writer.ContentBytes();
  void* memory = Allocate(bytes);
  if (memory == nullptr) throw std::bad_alloc();
  auto* header = ::new (memory) BlockHeader{{1}, static_cast<std::uint32_t>(bytes)};
  writer.Write(value, reinterpret_cast<char*>(header + 1), root);
  return root;
}

bool HasFlatBlock(const FlatProperty& root) { return ContentOf(root) != nullptr; }

void HoldFlatBlock(const FlatProperty& root) {
  if (const void* content = ContentOf(root)) {
    HeaderOf(content)->holders.fetch_add(1, std::memory_order_relaxed);
  }
}

void ReleaseFlatBlock(FlatProperty& root) {
  if (const void* content = ContentOf(root)) {
    BlockHeader* header = HeaderOf(content);
    if (header->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      header->~BlockHeader();
      Free(header);
    }
  }
  std::memset(&root, 0, sizeof root);
}

}  // namespace Corvan
