// The memory of one BindingProperty tree.
//
// A tree's root owns one store; every element and field of the tree borrows
// it. The store keeps
//   - fixed-size object pools, one per object size, that take memory in
//     4096-byte blocks, so blob, enum, collection and structure objects (and
//     the nodes of structure maps) cost no general heap allocation each;
//   - the intern table: one counted copy of each distinct text, so a field
//     name repeated in every element of a list is stored once.
// A null or empty text is never interned; it is the shared EmptyString().
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <utility>

namespace Corvan {

// One interned text: zero-terminated bytes, their length, their FNV-1a hash
// and the number of values and keys that refer to it.
struct InternedString {
  InternedString* next;  // bucket chain
  std::uint32_t length;
  std::uint32_t hash;
  std::uint32_t references;
  char text[1];  // length + 1 bytes, allocated with the entry

  std::string_view View() const { return {text, length}; }
};

// A pool of equally sized slots carved from 4096-byte blocks. Free slots of a
// block are chained by 16-bit slot indices; a block whose slots are all free
// again goes back to the heap.
class ObjectPool {
 public:
  static constexpr std::size_t kBlockSize = 4096;

  explicit ObjectPool(std::size_t slotSize);
  ~ObjectPool();
  ObjectPool(const ObjectPool&) = delete;
  ObjectPool& operator=(const ObjectPool&) = delete;

  // Returns an uninitialised slot.
  void* Allocate();
  // Returns a slot taken from this pool.
  void Free(void* slot);

  std::size_t slotSize() const { return slotSize_; }

 private:
  struct Block;
  void Link(Block*& list, Block* block);
  void Unlink(Block*& list, Block* block);
  Block* NewBlock();

  std::size_t slotSize_;
  std::uint16_t slotsPerBlock_;
  Block* available_ = nullptr;  // blocks with at least one free slot
  Block* full_ = nullptr;
};

class BindingPropertyStore {
 public:
  BindingPropertyStore();
  ~BindingPropertyStore();
  BindingPropertyStore(const BindingPropertyStore&) = delete;
  BindingPropertyStore& operator=(const BindingPropertyStore&) = delete;

  // The shared entry of the empty text; it is never counted or freed.
  static const InternedString* EmptyString();

  // Returns the entry of the text with one more reference, inserting it when
  // it is new. The bytes are copied only then.
  const InternedString* Intern(std::string_view text);
  // The same for an entry of another store: its hash is reused.
  const InternedString* Intern(const InternedString& other);
  // Takes one reference back; the entry is erased when none is left.
  void Release(const InternedString* entry);
  // Adds one reference to an entry of this store.
  static const InternedString* AddReference(const InternedString* entry);

  // Raw slots of the pool for objects of the given size.
  void* AllocateSlot(std::size_t size);
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

  // Number of distinct interned texts (for tests and statistics).
  std::size_t internedCount() const { return internedCount_; }

 private:
  static constexpr std::size_t kPoolGranule = 8;
  static constexpr std::size_t kPoolClasses = 32;  // slots of up to 256 bytes

  ObjectPool& PoolFor(std::size_t size);
  const InternedString* Intern(std::string_view text, std::uint32_t hash);
  void Rehash(std::size_t bucketCount);

  std::unique_ptr<ObjectPool> pools_[kPoolClasses];
  InternedString** buckets_ = nullptr;
  std::size_t bucketCount_ = 0;
  std::size_t internedCount_ = 0;
};

// An allocator over a store's pools, for containers inside a tree.
template <class T>
class StoreAllocator {
 public:
  using value_type = T;

  explicit StoreAllocator(BindingPropertyStore* store) noexcept : store_(store) {}
  template <class U>
  StoreAllocator(const StoreAllocator<U>& other) noexcept : store_(other.store()) {}

  T* allocate(std::size_t count) {
    if (count == 1) return static_cast<T*>(store_->AllocateSlot(sizeof(T)));
    return static_cast<T*>(::operator new(count * sizeof(T)));
  }
  void deallocate(T* pointer, std::size_t count) noexcept {
    if (count == 1)
      store_->FreeSlot(pointer, sizeof(T));
    else
      ::operator delete(pointer);
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
