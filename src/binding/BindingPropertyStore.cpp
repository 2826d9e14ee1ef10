#include "binding/BindingPropertyStore.h"

#include <algorithm>
#include <cstdlib>

#include "binding/TreeBlockCache.h"

namespace Corvan {

namespace {
// Loads up to eight bytes, zero-padded, in memory order.
std::uint64_t LoadWord(const char* bytes, std::size_t count) {
  std::uint64_t word = 0;
  std::memcpy(&word, bytes, count < 8 ? count : 8);
  return word;
}

// The intern hash. Keys of up to 16 bytes, nearly all of them, are hashed
// from their prefix and their last eight bytes; longer ones eight bytes per
// step. Nothing outside the store sees it (the field name hashes of the
// bindings are FNV-1a, computed elsewhere).
constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;

std::uint32_t Finish(std::uint64_t hash) {
  hash ^= hash >> 29;
  return static_cast<std::uint32_t>((hash * kMultiplier) >> 32);
}

std::uint32_t TextHash(const KeyProbe& probe) {
  const std::string_view text = probe.text;
  std::uint64_t hash = (text.size() + 1) * kMultiplier ^ probe.prefix;
  if (text.size() <= 16) {
    const std::uint64_t last = text.size() > 8 ? LoadWord(text.data() + text.size() - 8, 8) : 0;
    return Finish((hash * kMultiplier ^ last) * kMultiplier);
  }
  hash *= kMultiplier;
  const char* bytes = text.data() + 8;
  for (std::size_t left = text.size() - 8; left != 0;) {
    const std::size_t step = left < 8 ? left : 8;
    hash = (hash ^ LoadWord(bytes, step)) * kMultiplier;
    hash ^= hash >> 29;
    bytes += step;
    left -= step;
  }
  return Finish(hash * kMultiplier);
}

constexpr std::size_t kTextHeader = offsetof(InternedString, text);
constexpr std::size_t kInitialSlots = 16;
}  // namespace

// ---- Arena ------------------------------------------------------------------

// A block's bytes follow its link.
struct BindingPropertyStore::Block {
  Block* next;
  std::size_t padding;  // keeps the bytes 16-byte aligned
};

// A span or heap block of a large object, linked so that the store frees
// what the tree never gave back.
struct BindingPropertyStore::LargeBlock {
  LargeBlock* previous;
  LargeBlock* next;
  std::size_t bytes;
  std::size_t padding;
};

BindingPropertyStore* BindingPropertyStore::Create() {
  void* block = TreeBlockCache::Take(TreeBlockCache::kBlockSize);
  if (block == nullptr) throw std::bad_alloc();
  auto* store = ::new (block) BindingPropertyStore();
  store->inFirstBlock_ = true;
  store->taken_ = TreeBlockCache::kBlockSize;
  constexpr std::size_t header = (sizeof(BindingPropertyStore) + 15) & ~std::size_t{15};
  store->cursor_ = static_cast<char*>(block) + header;
  store->limit_ = static_cast<char*>(block) + TreeBlockCache::kBlockSize;
  return store;
}

void BindingPropertyStore::Destroy(BindingPropertyStore* store) {
  if (store == nullptr) return;
  const bool inFirstBlock = store->inFirstBlock_;
  store->~BindingPropertyStore();
  if (inFirstBlock) TreeBlockCache::Give(store, TreeBlockCache::kBlockSize);
}

BindingPropertyStore::BindingPropertyStore() = default;

BindingPropertyStore::~BindingPropertyStore() {
  for (Block* block = blocks_; block != nullptr;) {
    Block* next = block->next;
    TreeBlockCache::Give(block, TreeBlockCache::kBlockSize);
    block = next;
  }
  for (LargeBlock* block = large_; block != nullptr;) {
    LargeBlock* next = block->next;
    TreeBlockCache::Give(block, block->bytes);
    block = next;
  }
}

void* BindingPropertyStore::TakeMemory(std::size_t bytes) {
  if (budget_ != 0 && bytes > budget_ - std::min(taken_, budget_)) throw TreeMemoryBudgetExceeded();
  void* memory = TreeBlockCache::Take(bytes);
  if (memory == nullptr) throw std::bad_alloc();
  taken_ += bytes;
  return memory;
}

void BindingPropertyStore::GiveMemory(void* memory, std::size_t bytes) {
  taken_ -= bytes;
  TreeBlockCache::Give(memory, bytes);
}

std::size_t BindingPropertyStore::SizeClass(std::size_t size) {
  if (size == 0) return 1;
  if (size <= kSmallLimit) return (size + kGranule - 1) / kGranule;
  return kSmallLimit / kGranule + (size - 1) / kSmallLimit;
}

std::size_t BindingPropertyStore::ClassBytes(std::size_t sizeClass) {
  if (sizeClass <= kSmallLimit / kGranule) return sizeClass * kGranule;
  return (sizeClass - kSmallLimit / kGranule + 1) * kSmallLimit;
}

void BindingPropertyStore::NewBlock() {
  // The rest of the old block serves a later object of the largest class
  // that fits in it.
  const std::size_t rest = static_cast<std::size_t>(limit_ - cursor_);
  if (rest >= kGranule) {
    std::size_t sizeClass = SizeClass(rest);
    if (ClassBytes(sizeClass) > rest) --sizeClass;
    void*& list = freeLists_[sizeClass];
    *static_cast<void**>(static_cast<void*>(cursor_)) = list;
    list = cursor_;
  }
  auto* block = static_cast<Block*>(TakeMemory(TreeBlockCache::kBlockSize));
  block->next = blocks_;
  blocks_ = block;
  cursor_ = reinterpret_cast<char*>(block + 1);
  limit_ = reinterpret_cast<char*>(block) + TreeBlockCache::kBlockSize;
}

void* BindingPropertyStore::AllocateSlotSlowly(std::size_t size) {
  if (size > kArenaLimit) return AllocateLarge(size);
  const std::size_t sizeClass = SizeClass(size);
  if (void* slot = freeLists_[sizeClass]) {
    freeLists_[sizeClass] = *static_cast<void**>(slot);
    return slot;
  }
  const std::size_t bytes = ClassBytes(sizeClass);
  if (static_cast<std::size_t>(limit_ - cursor_) < bytes) NewBlock();
  void* slot = cursor_;
  cursor_ += bytes;
  return slot;
}

void BindingPropertyStore::FreeSlot(void* slot, std::size_t size) {
  if (slot == nullptr) return;
  if (size > kArenaLimit) return FreeLarge(slot);
  void*& list = freeLists_[SizeClass(size)];
  *static_cast<void**>(slot) = list;
  list = slot;
}

void* BindingPropertyStore::AllocateLarge(std::size_t size) {
  const std::size_t bytes = TreeBlockCache::SpanBytes(sizeof(LargeBlock) + size);
  auto* block = static_cast<LargeBlock*>(TakeMemory(bytes));
  block->previous = nullptr;
  block->next = large_;
  block->bytes = bytes;
  if (large_ != nullptr) large_->previous = block;
  large_ = block;
  return block + 1;
}

void BindingPropertyStore::FreeLarge(void* slot) {
  LargeBlock* block = static_cast<LargeBlock*>(slot) - 1;
  if (block->previous != nullptr)
    block->previous->next = block->next;
  else
    large_ = block->next;
  if (block->next != nullptr) block->next->previous = block->previous;
  GiveMemory(block, block->bytes);
}

// ---- Texts ------------------------------------------------------------------

const InternedString* BindingPropertyStore::EmptyString() {
  static const InternedString empty{0, 0, 0, 0, false, {'\0'}};
  return &empty;
}

void BindingPropertyStore::Rehash(std::size_t slotCount) {
  auto** slots = static_cast<InternedString**>(AllocateSlot(slotCount * sizeof(void*)));
  std::memset(slots, 0, slotCount * sizeof(void*));
  for (std::size_t i = 0; i < slotCount_; ++i) {
    if (InternedString* entry = slots_[i]) {
      std::size_t at = entry->hash & (slotCount - 1);
      while (slots[at] != nullptr) at = (at + 1) & (slotCount - 1);
      slots[at] = entry;
    }
  }
  FreeSlot(slots_, slotCount_ * sizeof(void*));
  slots_ = slots;
  slotCount_ = slotCount;
}

const InternedString* BindingPropertyStore::Intern(std::string_view text) {
  return Intern(MakeKeyProbe(text));
}

// The first of the two slots of the probe's set.
std::size_t BindingPropertyStore::RecentSlot(const KeyProbe& probe) {
  constexpr int kSetBits = std::bit_width(kRecentKeys / 2) - 1;
  const std::uint64_t mixed = (probe.prefix ^ probe.text.size()) * kMultiplier;
  return static_cast<std::size_t>(mixed >> (64 - kSetBits)) * 2;
}

static inline bool SameKey(const InternedString* entry, const KeyProbe& probe) {
  return entry != nullptr && SameKeyText(*entry, probe);
}

// Each set holds the key used last and the one before it, so two keys of a
// record that share a set do not push each other out on every record.
const InternedString* BindingPropertyStore::Intern(const KeyProbe& probe) {
  if (probe.text.empty()) return EmptyString();
  InternedString** set = recentKeys_ + RecentSlot(probe);
  if (SameKey(set[0], probe)) {
    ++set[0]->references;
    return set[0];
  }
  InternedString* entry = set[1];
  if (SameKey(entry, probe))
    ++entry->references;
  else
    entry = const_cast<InternedString*>(Intern(probe, TextHash(probe)));
  set[1] = set[0];
  set[0] = entry;
  return entry;
}

const InternedString* BindingPropertyStore::Intern(const InternedString& other) {
  if (other.length == 0) return EmptyString();
  const KeyProbe probe{other.interned ? other.prefix : KeyPrefix(other.View()), other.View()};
  return Intern(probe, other.interned ? other.hash : TextHash(probe));
}

const InternedString* BindingPropertyStore::Intern(const KeyProbe& probe, std::uint32_t hash) {
  const std::string_view text = probe.text;
  if (slotCount_ == 0) Rehash(kInitialSlots);
  std::size_t mask = slotCount_ - 1;
  std::size_t at = hash & mask;
  for (InternedString* entry; (entry = slots_[at]) != nullptr; at = (at + 1) & mask) {
    if (entry->hash == hash && entry->prefix == probe.prefix && entry->length == text.size() &&
        SameRest(*entry, text)) {
      ++entry->references;
      return entry;
    }
  }
  // At most half the slots are used, so probes stay short.
  if (2 * (internedCount_ + 1) > slotCount_) {
    Rehash(slotCount_ * 2);
    mask = slotCount_ - 1;
    at = hash & mask;
    while (slots_[at] != nullptr) at = (at + 1) & mask;
  }
  std::size_t bytes;
  InternedString* entry = NewText(text, bytes);
  entry->prefix = probe.prefix;
  entry->hash = hash;
  entry->interned = true;
  slots_[at] = entry;
  ++internedCount_;
  return entry;
}

// Linear probing erases by moving later entries of the run back into the
// gap, so no probe ever stops early at a hole.
void BindingPropertyStore::Erase(const InternedString* entry) {
  const std::size_t mask = slotCount_ - 1;
  std::size_t hole = entry->hash & mask;
  while (slots_[hole] != entry) hole = (hole + 1) & mask;
  for (std::size_t at = (hole + 1) & mask; slots_[at] != nullptr; at = (at + 1) & mask) {
    const std::size_t home = slots_[at]->hash & mask;
    // The entry may move back unless its home lies cyclically in (hole, at].
    const bool stays = hole <= at ? (home > hole && home <= at) : (home > hole || home <= at);
    if (!stays) {
      slots_[hole] = slots_[at];
      hole = at;
    }
  }
  slots_[hole] = nullptr;
  --internedCount_;
  ++keyErasures_;
  InternedString** set = recentKeys_ + RecentSlot({entry->prefix, entry->View()});
  if (set[0] == entry) set[0] = set[1], set[1] = nullptr;
  if (set[1] == entry) set[1] = nullptr;
}

void BindingPropertyStore::Release(const InternedString* entry) {
  if (entry == nullptr || entry == EmptyString()) return;
  auto* mutableEntry = const_cast<InternedString*>(entry);
  if (--mutableEntry->references != 0) return;
  if (entry->interned) Erase(entry);
  FreeSlot(mutableEntry, kTextHeader + entry->length + 1);
}

}  // namespace Corvan
