// libFuzzer target of the JSON reader: any bytes, read with their length
// (never past it), must give a tree or a message, and never a crash, a leak
// or a sanitizer report. Seeds: fuzz/corpus/json/.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "binding/readers/JsonReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Corvan::BindingResult result = Corvan::ReadJson(text);
  // A failure always carries its message in the documented form.
  if (!result.success && std::strncmp(result.ErrorText(), "Error: ", 7) != 0) __builtin_trap();
  return 0;
}
