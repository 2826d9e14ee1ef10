// AssetFiles: which file a video url names. "/kyn-highlights-videos/assets/
// {name}" serves the file of that (percent-decoded) name from the current
// highlights folder, and nothing else:
//
//   std::optional<std::string> file = ResolveAsset("/home/me/highlights", "clip one.webm");
//   // "/home/me/highlights/clip one.webm" when that is a regular file
//
// Refused (no file): an empty name; "." and ".."; a name holding "/", "\"
// or a zero byte; a name that does not resolve to a regular file; and a file
// whose real path (symbolic links followed) lies outside the folder's real
// path, so a link inside the folder cannot lead out of it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Corvan::Host {

// The real path of the file to serve, or nothing.
[[nodiscard]] std::optional<std::string> ResolveAsset(const std::string& folder,
                                                      std::string_view name);

// What a Range header asks of a file of `size` bytes. One range is served
// as asked, with its end clamped to the file; a suffix range ("-500") is
// the last bytes; a range that starts past the end is unsatisfiable (416).
// Several ranges are answered with the whole file, which the protocol
// allows.
struct RangeRequest {
  // Each range as parsed: first and last byte, -1 where the header leaves
  // one out.
  std::vector<std::pair<long long, long long>> ranges;
};
struct RangeAnswer {
  enum class Kind { Whole, Part, Unsatisfiable } kind = Kind::Whole;
  // The bytes to send with Part, both included.
  long long first = 0;
  long long last = 0;
};
[[nodiscard]] RangeAnswer AnswerRange(const RangeRequest& request, long long size);

// The content type of a served file by its extension: "video/webm" for
// ".webm", "application/octet-stream" otherwise.
[[nodiscard]] const char* AssetContentType(std::string_view name);

}  // namespace Corvan::Host
