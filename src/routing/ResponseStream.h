// ResponseStream: a body a handler hands out piece by piece instead of as
// one value. A reply owns its stream until the response writer moves it into
// the HostResponse; from then on the host reads it through the response's
// stream functions and destroys it through the stream release function.
//
//   class TextStream final : public ResponseStream { ... };
//   reply.SetStream(std::make_unique<TextStream>(text));
#pragma once

#include <cstdint>

#include "abi/HostAbi.h"

namespace Corvan {

class ResponseStream {
 public:
  // Writes up to *byteCount bytes into the buffer and sets *byteCount to the
  // number written; sets *moreData to 0 after the last bytes. False on a read
  // error.
  [[nodiscard]] virtual bool Read(std::uint8_t* buffer, std::uint32_t* byteCount,
                                  std::uint8_t* moreData) = 0;
  // The expected total size in bytes (a hint).
  virtual std::uint32_t SizeHint() const = 0;
  virtual ~ResponseStream() = default;
};

// The stream functions a HostResponse carries for a ResponseStream object.
bool KYN_CALL ReadResponseStream(void* stream, std::uint8_t* buffer, std::uint32_t* byteCount,
                                 std::uint8_t* moreData);
void KYN_CALL ReleaseResponseStream(void* stream);

}  // namespace Corvan
