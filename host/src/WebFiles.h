// WebFiles: the web viewer's files, served at "/" from the viewer's folder
// ("/" is its index.html). They go out with a Content-Security-Policy that
// lets the page load scripts, styles, videos and data from this host only,
// and with "X-Content-Type-Options: nosniff", so that a browser takes each
// file for the type the host names and nothing else.
//
//   std::optional<HttpReply> file = WebFileReply("host/web", "/app.js");
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "HttpMessage.h"

namespace Corvan::Host {

inline constexpr const char* kViewerPolicy =
    "default-src 'self'; img-src 'self' data: blob:; media-src 'self' blob:; object-src 'none'; "
    "base-uri 'none'; form-action 'self'; frame-ancestors 'none'";

// The content type of a viewer file by its extension.
[[nodiscard]] const char* WebContentType(std::string_view name);

// The viewer's file for a request path (percent-encoded, without query),
// or nothing when the folder holds no such regular file.
[[nodiscard]] std::optional<HttpReply> WebFileReply(const std::string& root, std::string_view path);

}  // namespace Corvan::Host
