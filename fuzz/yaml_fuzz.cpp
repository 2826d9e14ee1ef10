// Fuzz target of the YAML reader: any bytes must give a value or a message,
// never a crash, a sanitizer report or unbounded memory. The input is handed
// over in a buffer of exactly its size, so a read past the length shows.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/readers/YamlReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Corvan::BindingResult result =
      Corvan::ReadYaml(std::string_view(reinterpret_cast<const char*>(data), size));
  // A failure always carries its message.
  if (!result.success && result.ErrorText()[0] == '\0') __builtin_trap();
  return 0;
}
