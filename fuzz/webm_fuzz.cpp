// libFuzzer target of the WebM verification: any bytes, verified as a file
// of their length, must end at some step, and never in a crash, a leak, a
// sanitizer report, an allocation past libFuzzer's limit or a stall; and a
// parser reused across inputs must agree with a new one. Seeds:
// written by webm_seeds (fuzz/webm_seeds.cpp) when `make fuzz` runs.
#include <webm/buffer_reader.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "highlights/filestore/WebmVerification.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace Corvan::Client::Highlights;
  webm::BufferReader reader(std::vector<std::uint8_t>(data, data + size));
  const WebmVerification result = InspectWebm(reader, size);
  // Only a failed check carries a text; a passed file carries none.
  if (result.passed() && !result.text.empty()) __builtin_trap();
  // A parser reused after every input before must reach the same result.
  static WebmVerifier verifier;
  webm::BufferReader again(std::vector<std::uint8_t>(data, data + size));
  const WebmVerification reused = verifier.Inspect(again, size);
  if (reused.step != result.step || reused.text != result.text ||
      reused.namelessTracks != result.namelessTracks) {
    __builtin_trap();
  }
  TraceWebmVerification(result, "fuzz.webm");
  return 0;
}
