#include "binding/BindingPropertyStore.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace Corvan {
namespace {

TEST(ObjectPool, SlotsAreDistinctAlignedAndReused) {
  ObjectPool pool(24);
  std::vector<void*> slots;
  std::set<void*> distinct;
  for (int i = 0; i < 1000; ++i) {  // several blocks
    void* slot = pool.Allocate();
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(slot) % 8, 0u);
    slots.push_back(slot);
    distinct.insert(slot);
  }
  EXPECT_EQ(distinct.size(), slots.size());
  // Freed slots come back before fresh ones.
  pool.Free(slots[500]);
  EXPECT_EQ(pool.Allocate(), slots[500]);
  for (void* slot : slots) pool.Free(slot);
  // An emptied pool still serves.
  void* again = pool.Allocate();
  EXPECT_NE(again, nullptr);
  pool.Free(again);
}

TEST(ObjectPool, FreeingInAnyOrderKeepsEveryBlockConsistent) {
  ObjectPool pool(64);
  std::vector<void*> slots;
  for (int i = 0; i < 500; ++i) slots.push_back(pool.Allocate());
  // Free every other slot, refill, then free all: the sanitizers check that
  // no slot is handed out twice or leaked.
  for (std::size_t i = 0; i < slots.size(); i += 2) pool.Free(slots[i]);
  for (std::size_t i = 0; i < slots.size(); i += 2) slots[i] = pool.Allocate();
  std::set<void*> distinct(slots.begin(), slots.end());
  EXPECT_EQ(distinct.size(), slots.size());
  for (std::size_t i = slots.size(); i-- > 0;) pool.Free(slots[i]);
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

TEST(BindingPropertyStore, ManyTextsSurviveRehashing) {
  BindingPropertyStore store;
  std::vector<const InternedString*> entries;
  for (int i = 0; i < 5000; ++i) entries.push_back(store.Intern("text " + std::to_string(i)));
  EXPECT_EQ(store.internedCount(), 5000u);
  for (int i = 0; i < 5000; ++i) {
    EXPECT_EQ(store.Intern("text " + std::to_string(i)), entries[i]);
    store.Release(entries[i]);
  }
  for (const InternedString* entry : entries) store.Release(entry);
  EXPECT_EQ(store.internedCount(), 0u);
}

}  // namespace
}  // namespace Corvan
