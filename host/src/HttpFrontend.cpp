#include "HttpFrontend.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>

#include "AnswerCache.h"
#include "AssetFiles.h"
#include "BodyCompression.h"
#include "JsonEncoding.h"
#include "WebFiles.h"
#include "binding/FlatProperty.h"
#include "routing/AsciiCase.h"

namespace Corvan::Host {

namespace {

// Every text this component answers with.
namespace Msg {
constexpr const char* kNotFound = "Not found";
constexpr const char* kBadBody = "Request body cannot be read: ";
constexpr const char* kRange = "Range not satisfiable";
constexpr const char* kStreamRead = "Reading the plugin's response stream failed";
constexpr const char* kMethod = "Method not implemented";
}  // namespace Msg

constexpr const char* kJson = "application/json";
constexpr std::string_view kAssetPrefix = "/kyn-highlights-videos/assets/";
// A plugin stream is read in pieces of this size, up to the limit.
constexpr std::uint32_t kStreamChunk = 64u << 10;
constexpr std::size_t kStreamLimit = 256u << 20;

std::uint32_t MethodCode(const std::string& method) {
  if (method == "GET" || method == "HEAD") return HTTP_METHOD_GET;  // HEAD answers like GET
  if (method == "DELETE") return HTTP_METHOD_DELETE;
  if (method == "OPTIONS") return HTTP_METHOD_OPTIONS;
  if (method == "PATCH") return HTTP_METHOD_PATCH;
  if (method == "POST") return HTTP_METHOD_POST;
  if (method == "PUT") return HTTP_METHOD_PUT;
  return HTTP_METHOD_NONE;
}

// Reads a plugin stream to its end and releases it once.
bool DrainStream(const HostResponse& source, std::string& body) {
  void* stream = source.stream;
  const HostStreamReadFunction read = source.streamRead;
  const HostStreamReleaseFunction release = source.streamRelease;
  bool ok = read != nullptr;
  std::uint8_t more = 1;
  std::vector<std::uint8_t> buffer(kStreamChunk);
  while (ok && more != 0 && body.size() < kStreamLimit) {
    std::uint32_t count = kStreamChunk;
    ok = read(stream, buffer.data(), &count, &more);
    if (ok) body.append(reinterpret_cast<const char*>(buffer.data()), std::min(count, kStreamChunk));
  }
  if (release != nullptr) release(stream);
  return ok;
}

// Headers the server computes itself.
bool ServerHeader(const char* name) {
  const std::string lower = AsciiLowered(name);
  return lower == "content-length" || lower == "transfer-encoding" || lower == "connection";
}

// The HTTP answer of a plugin response. A value's JSON comes from `cache`
// when one is given, which then keeps the response.
HttpReply PluginReply(HeldResponse held, AnswerCache* cache, const FunctionDescriptor& function) {
  const HostResponse& answer = held.get();
  const std::uint32_t status = HttpStatusOf(answer);
  HttpReply reply;
  reply.contentType = kJson;
  const HostHeaderPair* headers = answer.headers;
  for (std::uint32_t i = 0; headers != nullptr && i < answer.headerCount; ++i) {
    if (headers[i].name == nullptr || headers[i].value == nullptr) continue;
    if (AsciiLowered(headers[i].name) == "content-type") {
      reply.contentType = headers[i].value;
    } else if (!ServerHeader(headers[i].name)) {
      reply.headers.emplace_back(headers[i].name, headers[i].value);
    }
  }
  if (answer.result.hasError != 0) {
    if (answer.stream != nullptr && answer.streamRelease != nullptr) {
      answer.streamRelease(answer.stream);
    }
    HttpReply error = ErrorReply(status, ErrorTextOf(answer));
    error.headers = std::move(reply.headers);
    return error;
  }
  if (answer.stream != nullptr) {
    if (!DrainStream(answer, reply.body)) return ErrorReply(500, Msg::kStreamRead);
    reply.status = status == 204 ? 200 : status;
    // Streamed bytes are the plugin's own: labelled with the format it
    // names, unless it set a content type itself.
    if (reply.contentType == kJson) {
      const std::string_view named = ContentTypeOf(BodyFormatOfCode(answer.bodyFormat));
      reply.contentType = named.empty() ? "application/octet-stream" : std::string(named);
    }
    return reply;
  }
  reply.status = status;
  const FlatProperty value = ResultValue(answer.result);
  if (value.kind != FLAT_NULL) {
    if (cache != nullptr) {
      reply.sharedBody = cache->JsonOf(function, std::move(held));
    } else {
      reply.body = FlatToJson(value);
    }
  } else {
    reply.contentType.clear();
  }
  return reply;
}

// The answer for a listed video: the whole file or the one range asked for.
HttpReply AssetReply(const std::string& file, std::string_view name, std::string_view range) {
  UniqueFd descriptor(open(file.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (!descriptor || fstat(descriptor.get(), &info) != 0) return ErrorReply(404, Msg::kNotFound);
  const RangeAnswer part = AnswerRange(ParseRange(range), info.st_size);
  if (part.kind == RangeAnswer::Kind::Unsatisfiable) {
    HttpReply refused = ErrorReply(416, Msg::kRange);
    refused.headers.emplace_back("Content-Range", "bytes */" + std::to_string(info.st_size));
    return refused;
  }
  HttpReply reply;
  reply.contentType = AssetContentType(name);
  reply.headers.emplace_back("Accept-Ranges", "bytes");
  reply.file.file = std::move(descriptor);
  reply.file.length = static_cast<std::uint64_t>(info.st_size);
  if (part.kind == RangeAnswer::Kind::Part) {
    reply.status = 206;
    reply.file.offset = static_cast<std::uint64_t>(part.first);
    reply.file.length = static_cast<std::uint64_t>(part.last - part.first + 1);
    reply.headers.emplace_back("Content-Range", "bytes " + std::to_string(part.first) + "-" +
                                                    std::to_string(part.last) + "/" +
                                                    std::to_string(info.st_size));
  }
  return reply;
}

}  // namespace

// The host's own routes, tried in this order before the plugin's.
const HttpFrontend::Route HttpFrontend::kRoutes[] = {
    {"GET", "/events", false, &HttpFrontend::ServeEvents},
    {"GET", "/openapi.json", false, &HttpFrontend::ServeOpenApi},
    {"GET", kClipsPath, false, &HttpFrontend::ServeClips},
    {"GET", kAssetPrefix.data(), true, &HttpFrontend::ServeAsset},
    {nullptr, kConfigPath, false, &HttpFrontend::ServeResource},
    {nullptr, kSettingsPath, false, &HttpFrontend::ServeResource},
    {"POST", kTelemetryPrefix, true, &HttpFrontend::ServeResource},
};

void HttpFrontend::Start(FrontendParts parts) {
  parts_ = std::move(parts);
  server_.Start([this](HttpRequest&& request, HttpResponder respond) { Handle(std::move(request), respond); },
                parts_.events);
}

void HttpFrontend::Stop() {
  if (parts_.events != nullptr) parts_.events->Close();
  server_.Stop();
  // The held answers go back to the plugin while it is still there.
  answers_.Clear();
}

void HttpFrontend::Handle(HttpRequest&& request, const HttpResponder& respond) {
  const std::string_view path = request.Path();
  for (const Route& route : kRoutes) {
    const bool methodMatches = route.method == nullptr || request.method == route.method ||
                               (request.IsRead() && std::strcmp(route.method, "GET") == 0);
    const bool pathMatches = route.prefix ? path.starts_with(route.path) : path == route.path;
    if (methodMatches && pathMatches) return (this->*route.serve)(request, respond);
  }
  const std::uint32_t method = MethodCode(request.method);
  if (method == HTTP_METHOD_NONE) return respond(ErrorReply(501, Msg::kMethod));
  const FunctionDescriptor* descriptor =
      parts_.functions != nullptr ? parts_.functions->Find(method, "", request.target) : nullptr;
  if (descriptor != nullptr) return ServePlugin(request, respond, *descriptor);
  if (request.IsRead()) return ServeWebFile(request, respond);
  respond(ErrorReply(404, Msg::kNotFound));
}

void HttpFrontend::ServeEvents(HttpRequest&, const HttpResponder& respond) {
  HttpReply reply;
  reply.eventStream = true;
  reply.contentType = "text/event-stream";
  respond(std::move(reply));
}

void HttpFrontend::ServeOpenApi(HttpRequest& request, const HttpResponder& respond) {
  HttpReply reply = JsonReply(200, parts_.openApi);
  CompressReply(reply, request.Header("Accept-Encoding"));
  respond(std::move(reply));
}

void HttpFrontend::ServeClips(HttpRequest& request, const HttpResponder& respond) {
  if (parts_.clips == nullptr) return respond(ErrorReply(404, Msg::kNotFound));
  // Headers not read before are read now: blocking work.
  server_.RunBlocking([this, respond, accept = std::string(request.Header("Accept-Encoding"))] {
    HttpReply reply = JsonReply(200, parts_.clips->Json());
    CompressReply(reply, accept);
    respond(std::move(reply));
  });
}

void HttpFrontend::ServeWebFile(HttpRequest& request, const HttpResponder& respond) {
  std::optional<HttpReply> reply = WebFileReply(parts_.webRoot, request.Path());
  if (!reply) return respond(ErrorReply(404, Msg::kNotFound));
  CompressReply(*reply, request.Header("Accept-Encoding"));
  respond(std::move(*reply));
}

void HttpFrontend::ServePlugin(HttpRequest& request, const HttpResponder& respond,
                               const FunctionDescriptor& descriptor) {
  server_.RunBlocking([this, &descriptor, respond, request = std::move(request)]() mutable {
    const std::string accept(request.Header("Accept-Encoding"));
    OwnedRequest call;
    call.method = MethodCode(request.method);
    call.contentType = request.Header("Content-Type");
    call.path = std::move(request.target);
    call.headers = std::move(request.headers);
    call.body = std::move(request.body);
    // Reads may answer the very value of the previous read again.
    const bool read = call.method == HTTP_METHOD_GET;
    HttpReply reply = PluginReply(parts_.functions->Hold(descriptor, call, 0),
                                  read ? &answers_ : nullptr, descriptor);
    // A request that is no read may have changed what the plugin lists.
    if (!read && parts_.listed != nullptr) parts_.listed->Invalidate();
    CompressReply(reply, accept);
    respond(std::move(reply));
  });
}

void HttpFrontend::ServeResource(HttpRequest& request, const HttpResponder& respond) {
  const auto serve = [this, respond, request = std::move(request)] {
    const std::string contentType(request.Header("Content-Type"));
    BindingResult body =
        ReadResourceBody(contentType.c_str(),
                         reinterpret_cast<const std::uint8_t*>(request.body.data()),
                         request.body.size());
    if (!body.success) {
      return respond(ErrorReply(400, std::string(Msg::kBadBody) + body.ErrorText()));
    }
    const bool hasBody = !body.property.IsEmpty();
    ResourceAnswer answer = parts_.resources->Handle(MethodCode(request.method), request.Path(),
                                                     hasBody ? &body.property : nullptr);
    if (!answer.error.empty()) return respond(ErrorReply(answer.status, answer.error));
    HttpReply reply;
    reply.status = answer.status;
    if (answer.status != 204) reply = JsonReply(answer.status, PropertyToJson(answer.value));
    respond(std::move(reply));
  };
  // A change writes the settings file and publishes events: not on the I/O
  // thread.
  if (request.IsRead()) return serve();
  server_.RunBlocking(serve);
}

void HttpFrontend::ServeAsset(HttpRequest& request, const HttpResponder& respond) {
  const std::optional<std::string> name = DecodePercent(request.Path().substr(kAssetPrefix.size()));
  const std::optional<std::string> file =
      name ? ResolveAsset(parts_.resources->EffectiveFolder(), *name) : std::nullopt;
  if (!file || parts_.listed == nullptr) return respond(ErrorReply(404, Msg::kNotFound));
  const std::string range(request.Header("Range"));
  switch (parts_.listed->Check(*name, *file)) {
    case ListedFiles::Answer::Listed: return respond(AssetReply(*file, *name, range));
    case ListedFiles::Answer::NotListed: return respond(ErrorReply(404, Msg::kNotFound));
    case ListedFiles::Answer::Unknown: break;
  }
  // Asking the plugin for its list is blocking work.
  server_.RunBlocking([this, respond, name = *name, file = *file, range] {
    if (!parts_.listed->CheckFetching(name, file)) return respond(ErrorReply(404, Msg::kNotFound));
    respond(AssetReply(file, name, range));
  });
}

}  // namespace Corvan::Host
