#include "binding/RecordShapes.h"

#include <algorithm>

namespace Corvan {

void RecordShapes::Begin(std::size_t level, const BindingProperty& structure) {
  if (level >= kLevels) return;
  Level& at = levels_[level];
  const BindingPropertyStore* store = structure.TreeStore();
  if (store != at.store || store == nullptr || store->keyErasures() != at.erasures) {
    at.known = 0;
    at.store = store;
  }
  const PropertyMap* fields = structure.Fields();
  at.taken = 0;
  at.remembering = fields != nullptr && fields->empty();
  at.repeating = at.remembering && at.known != 0;
}

// Past the repetition: the usual search, and the place kept for the next
// structure as long as the places before it are this structure's.
BindingProperty& RecordShapes::FieldPastRepetition(std::size_t level, BindingProperty& structure,
                                                   std::string_view key,
                                                   const InternedString** keyEntry) {
  FieldPlace place;
  BindingProperty& field = structure.Field(key, place);
  if (keyEntry != nullptr) *keyEntry = place.key;
  if (level >= kLevels) return field;
  Level& at = levels_[level];
  const std::uint32_t index = at.taken++;
  at.repeating = false;
  if (!at.remembering) return field;
  if (index < kKeys && place.key != nullptr) {
    at.places[index] = place;
    at.known = index + 1;
  } else {
    at.known = std::min(at.known, index);
    at.remembering = false;
  }
  return field;
}

void RecordShapes::End(std::size_t level, const BindingProperty& structure) {
  if (level >= kLevels) return;
  Level& at = levels_[level];
  if (!at.remembering || structure.TreeStore() != at.store) return;
  // The places left are those of this structure's keys, all alive now.
  at.known = std::min(at.known, at.taken);
  at.erasures = at.store->keyErasures();
  at.remembering = at.repeating = false;
}

}  // namespace Corvan
