// Revealing a highlight file in the file browser: its folder opened with
// the file selected, for the file-browser endpoint.
//
//   switch (ShowInFileBrowser(highlight.filepath)) { ... }
//
// Only a failure to open is logged here; the endpoint answers each result
// with its own text.
#pragma once

#include <cstdint>
#include <string>

namespace Corvan::Client::Highlights {

enum class ShowInFileBrowserResult : std::int32_t {
  Succeeded = 0,     // the folder is open with the file selected
  FileNotFound = 1,  // the path names nothing the shell can show
  OpenFailed = 2,    // the shell failed to open the folder
};

// Opens the folder of a file (UTF-8 path) with the file selected.
[[nodiscard]] ShowInFileBrowserResult ShowInFileBrowser(const std::string& path);

// The path with every "/" turned into "\", as the Windows shell needs it.
std::string ConvertSlashesToBackslashes(std::string path);

}  // namespace Corvan::Client::Highlights
