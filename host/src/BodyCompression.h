// BodyCompression: compresses an answer's body for a client that asks for
// it, where that pays: text types (JSON, HTML, JavaScript, CSS, SVG, plain
// text) of at least kMinimumSize bytes, never a video or other binary file.
// The settings are fast ones (brotli quality 1, gzip level 1): on loopback
// the time to compress is all the cost, so a viewer load of a large folder
// waits milliseconds, not seconds. Brotli wins over gzip when the client
// takes both.
//
//   CompressReply(reply, request.Header("Accept-Encoding"));
//   // reply.body compressed, Content-Encoding and Vary set, when worth it
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "HttpMessage.h"

namespace Corvan::Host {

enum class BodyEncoding { Identity, Gzip, Brotli };

// Smaller bodies fit into one packet as they are.
inline constexpr std::size_t kMinimumSize = 1024;

// The encoding to use for a client's Accept-Encoding value: brotli, else
// gzip, when listed without "q=0"; identity otherwise.
[[nodiscard]] BodyEncoding ChooseEncoding(std::string_view acceptEncoding);

// Compresses `input` into `output`; false when the library failed.
[[nodiscard]] bool Compress(BodyEncoding encoding, std::string_view input, std::string& output);

// Compresses the reply's body in place when the client accepts an encoding
// and the type and size make it worth it; the reply is left as it was
// otherwise. Every compressible reply gets "Vary: Accept-Encoding".
void CompressReply(HttpReply& reply, std::string_view acceptEncoding);

}  // namespace Corvan::Host
