#include "BodyCompression.h"

#include <brotli/encode.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>

#include "routing/AsciiCase.h"

namespace Corvan::Host {

namespace {

constexpr int kBrotliQuality = 1;
constexpr int kGzipLevel = 1;
// zlib's window bits for a gzip wrapper.
constexpr int kGzipWindow = 15 + 16;

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The weight an item's parameters give ("; q=0.5"), 1 without one.
double Weight(std::string_view parameters) {
  const std::string lowered = AsciiLowered(parameters);
  const std::size_t q = lowered.find("q=");
  return q == std::string::npos ? 1.0 : std::strtod(lowered.c_str() + q + 2, nullptr);
}

// True when the coding is listed with a weight above zero.
bool Accepts(std::string_view accept, std::string_view coding) {
  std::size_t start = 0;
  while (start < accept.size()) {
    const std::size_t end = std::min(accept.find(',', start), accept.size());
    const std::string_view item = accept.substr(start, end - start);
    start = end + 1;
    const std::size_t semicolon = std::min(item.find(';'), item.size());
    if (AsciiLowered(Trimmed(item.substr(0, semicolon))) != coding) continue;
    return Weight(item.substr(semicolon)) > 0.0;
  }
  return false;
}

bool CompressibleType(std::string_view contentType) {
  const std::string type = AsciiLowered(contentType.substr(0, contentType.find(';')));
  return type == "application/json" || type.starts_with("text/") || type == "image/svg+xml" ||
         type == "application/javascript";
}

bool Gzip(std::string_view input, std::string& output) {
  z_stream stream{};
  if (deflateInit2(&stream, kGzipLevel, Z_DEFLATED, kGzipWindow, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    return false;
  }
  output.resize(deflateBound(&stream, static_cast<uLong>(input.size())));
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  stream.avail_in = static_cast<uInt>(input.size());
  stream.next_out = reinterpret_cast<Bytef*>(output.data());
  stream.avail_out = static_cast<uInt>(output.size());
  const int result = deflate(&stream, Z_FINISH);
  output.resize(stream.total_out);
  deflateEnd(&stream);
  return result == Z_STREAM_END;
}

bool Brotli(std::string_view input, std::string& output) {
  std::size_t size = BrotliEncoderMaxCompressedSize(input.size());
  output.resize(size);
  const bool ok = BrotliEncoderCompress(
                      kBrotliQuality, BROTLI_DEFAULT_WINDOW, BROTLI_MODE_TEXT, input.size(),
                      reinterpret_cast<const std::uint8_t*>(input.data()), &size,
                      reinterpret_cast<std::uint8_t*>(output.data())) == BROTLI_TRUE;
  output.resize(ok ? size : 0);
  return ok;
}

}  // namespace

BodyEncoding ChooseEncoding(std::string_view acceptEncoding) {
  if (Accepts(acceptEncoding, "br")) return BodyEncoding::Brotli;
  if (Accepts(acceptEncoding, "gzip")) return BodyEncoding::Gzip;
  return BodyEncoding::Identity;
}

bool Compress(BodyEncoding encoding, std::string_view input, std::string& output) {
  switch (encoding) {
    case BodyEncoding::Identity: output.assign(input); return true;
    case BodyEncoding::Gzip: return Gzip(input, output);
    case BodyEncoding::Brotli: return Brotli(input, output);
  }
  return false;
}

void CompressReply(HttpReply& reply, std::string_view acceptEncoding) {
  if (reply.file.file || reply.eventStream || !CompressibleType(reply.contentType)) return;
  const std::string_view body = reply.sharedBody ? std::string_view(*reply.sharedBody)
                                                 : std::string_view(reply.body);
  if (body.size() < kMinimumSize) return;
  reply.headers.emplace_back("Vary", "Accept-Encoding");
  const BodyEncoding encoding = ChooseEncoding(acceptEncoding);
  if (encoding == BodyEncoding::Identity) return;
  std::string compressed;
  if (!Compress(encoding, body, compressed) || compressed.size() >= body.size()) return;
  reply.sharedBody.reset();
  reply.body = std::move(compressed);
  reply.headers.emplace_back("Content-Encoding", encoding == BodyEncoding::Gzip ? "gzip" : "br");
}

}  // namespace Corvan::Host
