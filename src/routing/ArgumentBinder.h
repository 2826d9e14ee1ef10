// Fills a function's arguments from a host request.
//
// The five sources are read in this order, later ones overwriting earlier
// ones: header pairs, path captures, query parameters, direct arguments and
// the body. A source other than the direct arguments may fill an argument
// only where the argument's location allows it. The conversion of the bound
// values to the handler's parameter types happens later, in the invoker.
//
// Texts name an argument and, after a ".", a member path: "ids.2=7" sets
// element 2 of ids, "filter.name=clip" its field name. Index segments of one
// request may create at most 65536 elements together and a member path may
// be at most kMaxTreeDepth segments long, so no request can make the binder
// build an unbounded tree. Everything the request holds is untrusted: null
// texts and arrays are skipped, never followed.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "abi/HostAbi.h"
#include "binding/BindingFunctions.h"
#include "binding/BindingProperty.h"
#include "routing/RouteTypes.h"

namespace Corvan {

class BindingRegistry;

struct ArgumentBindingInput {
  const BindingFunctionDescriptor* function = nullptr;
  // Location of each argument by index; a missing entry is Any.
  std::span<const ArgumentLocation> locations;
  const RouteCaptures* captures = nullptr;
  // Untrusted: any pointer or count in it may be null or wrong.
  const HostRequest* request = nullptr;
  const BindingRegistry* registry = nullptr;
};

// Resizes `arguments` to the function's argument count and binds them.
// Failures are reported into `callResult` (each report replaces the message
// before it); after a failure only the body step still runs. Answers the
// index of the argument the request body was read into, if any.
std::optional<std::size_t> BindArguments(const ArgumentBindingInput& input,
                                         std::vector<BindingProperty>& arguments,
                                         BindingResult& callResult);

}  // namespace Corvan
