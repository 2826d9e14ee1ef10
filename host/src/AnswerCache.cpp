#include "AnswerCache.h"

#include <utility>

#include "JsonEncoding.h"
#include "binding/FlatProperty.h"

namespace Corvan::Host {

namespace {

// Whether two values are the same array or object: the same kind, address
// and count (every block kind lays out an address and a count alike).
// Scalars and texts are cheap to write again.
bool SameBlock(const FlatProperty& a, const FlatProperty& b) {
  if (a.kind != b.kind || (a.kind != FLAT_ARRAY && a.kind != FLAT_OBJECT)) return false;
  return a.value.array.items != nullptr && a.value.array.items == b.value.array.items &&
         a.value.array.count == b.value.array.count;
}

}  // namespace

std::shared_ptr<const std::string> AnswerCache::JsonOf(const FunctionDescriptor& function,
                                                       HeldResponse answer) {
  const FlatProperty value = ResultValue(answer.get().result);
  std::lock_guard<std::mutex> guard(lock_);
  Entry& entry = entries_[&function];
  if (entry.json && SameBlock(value, ResultValue(entry.answer.get().result))) return entry.json;
  // Written before the old answer goes, so the new block cannot be the
  // old one's memory reused.
  auto json = std::make_shared<const std::string>(FlatToJson(value));
  entry.answer = std::move(answer);
  entry.json = json;
  return json;
}

void AnswerCache::Clear() {
  std::lock_guard<std::mutex> guard(lock_);
  entries_.clear();
}

}  // namespace Corvan::Host
