// The flat, pointer-linked description of a plugin's functions, types and
// events that the host reads.
//
// One FlatApiDescription owns the records of its last build. Text pointers
// point at the registry's own strings, so the table stays valid while the
// registry is unchanged and until the next Build. Missing texts are the
// empty text, never null; an empty array is a null pointer with count 0.
//
//   FlatApiDescription description;
//   const FlatApiTable& table =
//       description.Build(registry.Functions(), registry.Types(), registry.Events());
#pragma once

#include <memory>
#include <vector>

#include "abi/HostAbi.h"
#include "binding/BindingFunctions.h"
#include "binding/BindingTypes.h"

namespace Corvan {

class FlatApiDescription {
 public:
  FlatApiDescription();
  ~FlatApiDescription();
  FlatApiDescription(const FlatApiDescription&) = delete;
  FlatApiDescription& operator=(const FlatApiDescription&) = delete;

  // Clears the snapshot and rebuilds it from the lists, in their order
  // (function record i describes functions[i]). No entry may be null.
  const FlatApiTable& Build(const std::vector<const BindingFunctionDescriptor*>& functions,
                            const std::vector<const BindingTypeDescriptor*>& types,
                            const std::vector<const BindingEventDescriptor*>& events);
  // The table of the last build (all counts 0 before the first).
  const FlatApiTable& Table() const { return table_; }

 private:
  struct Snapshot;
  std::unique_ptr<Snapshot> snapshot_;
  FlatApiTable table_{};
};

}  // namespace Corvan
