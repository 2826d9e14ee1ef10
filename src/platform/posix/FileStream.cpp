// POSIX implementation of the stream queries.
#include "platform/FileStream.h"

#include <sys/stat.h>

namespace Corvan::Platform {

bool RegularFileSize(std::FILE* stream, std::uint64_t& size) {
  struct stat status {};
  if (stream == nullptr || fstat(fileno(stream), &status) != 0 || !S_ISREG(status.st_mode)) {
    return false;
  }
  size = static_cast<std::uint64_t>(status.st_size);
  return true;
}

}  // namespace Corvan::Platform
