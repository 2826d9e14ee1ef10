// Windows implementation of the stream queries.
#include "platform/FileStream.h"

#include <sys/stat.h>
#include <sys/types.h>

namespace Corvan::Platform {

bool RegularFileSize(std::FILE* stream, std::uint64_t& size) {
  struct _stat64 status {};
  if (stream == nullptr || _fstat64(_fileno(stream), &status) != 0 ||
      (status.st_mode & _S_IFMT) != _S_IFREG) {
    return false;
  }
  size = static_cast<std::uint64_t>(status.st_size);
  return true;
}

}  // namespace Corvan::Platform
