#include "binding/FlatApiDescription.h"

namespace Corvan {

// Placeholder until the records are built: an empty description.
struct FlatApiDescription::Snapshot {};

FlatApiDescription::FlatApiDescription() : snapshot_(std::make_unique<Snapshot>()) {}
FlatApiDescription::~FlatApiDescription() = default;

const FlatApiTable& FlatApiDescription::Build(
    const std::vector<const BindingFunctionDescriptor*>& /*functions*/,
    const std::vector<const BindingTypeDescriptor*>& /*types*/,
    const std::vector<const BindingEventDescriptor*>& /*events*/) {
  table_ = FlatApiTable{};
  return table_;
}

}  // namespace Corvan
