// ResponseWriter: turns a CallResult into the HostResponse the host reads,
// and releases such a response again.
//
// Everything written is a heap copy owned by the response, except the empty
// status text (a shared constant) and the stream, which moves from the call
// result into the response and is destroyed only through the stream release
// function the response carries. The value is one block (FlatBlock.h): its
// texts are of the borrowed kinds and its keys own nothing, since the block
// goes as a whole; a shared snapshot given as the answer is held, not
// copied. ReleaseResponse frees the rest once and zeroes the record.
#pragma once

#include <string_view>

#include "abi/HostAbi.h"
#include "routing/CallResult.h"

namespace Corvan {

class BindingRegistry;

// Every text the response writer can put into a response of its own.
namespace ResponseMessages {
inline constexpr const char* kInvalidFunction = "Invalid function";
inline constexpr const char* kInvalidRequest = "Invalid request";
inline constexpr const char* kUnconvertibleResult =
    "Couldn't convert the result for the host: it is nested deeper than %1 levels.";
}  // namespace ResponseMessages

inline constexpr std::uint32_t kStatusBadRequest = 400;
inline constexpr std::uint32_t kStatusNotFound = 404;

// Releases what the response holds when this writer filled it, zeroes it
// and stores the release function.
void ResetResponse(HostResponse& response);

// Writes the call result into a reset response: the error or the value
// (enums as names), flag byte, body format, status, status text, header
// pairs and stream, in that order. A value that cannot be flattened gives
// status 400 with an error text.
void WriteResponse(CallResult& call, const BindingRegistry* registry, HostResponse& response);

// Writes an error text with a status into a reset response.
void WriteErrorResponse(HostResponse& response, std::string_view message, std::uint32_t status);

// The release function of responses this writer fills. The stream, if any,
// is left alone.
void KYN_CALL ReleaseResponse(HostResponse* response);

}  // namespace Corvan
