// Stand-in for the file utilities until their own source lands.
#include "highlights/filestore/FileUtilities.h"

namespace Corvan::Client::Highlights {

std::FILE* OpenFileUtf8(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

}  // namespace Corvan::Client::Highlights
