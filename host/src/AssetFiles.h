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

// The real path of `relative` (one name, or names joined by "/", none of
// them empty, "." or "..") when it is a regular file inside the real path
// of `folder`; nothing otherwise.
[[nodiscard]] std::optional<std::string> ResolveInside(const std::string& folder,
                                                       std::string_view relative);

// The path with symbolic links, "." and ".." resolved, or nothing when it
// does not exist.
[[nodiscard]] std::optional<std::string> RealPath(const std::string& path);

// Percent-decodes a path piece ("with%20space.webm" is "with space.webm");
// nothing when a "%" is not followed by two hexadecimal digits.
[[nodiscard]] std::optional<std::string> DecodePercent(std::string_view text);

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

// The ranges of a Range header value ("bytes=0-99", "bytes=-500",
// "bytes=5-"); none when the header is absent, of another unit or
// malformed, which means the whole file.
[[nodiscard]] RangeRequest ParseRange(std::string_view header);

// The content type of a served file by its extension: "video/webm" for
// ".webm", "application/octet-stream" otherwise.
[[nodiscard]] const char* AssetContentType(std::string_view name);

}  // namespace Corvan::Host
