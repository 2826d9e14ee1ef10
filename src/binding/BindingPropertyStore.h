// The memory of one BindingProperty tree.
//
// A tree's root owns one store; every element and field of the tree borrows
// it. The store keeps
//   - an arena: objects of up to 2048 bytes are cut from 4096-byte blocks of
//     the thread's TreeBlockCache (the store itself lives at the start of its
//     first block), and a freed object waits on a list of its size class for
//     the next one of that class; larger objects take spans of the cache (or,
//     past its largest span, the heap) that the store keeps a list of. Once
//     the cache is warm a tree costs no heap allocation, and dropping the
//     store hands every block back without visiting the objects;
//   - the intern table: one counted copy of each distinct key text, so a field
//     name repeated in every element of a list is stored once;
//   - its own counted copies of value texts, which are rarely repeated and so
//     are not looked up (a copy inside the tree shares the copy).
// A null or empty text is never stored; it is the shared EmptyString().
//
//   - a memory budget (none unless set): taking a block or span past it
//     throws TreeMemoryBudgetExceeded, so a reader fed a body that would need
//     far more memory than its size stops with a message.
//
//   BindingPropertyStore* store = BindingPropertyStore::Create();
//   const InternedString* key = store->Intern("name");   // shared, counted
//   const InternedString* text = store->CopyText("clip");  // own, counted
//   store->Release(key), store->Release(text);
//   BindingPropertyStore::Destroy(store);
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace Corvan {

// One stored text: zero-terminated bytes, their length and the number of
// values and keys that refer to it. Keys also carry their hash and their
// first eight bytes as a big-endian number, which orders most keys in one
// comparison.
struct InternedString {
  std::uint64_t prefix;
  std::uint32_t length;
  std::uint32_t hash;
  std::uint32_t references;
  bool interned;  // an entry of the intern table (a key), not a value's copy
  char text[1];  // length + 1 bytes, allocated with the entry

  std::string_view View() const { return {text, length}; }
};

// A text to compare against keys: its bytes and their key prefix.
struct KeyProbe {
  std::uint64_t prefix;
  std::string_view text;
};

// The first eight bytes of a text as a big-endian number, zero-padded.
inline std::uint64_t KeyPrefix(std::string_view text) {
  const char* bytes = text.data();
  const std::size_t size = text.size();
  std::uint64_t word = 0;
  if (size >= 8) {
    std::memcpy(&word, bytes, 8);
  } else if (size >= 4) {
    // Two overlapping loads; the shared bytes agree.
    std::uint32_t low, high;
    std::memcpy(&low, bytes, 4);
    std::memcpy(&high, bytes + size - 4, 4);
    word = low | (std::uint64_t{high} << ((size - 4) * 8));
  } else {
    for (std::size_t i = 0; i < size; ++i)
      word |= std::uint64_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
  }
  if constexpr (std::endian::native == std::endian::little) return __builtin_bswap64(word);
  return word;
}
inline KeyProbe MakeKeyProbe(std::string_view text) { return {KeyPrefix(text), text}; }

// Compares a key with a probe by their bytes as unsigned characters
// (negative, zero or positive). Texts hold no zero byte, so equal prefixes of
// texts of up to eight bytes mean equal texts.
inline int CompareKey(const InternedString& key, const KeyProbe& probe) {
  if (key.prefix != probe.prefix) return key.prefix < probe.prefix ? -1 : 1;
  const std::size_t length = probe.text.size();
  if (key.length > 8 && length > 8) {
    const std::size_t common = (key.length < length ? key.length : length) - 8;
    const int order = std::memcmp(key.text + 8, probe.text.data() + 8, common);
    if (order != 0) return order;
  }
  return key.length < length ? -1 : key.length > length ? 1 : 0;
}

// Whether a key and a text of the same length, whose first eight bytes are
// known to agree, are equal. Keys of up to 16 bytes take one more load.
inline bool SameRest(const InternedString& key, std::string_view text) {
  const std::size_t length = text.size();
  if (length <= 8) return true;
  if (length <= 16) {
    std::uint64_t a, b;
    std::memcpy(&a, key.text + length - 8, 8);
    std::memcpy(&b, text.data() + length - 8, 8);
    return a == b;
  }
  return std::memcmp(key.text + 8, text.data() + 8, length - 8) == 0;
}

// Whether a key holds exactly the probe's text.
inline bool SameKeyText(const InternedString& key, const KeyProbe& probe) {
  return key.prefix == probe.prefix && key.length == probe.text.size() &&
         SameRest(key, probe.text);
}

// Thrown when a store would take memory past its budget.
class TreeMemoryBudgetExceeded : public std::bad_alloc {
 public:
  const char* what() const noexcept override { return "tree memory budget exceeded"; }
};

class BindingPropertyStore {
 public:
  // A store that lives in its first block; Destroy ends it.
  static BindingPropertyStore* Create();
  static void Destroy(BindingPropertyStore* store);

  // A store of its own (tests); it takes its first block on first use.
  BindingPropertyStore();
  ~BindingPropertyStore();
  BindingPropertyStore(const BindingPropertyStore&) = delete;
  BindingPropertyStore& operator=(const BindingPropertyStore&) = delete;

  // The shared entry of the empty text; it is never counted or freed.
  static const InternedString* EmptyString();

  // Returns the key entry of the text with one more reference, inserting it
  // when it is new. The bytes are copied only then.
  const InternedString* Intern(std::string_view text);
  // The same for a text whose key prefix is known.
  const InternedString* Intern(const KeyProbe& probe);
  // The same for a key entry of another store: its hash is reused.
  const InternedString* Intern(const InternedString& other);
  // A new copy of a value text, with one reference. Inline, as readers copy
  // most of a document's texts here.
  const InternedString* CopyText(std::string_view text) {
    if (text.empty()) return EmptyString();
    std::size_t bytes;
    InternedString* entry = NewText(text, bytes);
    entry->prefix = 0;
    entry->hash = 0;
    entry->interned = false;
    return entry;
  }
  // Takes one reference back; the entry is freed when none is left.
  void Release(const InternedString* entry);
  // Adds one reference to an entry of this store. Only the shared empty
  // text has no bytes, and it is not counted.
  static const InternedString* AddReference(const InternedString* entry) {
    if (entry->length != 0) ++const_cast<InternedString*>(entry)->references;
    return entry;
  }

  // Raw memory for an object of the given size (8-byte aligned). A small
  // object whose class has a free slot, or that fits the block being cut,
  // costs a few instructions inline.
  void* AllocateSlot(std::size_t size) {
    if (size == 0 || size > kSmallLimit) return AllocateSlotSlowly(size);
    const std::size_t sizeClass = (size + kGranule - 1) / kGranule;
    if (void* slot = freeLists_[sizeClass]) {
      freeLists_[sizeClass] = *static_cast<void**>(slot);
      return slot;
    }
    const std::size_t bytes = sizeClass * kGranule;
    if (static_cast<std::size_t>(limit_ - cursor_) < bytes) return AllocateSlotSlowly(size);
    void* slot = cursor_;
    cursor_ += bytes;
    return slot;
  }
  void FreeSlot(void* slot, std::size_t size);

  template <class T, class... Args>
  T* New(Args&&... args) {
    return ::new (AllocateSlot(sizeof(T))) T(std::forward<Args>(args)...);
  }
  template <class T>
  void Delete(T* object) {
    object->~T();
    FreeSlot(object, sizeof(T));
  }

  // Values that hold memory outside the store (blobs) count themselves here;
  // while none does, a tree can be dropped with its store unvisited.
  void AddOutsideHolder() { ++outsideHolders_; }
  void RemoveOutsideHolder() { --outsideHolders_; }
  bool HasOutsideHolders() const { return outsideHolders_ != 0; }

  // Number of distinct interned texts (for tests and statistics).
  std::size_t internedCount() const { return internedCount_; }
  // How many key entries have been freed so far: a caller that keeps key
  // entries without holding a reference knows them all alive while this
  // has not changed since it saw them in use.
  std::size_t keyErasures() const { return keyErasures_; }

  // The most memory (blocks and spans, in bytes) the store may take; 0 for
  // no limit.
  void SetBudget(std::size_t bytes) { budget_ = bytes; }
  std::size_t budget() const { return budget_; }
  // Bytes of blocks and spans the store holds now.
  std::size_t takenBytes() const { return taken_; }

 private:
  struct Block;
  struct LargeBlock;
  static constexpr std::size_t kGranule = 8;
  // Arena objects: up to 256 bytes in steps of 8, then up to 2048 in steps
  // of 256.
  static constexpr std::size_t kSmallLimit = 256;
  static constexpr std::size_t kArenaLimit = 2048;
  static constexpr std::size_t kSizeClasses = kSmallLimit / kGranule + kArenaLimit / kSmallLimit;

  static std::size_t SizeClass(std::size_t size);
  void* AllocateSlotSlowly(std::size_t size);
  static std::size_t ClassBytes(std::size_t sizeClass);
  void* TakeMemory(std::size_t bytes);
  void GiveMemory(void* memory, std::size_t bytes);
  void* AllocateLarge(std::size_t size);
  void FreeLarge(void* slot);
  void NewBlock();
  InternedString* NewText(std::string_view text, std::size_t& bytes) {
    bytes = offsetof(InternedString, text) + text.size() + 1;
    auto* entry = static_cast<InternedString*>(AllocateSlot(bytes));
    entry->length = static_cast<std::uint32_t>(text.size());
    entry->references = 1;
    std::memcpy(entry->text, text.data(), text.size());
    entry->text[text.size()] = '\0';
    return entry;
  }
  const InternedString* Intern(const KeyProbe& probe, std::uint32_t hash);
  static std::size_t RecentSlot(const KeyProbe& probe);
  void Erase(const InternedString* entry);
  void Rehash(std::size_t slotCount);

  char* cursor_ = nullptr;
  char* limit_ = nullptr;
  Block* blocks_ = nullptr;  // the blocks taken after the first
  bool inFirstBlock_ = false;  // Create placed the store in its first block
  void* freeLists_[kSizeClasses + 1] = {};
  LargeBlock* large_ = nullptr;
  InternedString** slots_ = nullptr;  // open addressing, linear probing
  // The keys interned last, in sets of two chosen by their prefix:
  // documents repeat the same few keys in every record, and a hit here skips
  // hashing and probing.
  static constexpr std::size_t kRecentKeys = 64;
  InternedString* recentKeys_[kRecentKeys] = {};
  std::size_t slotCount_ = 0;
  std::size_t internedCount_ = 0;
  std::size_t keyErasures_ = 0;
  std::size_t outsideHolders_ = 0;
  std::size_t budget_ = 0;
  std::size_t taken_ = 0;
};

// An allocator over a store's arena, for containers inside a tree.
template <class T>
class StoreAllocator {
 public:
  using value_type = T;

  explicit StoreAllocator(BindingPropertyStore* store) noexcept : store_(store) {}
  template <class U>
  StoreAllocator(const StoreAllocator<U>& other) noexcept : store_(other.store()) {}

  T* allocate(std::size_t count) {
    return static_cast<T*>(store_->AllocateSlot(count * sizeof(T)));
  }
  void deallocate(T* pointer, std::size_t count) noexcept {
    store_->FreeSlot(pointer, count * sizeof(T));
  }

  BindingPropertyStore* store() const noexcept { return store_; }
  template <class U>
  bool operator==(const StoreAllocator<U>& other) const noexcept {
    return store_ == other.store();
  }

 private:
  BindingPropertyStore* store_;
};

}  // namespace Corvan
