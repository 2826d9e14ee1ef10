#include "routing/ArgumentBinder.h"

namespace Corvan {

// Placeholder until the sources are read: every argument stays empty.
void BindArguments(const ArgumentBindingInput& input, std::vector<BindingProperty>& arguments,
                   BindingResult& /*callResult*/) {
  arguments.clear();
  if (input.function != nullptr) arguments.resize(input.function->arguments.size());
}

}  // namespace Corvan
