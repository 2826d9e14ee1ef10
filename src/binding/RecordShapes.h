// RecordShapes: where the keys of the last structure read at each nesting
// level went, so that the next structure with the same keys skips the search.
//
// The records of a list mostly bring the same keys in the same order. While
// a structure that started empty repeats, key by key, the keys of the last
// structure remembered at its level, each key's field belongs at the index
// it had there (a FieldPlace), and the field is taken there without the
// intern lookup or the search of the sorted fields. The readers use it for
// the documents they read, and the native conversion for the records of a
// vector. The first key that
// differs ends the repetition; from there the structure is searched as usual
// and remembered for the next one. Only the first kKeys keys of structures
// on the first kLevels levels are remembered.
//
// The places keep key entries without holding references, so they are
// trusted only while the tree's store has freed no key since the structure
// that holds them all was read (a repeated key can replace a whole record).
//
//   RecordShapes shapes;
//   shapes.Begin(level, record);                       // {
//   shapes.Field(level, record, "id").SetUnsigned(7);  //   "id": 7
//   shapes.End(level, record);                         // }
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/BindingProperty.h"

namespace Corvan {

class RecordShapes {
 public:
  // A structure opens at this level (the levels of the structures open at
  // the same time differ).
  void Begin(std::size_t level, const BindingProperty& structure);
  // The field of `key` in the structure open at this level. `keyEntry`,
  // when given, receives the field's key entry where the search had it at
  // hand, else null.
  BindingProperty& Field(std::size_t level, BindingProperty& structure, std::string_view key,
                         const InternedString** keyEntry = nullptr) {
    if (level < kLevels) {
      Level& at = levels_[level];
      const std::uint32_t index = at.taken;
      if (at.repeating && index < at.known) {
        const FieldPlace& place = at.places[index];
        // Equal bytes hold no zero byte, as no key entry does.
        if (SameKeyText(*place.key, MakeKeyProbe(key)) && at.store->keyErasures() == at.erasures) {
          at.taken = index + 1;
          if (keyEntry != nullptr) *keyEntry = place.key;
          return structure.FieldAt(place);
        }
      }
    }
    return FieldPastRepetition(level, structure, key, keyEntry);
  }
  // The structure open at this level closes.
  void End(std::size_t level, const BindingProperty& structure);

 private:
  static constexpr std::size_t kLevels = 4;
  static constexpr std::uint32_t kKeys = 16;
  struct Level {
    std::array<FieldPlace, kKeys> places;
    std::uint32_t known = 0;   // places that hold keys of one remembered structure
    std::uint32_t taken = 0;   // keys the open structure has taken
    bool repeating = false;    // each key so far was the one at its place
    bool remembering = false;  // the open structure started empty
    const BindingPropertyStore* store = nullptr;
    std::size_t erasures = 0;  // the store's key erasures when the places were in use
  };

  BindingProperty& FieldPastRepetition(std::size_t level, BindingProperty& structure,
                                       std::string_view key, const InternedString** keyEntry);

  std::array<Level, kLevels> levels_;
};

}  // namespace Corvan
