#include "binding/BindingPropertyStore.h"

#include <cstdlib>
#include <cstring>

#include "binding/Fnv1a.h"

namespace Corvan {

// ---- ObjectPool -------------------------------------------------------------

// Blocks are aligned to their size, so the block of a slot is found by
// masking the slot's address, and freeing costs no search.
struct ObjectPool::Block {
  Block* previous;
  Block* next;
  std::uint16_t freeHead;  // first free slot, or kNoSlot
  std::uint16_t used;      // slots handed out
  std::uint16_t fresh;     // slots never handed out start here
};

namespace {
constexpr std::uint16_t kNoSlot = 0xFFFF;
constexpr std::size_t kSlotsOffset = (sizeof(void*) * 2 + 6 + 15) / 16 * 16;
constexpr std::align_val_t kBlockAlignment{ObjectPool::kBlockSize};
}  // namespace

ObjectPool::ObjectPool(std::size_t slotSize)
    : slotSize_(slotSize < 8 ? 8 : (slotSize + 7) / 8 * 8),
      slotsPerBlock_(static_cast<std::uint16_t>((kBlockSize - kSlotsOffset) / slotSize_)) {}

ObjectPool::~ObjectPool() {
  for (Block* list : {available_, full_}) {
    while (list != nullptr) {
      Block* next = list->next;
      ::operator delete(list, kBlockAlignment);
      list = next;
    }
  }
}

void ObjectPool::Link(Block*& list, Block* block) {
  block->previous = nullptr;
  block->next = list;
  if (list != nullptr) list->previous = block;
  list = block;
}

void ObjectPool::Unlink(Block*& list, Block* block) {
  if (block->previous != nullptr)
    block->previous->next = block->next;
  else
    list = block->next;
  if (block->next != nullptr) block->next->previous = block->previous;
}

ObjectPool::Block* ObjectPool::NewBlock() {
  auto* block = static_cast<Block*>(::operator new(kBlockSize, kBlockAlignment));
  block->freeHead = kNoSlot;
  block->used = 0;
  block->fresh = 0;
  Link(available_, block);
  return block;
}

void* ObjectPool::Allocate() {
  Block* block = available_ != nullptr ? available_ : NewBlock();
  char* slots = reinterpret_cast<char*>(block) + kSlotsOffset;
  std::uint16_t index;
  if (block->freeHead != kNoSlot) {
    index = block->freeHead;
    std::memcpy(&block->freeHead, slots + index * slotSize_, sizeof(std::uint16_t));
  } else {
    index = block->fresh++;
  }
  if (++block->used == slotsPerBlock_) {
    Unlink(available_, block);
    Link(full_, block);
  }
  return slots + index * slotSize_;
}

void ObjectPool::Free(void* slot) {
  auto address = reinterpret_cast<std::uintptr_t>(slot);
  auto* block = reinterpret_cast<Block*>(address & ~(std::uintptr_t{kBlockSize} - 1));
  char* slots = reinterpret_cast<char*>(block) + kSlotsOffset;
  auto index = static_cast<std::uint16_t>((static_cast<char*>(slot) - slots) / slotSize_);
  std::memcpy(slots + index * slotSize_, &block->freeHead, sizeof(std::uint16_t));
  block->freeHead = index;
  if (block->used-- == slotsPerBlock_) {
    Unlink(full_, block);
    Link(available_, block);
  }
  // Keep the last block of the pool: a tree that frees and allocates one
  // object over and over would otherwise go to the heap every time.
  if (block->used == 0 && !(available_ == block && block->next == nullptr)) {
    Unlink(available_, block);
    ::operator delete(block, kBlockAlignment);
  }
}

// ---- Intern table -----------------------------------------------------------

namespace {
constexpr std::size_t kInitialBuckets = 8;

InternedString* NewEntry(std::string_view text, std::uint32_t hash) {
  void* memory = ::operator new(offsetof(InternedString, text) + text.size() + 1);
  auto* entry = static_cast<InternedString*>(memory);
  entry->next = nullptr;
  entry->length = static_cast<std::uint32_t>(text.size());
  entry->hash = hash;
  entry->references = 0;
  std::memcpy(entry->text, text.data(), text.size());
  entry->text[text.size()] = '\0';
  return entry;
}
}  // namespace

const InternedString* BindingPropertyStore::EmptyString() {
  static const InternedString empty{nullptr, 0, kFnv1aOffsetBasis, 0, {'\0'}};
  return &empty;
}

BindingPropertyStore::BindingPropertyStore() = default;

BindingPropertyStore::~BindingPropertyStore() {
  for (std::size_t i = 0; i < bucketCount_; ++i) {
    for (InternedString* entry = buckets_[i]; entry != nullptr;) {
      InternedString* next = entry->next;
      ::operator delete(entry);
      entry = next;
    }
  }
  delete[] buckets_;
}

void BindingPropertyStore::Rehash(std::size_t bucketCount) {
  auto** buckets = new InternedString*[bucketCount]();
  for (std::size_t i = 0; i < bucketCount_; ++i) {
    for (InternedString* entry = buckets_[i]; entry != nullptr;) {
      InternedString* next = entry->next;
      InternedString*& head = buckets[entry->hash & (bucketCount - 1)];
      entry->next = head;
      head = entry;
      entry = next;
    }
  }
  delete[] buckets_;
  buckets_ = buckets;
  bucketCount_ = bucketCount;
}

const InternedString* BindingPropertyStore::Intern(std::string_view text) {
  if (text.empty()) return EmptyString();
  return Intern(text, Fnv1a(text));
}

const InternedString* BindingPropertyStore::Intern(const InternedString& other) {
  if (other.length == 0) return EmptyString();
  return Intern(other.View(), other.hash);
}

const InternedString* BindingPropertyStore::Intern(std::string_view text, std::uint32_t hash) {
  if (bucketCount_ == 0) Rehash(kInitialBuckets);
  for (InternedString* entry = buckets_[hash & (bucketCount_ - 1)]; entry != nullptr;
       entry = entry->next) {
    if (entry->hash == hash && entry->View() == text) {
      ++entry->references;
      return entry;
    }
  }
  if (internedCount_ + 1 > bucketCount_) Rehash(bucketCount_ * 2);
  InternedString* entry = NewEntry(text, hash);
  InternedString*& head = buckets_[hash & (bucketCount_ - 1)];
  entry->next = head;
  head = entry;
  entry->references = 1;
  ++internedCount_;
  return entry;
}

const InternedString* BindingPropertyStore::AddReference(const InternedString* entry) {
  if (entry != EmptyString()) ++const_cast<InternedString*>(entry)->references;
  return entry;
}

void BindingPropertyStore::Release(const InternedString* entry) {
  if (entry == nullptr || entry == EmptyString()) return;
  auto* mutableEntry = const_cast<InternedString*>(entry);
  if (--mutableEntry->references != 0) return;
  InternedString** link = &buckets_[entry->hash & (bucketCount_ - 1)];
  while (*link != entry) link = &(*link)->next;
  *link = entry->next;
  --internedCount_;
  ::operator delete(mutableEntry);
}

// ---- Pools ------------------------------------------------------------------

ObjectPool& BindingPropertyStore::PoolFor(std::size_t size) {
  const std::size_t index = (size + kPoolGranule - 1) / kPoolGranule - 1;
  if (!pools_[index]) pools_[index] = std::make_unique<ObjectPool>((index + 1) * kPoolGranule);
  return *pools_[index];
}

void* BindingPropertyStore::AllocateSlot(std::size_t size) {
  if (size == 0 || size > kPoolGranule * kPoolClasses) return ::operator new(size);
  return PoolFor(size).Allocate();
}

void BindingPropertyStore::FreeSlot(void* slot, std::size_t size) {
  if (size == 0 || size > kPoolGranule * kPoolClasses) return ::operator delete(slot);
  PoolFor(size).Free(slot);
}

}  // namespace Corvan
