// What the framework asks of an open C stdio stream beyond the standard
// library: the size of the file behind it, in 64 bits on every platform
// (ftell gives only a long, 32 bits on Windows). Readers of untrusted files
// use it to refuse sizes that a file declares but does not hold.
#pragma once

#include <cstdint>
#include <cstdio>

namespace Corvan::Platform {

// The size in bytes of the regular file open in the stream; false for
// anything else (a pipe, a device) or when it cannot be read.
[[nodiscard]] bool RegularFileSize(std::FILE* stream, std::uint64_t& size);

}  // namespace Corvan::Platform
