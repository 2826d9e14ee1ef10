#include "WebFiles.h"

#include <fstream>
#include <sstream>

#include "AssetFiles.h"
#include "routing/AsciiCase.h"

namespace Corvan::Host {

namespace {

struct TypeByExtension {
  const char* extension;
  const char* type;
};

constexpr TypeByExtension kTypes[] = {
    {".html", "text/html; charset=utf-8"},
    {".js", "text/javascript; charset=utf-8"},
    {".mjs", "text/javascript; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},
    {".json", "application/json"},
    {".map", "application/json"},
    {".svg", "image/svg+xml"},
    {".png", "image/png"},
    {".jpg", "image/jpeg"},
    {".webp", "image/webp"},
    {".ico", "image/x-icon"},
    {".woff2", "font/woff2"},
    {".webm", "video/webm"},
    {".txt", "text/plain; charset=utf-8"},
};

}  // namespace

const char* WebContentType(std::string_view name) {
  const std::string lowered = AsciiLowered(name);
  for (const TypeByExtension& entry : kTypes) {
    if (std::string_view(lowered).ends_with(entry.extension)) return entry.type;
  }
  return "application/octet-stream";
}

std::optional<HttpReply> WebFileReply(const std::string& root, std::string_view path) {
  const std::optional<std::string> decoded = DecodePercent(path);
  if (!decoded || decoded->empty() || decoded->front() != '/') return std::nullopt;
  std::string_view relative = std::string_view(*decoded).substr(1);
  if (relative.empty()) relative = "index.html";
  const std::optional<std::string> file = ResolveInside(root, relative);
  if (!file) return std::nullopt;
  std::ifstream stream(*file, std::ios::binary);
  std::ostringstream bytes;
  if (!(bytes << stream.rdbuf())) bytes.str("");  // an empty file reads as nothing
  HttpReply reply;
  reply.contentType = WebContentType(*file);
  reply.body = std::move(bytes).str();
  reply.headers.emplace_back("Content-Security-Policy", kViewerPolicy);
  reply.headers.emplace_back("Cache-Control", "no-cache");
  return reply;
}

}  // namespace Corvan::Host
