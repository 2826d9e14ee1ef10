// The invoke entry: the one function every FunctionDescriptor points at.
//
// The host calls it with a response record and a request whose
// functionContext is the descriptor's FunctionContext. It matches the
// request's path (up to the first "?") and method against the function's
// route, binds the arguments, calls the handler through the binding's
// invoker and writes the call result into the response before it returns.
// The request is untrusted: missing texts and arrays give an error
// response, never a crash, and no exception leaves the entry.
#pragma once

#include "abi/HostAbi.h"

namespace Corvan {

struct FunctionContext;

// The invoke entry of every descriptor. [any-thread]
void KYN_CALL InvokeFunction(HostResponse* out, const HostRequest* request);

// The same call with a context given directly (the request's own
// functionContext is ignored).
void Dispatch(const FunctionContext& context, const HostRequest& request, HostResponse& out);

}  // namespace Corvan
