// AssetFiles: which file a video url names. "/kyn-highlights-videos/assets/
// {name}" serves the file of that (percent-decoded) name from the current
// highlights folder, and nothing else:
//
//   std::optional<std::string> file = ResolveAsset("/home/me/highlights", "clip one.webm");
//   // "/home/me/highlights/clip one.webm" when that is a regular file
//
// Refused (no file): an empty name; a name holding "/", "\", "..", or a
// zero byte; a name that does not resolve to a regular file; and a file
// whose real path (symbolic links followed) lies outside the folder's real
// path, so a link inside the folder cannot lead out of it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Corvan::Host {

// The real path of the file to serve, or nothing.
[[nodiscard]] std::optional<std::string> ResolveAsset(const std::string& folder,
                                                      std::string_view name);

// The content type of a served file by its extension: "video/webm" for
// ".webm", "application/octet-stream" otherwise.
[[nodiscard]] const char* AssetContentType(std::string_view name);

}  // namespace Corvan::Host
