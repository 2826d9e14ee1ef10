#include "binding/BindingPropertyStore.h"

#include <cstdlib>

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
constexpr std::size_t kMaxChunkSize = std::size_t{64} << 10;
}  // namespace

// ---- Arena ------------------------------------------------------------------

// A chunk's bytes follow its header.
struct BindingPropertyStore::Chunk {
  Chunk* next;
  std::size_t size;
};

// A heap block of a large object, linked so that the store frees what the
// tree never gave back.
struct BindingPropertyStore::LargeBlock {
  LargeBlock* previous;
  LargeBlock* next;
};

BindingPropertyStore::BindingPropertyStore() : cursor_(inline_), limit_(inline_ + kInlineBytes) {}

BindingPropertyStore::~BindingPropertyStore() {
  for (Chunk* chunk = chunks_; chunk != nullptr;) {
    Chunk* next = chunk->next;
    ::operator delete(chunk);
    chunk = next;
  }
  for (LargeBlock* block = large_; block != nullptr;) {
    LargeBlock* next = block->next;
    ::operator delete(block);
    block = next;
  }
}

void BindingPropertyStore::NewChunk() {
  // The rest of the old chunk serves later objects of its size.
  const std::size_t rest = static_cast<std::size_t>(limit_ - cursor_);
  if (rest >= kGranule) {
    void*& list = freeLists_[rest / kGranule];
    *static_cast<void**>(static_cast<void*>(cursor_)) = list;
    list = cursor_;
  }
  auto* chunk = static_cast<Chunk*>(::operator new(sizeof(Chunk) + nextChunkSize_));
  chunk->next = chunks_;
  chunk->size = nextChunkSize_;
  chunks_ = chunk;
  cursor_ = reinterpret_cast<char*>(chunk + 1);
  limit_ = cursor_ + nextChunkSize_;
  if (nextChunkSize_ < kMaxChunkSize) nextChunkSize_ *= 2;
}

void* BindingPropertyStore::AllocateSlot(std::size_t size) {
  if (size > kGranule * kSizeClasses) return AllocateLarge(size);
  const std::size_t sizeClass = size == 0 ? 1 : (size + kGranule - 1) / kGranule;
  if (void* slot = freeLists_[sizeClass]) {
    freeLists_[sizeClass] = *static_cast<void**>(slot);
    return slot;
  }
  const std::size_t bytes = sizeClass * kGranule;
  if (static_cast<std::size_t>(limit_ - cursor_) < bytes) NewChunk();
  void* slot = cursor_;
  cursor_ += bytes;
  return slot;
}

void BindingPropertyStore::FreeSlot(void* slot, std::size_t size) {
  if (slot == nullptr) return;
  if (size > kGranule * kSizeClasses) return FreeLarge(slot);
  void*& list = freeLists_[size == 0 ? 1 : (size + kGranule - 1) / kGranule];
  *static_cast<void**>(slot) = list;
  list = slot;
}

void* BindingPropertyStore::AllocateLarge(std::size_t size) {
  auto* block = static_cast<LargeBlock*>(::operator new(sizeof(LargeBlock) + size));
  block->previous = nullptr;
  block->next = large_;
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
  ::operator delete(block);
}

// ---- Texts ------------------------------------------------------------------

const InternedString* BindingPropertyStore::EmptyString() {
  static const InternedString empty{0, 0, 0, 0, false, {'\0'}};
  return &empty;
}

InternedString* BindingPropertyStore::NewText(std::string_view text, std::size_t& bytes) {
  bytes = kTextHeader + text.size() + 1;
  auto* entry = static_cast<InternedString*>(AllocateSlot(bytes));
  entry->length = static_cast<std::uint32_t>(text.size());
  entry->references = 1;
  std::memcpy(entry->text, text.data(), text.size());
  entry->text[text.size()] = '\0';
  return entry;
}

const InternedString* BindingPropertyStore::CopyText(std::string_view text) {
  if (text.empty()) return EmptyString();
  std::size_t bytes;
  InternedString* entry = NewText(text, bytes);
  entry->prefix = 0;
  entry->hash = 0;
  entry->interned = false;
  return entry;
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

const InternedString* BindingPropertyStore::Intern(const KeyProbe& probe) {
  if (probe.text.empty()) return EmptyString();
  return Intern(probe, TextHash(probe));
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
        (text.size() <= 8 || std::memcmp(entry->text + 8, text.data() + 8, text.size() - 8) == 0)) {
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
}

const InternedString* BindingPropertyStore::AddReference(const InternedString* entry) {
  if (entry != EmptyString()) ++const_cast<InternedString*>(entry)->references;
  return entry;
}

void BindingPropertyStore::Release(const InternedString* entry) {
  if (entry == nullptr || entry == EmptyString()) return;
  auto* mutableEntry = const_cast<InternedString*>(entry);
  if (--mutableEntry->references != 0) return;
  if (entry->interned) Erase(entry);
  FreeSlot(mutableEntry, kTextHeader + entry->length + 1);
}

}  // namespace Corvan
