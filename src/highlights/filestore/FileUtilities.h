// File utilities of the highlights file store: files opened by UTF-8 paths.
#pragma once

#include <cstdio>
#include <string>

namespace Corvan::Client::Highlights {

// Opens the file at the UTF-8 path with a C stdio mode; null on failure.
std::FILE* OpenFileUtf8(const std::string& path, const char* mode);

}  // namespace Corvan::Client::Highlights
