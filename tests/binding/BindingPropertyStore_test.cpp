#include "binding/BindingPropertyStore.h"

#include <gtest/gtest.h>

#include "binding/BindingProperty.h"
#include "binding/TreeBlockCache.h"
#include "logging/Allocation.h"

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace Corvan {
namespace {

TEST(BindingPropertyStore, SlotsAreDistinctAlignedAndReusedBySize) {
  BindingPropertyStore store;
  std::vector<void*> slots;
  std::set<void*> distinct;
  for (int i = 0; i < 3000; ++i) {  // past the inline chunk, several chunks
    void* slot = store.AllocateSlot(24);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(slot) % 8, 0u);
    std::memset(slot, 0xab, 24);
    slots.push_back(slot);
    distinct.insert(slot);
  }
  EXPECT_EQ(distinct.size(), slots.size());
  // A freed slot serves the next object of its size class, not of another.
  store.FreeSlot(slots[500], 24);
  void* other = store.AllocateSlot(40);
  EXPECT_NE(other, slots[500]);
  EXPECT_EQ(store.AllocateSlot(20), slots[500]);
  // Large objects are the store's heap blocks, freed early or with the store.
  void* large = store.AllocateSlot(10000);
  std::memset(large, 0, 10000);
  void* kept = store.AllocateSlot(5000);
  std::memset(kept, 0, 5000);
  store.FreeSlot(large, 10000);
}

// A tree's blocks go back to the thread's cache and make the next tree: once
// warm, building a tree takes nothing from the heap.
TEST(BindingPropertyStore, TheNextTreeReusesTheCachedBlocks) {
  const auto build = [] {
    BindingProperty list;
    for (int i = 0; i < 2000; ++i) list.Append().Field("name").SetString("clip " + std::to_string(i));
    return list.Size();
  };
  TreeBlockCache::Trim();
  EXPECT_EQ(build(), 2000u);
  const std::size_t cached = TreeBlockCache::CachedBytes();
  EXPECT_GT(cached, 16 * TreeBlockCache::kBlockSize);
  EXPECT_LE(cached, TreeBlockCache::kCacheBound);
  const std::uint64_t before = GetMemoryStats().allocationCount;
  EXPECT_EQ(build(), 2000u);
  EXPECT_EQ(GetMemoryStats().allocationCount, before);
  EXPECT_EQ(TreeBlockCache::CachedBytes(), cached);
}

TEST(BindingPropertyStore, InternCountsReferences) {
  BindingPropertyStore store;
  const InternedString* a = store.Intern("field");
  const InternedString* b = store.Intern(std::string("field"));
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->references, 2u);
  EXPECT_EQ(store.internedCount(), 1u);
  store.Release(a);
  EXPECT_EQ(store.internedCount(), 1u);
  store.Release(b);
  EXPECT_EQ(store.internedCount(), 0u);
}

TEST(BindingPropertyStore, EmptyTextIsTheSharedEntry) {
  BindingPropertyStore store;
  EXPECT_EQ(store.Intern(""), BindingPropertyStore::EmptyString());
  EXPECT_EQ(store.internedCount(), 0u);
  store.Release(BindingPropertyStore::EmptyString());  // never freed
  EXPECT_STREQ(BindingPropertyStore::EmptyString()->text, "");
}

TEST(BindingPropertyStore, ValueCopiesAreNotInterned) {
  BindingPropertyStore store;
  const InternedString* a = store.CopyText("clip");
  const InternedString* b = store.CopyText("clip");
  EXPECT_NE(a, b);
  EXPECT_STREQ(a->text, "clip");
  EXPECT_EQ(store.internedCount(), 0u);
  EXPECT_EQ(store.CopyText(""), BindingPropertyStore::EmptyString());
  store.Release(a);
  store.Release(b);
}

TEST(BindingPropertyStore, KeysCompareByUnsignedBytes) {
  BindingPropertyStore store;
  // Pairs in ascending order, around the eight-byte prefix.
  const char* const kPairs[][2] = {{"a", "b"},
                                   {"ab", "abc"},
                                   {"abcdefgh", "abcdefghi"},
                                   {"abcdefghij", "abcdefghik"},
                                   {"z", "\xc3\xa9"},
                                   {"abcdefgh\x7f", "abcdefgh\x80"}};
  for (const auto& pair : kPairs) {
    SCOPED_TRACE(std::string(pair[0]) + " < " + pair[1]);
    const InternedString* low = store.Intern(pair[0]);
    const InternedString* high = store.Intern(pair[1]);
    EXPECT_LT(CompareKey(*low, MakeKeyProbe(pair[1])), 0);
    EXPECT_GT(CompareKey(*high, MakeKeyProbe(pair[0])), 0);
    EXPECT_EQ(CompareKey(*low, MakeKeyProbe(pair[0])), 0);
    store.Release(low);
    store.Release(high);
  }
}

TEST(BindingPropertyStore, ManyTextsSurviveRehashing) {
  BindingPropertyStore store;
  std::vector<const InternedString*> entries;
  for (int i = 0; i < 5000; ++i) entries.push_back(store.Intern("text " + std::to_string(i)));
  EXPECT_EQ(store.internedCount(), 5000u);
  for (int i = 0; i < 5000; ++i) {
    EXPECT_EQ(store.Intern("text " + std::to_string(i)), entries[i]);
    store.Release(entries[i]);
  }
  // Erasing from the middle of probe runs keeps every other text findable.
  for (int i = 0; i < 5000; i += 2) store.Release(entries[i]);
  EXPECT_EQ(store.internedCount(), 2500u);
  for (int i = 1; i < 5000; i += 2) {
    EXPECT_EQ(store.Intern("text " + std::to_string(i)), entries[i]);
    store.Release(entries[i]);
  }
  for (int i = 1; i < 5000; i += 2) store.Release(entries[i]);
  EXPECT_EQ(store.internedCount(), 0u);
}

}  // namespace
}  // namespace Corvan
