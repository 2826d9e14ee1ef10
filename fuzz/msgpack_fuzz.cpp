// Fuzz target of the MessagePack reader: any bytes must decode to a value or
// an error, within the given length, without a crash, leak or sanitizer
// report, and the consumed count must stay inside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "binding/readers/MessagePackReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Corvan::MessagePackReadResult read = Corvan::ReadMessagePack(data, size);
  if (read.consumed > size) std::abort();
  if (!read.result.success && read.result.ErrorText()[0] == '\0') std::abort();
  return 0;
}
