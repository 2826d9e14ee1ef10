#include "routing/ResponseStream.h"

namespace Corvan {

bool KYN_CALL ReadResponseStream(void* stream, std::uint8_t* buffer, std::uint32_t* byteCount,
                                 std::uint8_t* moreData) {
  if (stream == nullptr || buffer == nullptr || byteCount == nullptr || moreData == nullptr) {
    return false;
  }
  return static_cast<ResponseStream*>(stream)->Read(buffer, byteCount, moreData);
}

void KYN_CALL ReleaseResponseStream(void* stream) { delete static_cast<ResponseStream*>(stream); }

}  // namespace Corvan
