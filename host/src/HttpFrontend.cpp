#include "HttpFrontend.h"

#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "AssetFiles.h"
#include "HostLog.h"
#include "JsonEncoding.h"
#include "binding/FlatProperty.h"
#include "binding/readers/JsonReader.h"
#include "routing/AsciiCase.h"

namespace Corvan::Host {

namespace {

// Every text this component answers with.
namespace Msg {
constexpr const char* kNotFound = "Not found";
constexpr const char* kBadJson = "Request body is not JSON: ";
constexpr const char* kRange = "Range not satisfiable";
constexpr const char* kStreamRead = "Reading the plugin's response stream failed";
}  // namespace Msg

constexpr const char* kJson = "application/json";
constexpr const char* kAssetPattern = "/kyn-highlights-videos/assets/(.+)";
// Request bodies above this size are refused by the server.
constexpr std::size_t kMaxBody = 64u << 20;
// Worker threads: each event stream client holds one.
constexpr std::size_t kWorkers = 16;
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

void SendError(httplib::Response& response, std::uint32_t status, std::string_view message) {
  response.status = static_cast<int>(status);
  response.set_content(ErrorBodyJson(status, message), kJson);
}

// Reads a plugin stream to its end and releases it once.
bool DrainStream(const HostResponse& source, std::string& body) {
  void* stream = source.stream;
  const HostStreamReadFunction read = source.streamRead;
  const HostStreamReleaseFunction release = source.streamRelease;
  bool ok = read != nullptr;
  std::uint8_t more = 1;
  while (ok && more != 0 && body.size() < kStreamLimit) {
    std::uint8_t buffer[kStreamChunk];
    std::uint32_t count = kStreamChunk;
    ok = read(stream, buffer, &count, &more);
    if (ok) body.append(reinterpret_cast<const char*>(buffer), std::min(count, kStreamChunk));
  }
  if (release != nullptr) release(stream);
  return ok;
}

// Headers the server computes itself.
bool ServerHeader(const std::string& name) {
  const std::string lower = AsciiLowered(name);
  return lower == "content-length" || lower == "transfer-encoding" || lower == "connection";
}

void WritePluginAnswer(const HostResponse& answer, httplib::Response& response) {
  std::uint32_t status = HttpStatusOf(answer);
  std::string contentType = kJson;
  const HostHeaderPair* headers = answer.headers;
  for (std::uint32_t i = 0; headers != nullptr && i < answer.headerCount; ++i) {
    if (headers[i].name == nullptr || headers[i].value == nullptr) continue;
    if (AsciiLowered(headers[i].name) == "content-type") {
      contentType = headers[i].value;
    } else if (!ServerHeader(headers[i].name)) {
      response.set_header(headers[i].name, headers[i].value);
    }
  }
  if (answer.result.hasError != 0) {
    if (answer.stream != nullptr && answer.streamRelease != nullptr) {
      answer.streamRelease(answer.stream);
    }
    return SendError(response, status, ErrorTextOf(answer));
  }
  if (answer.stream != nullptr) {
    std::string body;
    if (!DrainStream(answer, body)) return SendError(response, 500, Msg::kStreamRead);
    response.status = static_cast<int>(status == 204 ? 200 : status);
    if (contentType == kJson) contentType = "application/octet-stream";
    response.set_content(std::move(body), contentType.c_str());
    return;
  }
  response.status = static_cast<int>(status);
  const FlatProperty value = ResultValue(answer.result);
  if (value.kind != FLAT_NULL) response.set_content(FlatToJson(value), contentType.c_str());
}

// An Accept-Encoding value without its "br" entries.
std::string WithoutBrotli(std::string_view accepted) {
  std::string kept;
  while (!accepted.empty()) {
    const std::size_t comma = accepted.find(',');
    std::string_view entry = accepted.substr(0, comma);
    accepted.remove_prefix(comma == accepted.npos ? accepted.size() : comma + 1);
    while (!entry.empty() && entry.front() == ' ') entry.remove_prefix(1);
    if (entry.empty() || entry.substr(0, entry.find(';')) == "br") continue;
    if (!kept.empty()) kept += ", ";
    kept += entry;
  }
  return kept;
}

}  // namespace

HttpFrontend::HttpFrontend(FrontendParts parts)
    : parts_(std::move(parts)), server_(std::make_unique<httplib::Server>()) {
  server_->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  server_->set_payload_max_length(kMaxBody);
  // The library's default also sets SO_REUSEPORT, with which a second host
  // binds the same port and silently shares its requests; SO_REUSEADDR
  // alone still lets a restarted host take its port back at once.
  // TCP_NODELAY, inherited by the accepted connections, keeps small answers
  // from waiting for the client's delayed acknowledgement.
  server_->set_socket_options([](socket_t socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  });
  // The library compresses with brotli at its slowest setting whenever a
  // browser accepts it: 5 s for the list of 10,000 highlights, where gzip
  // takes a fortieth of that. Browsers are offered gzip instead.
  server_->set_pre_routing_handler([](const httplib::Request& request, httplib::Response&) {
    auto& headers = const_cast<httplib::Headers&>(request.headers);
    const auto found = headers.find("Accept-Encoding");
    if (found != headers.end()) found->second = WithoutBrotli(found->second);
    return httplib::Server::HandlerResponse::Unhandled;
  });
  Routes();
}

HttpFrontend::~HttpFrontend() { Stop(); }

void HttpFrontend::Routes() {
  httplib::Server& s = *server_;
  s.Get("/events", [this](const httplib::Request&, httplib::Response& response) {
    parts_.events->Serve(response);
  });
  s.Get("/openapi.json", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(parts_.openApi, kJson);
  });
  // The viewer's clip facts (ClipInfo).
  if (parts_.clips != nullptr) {
    s.Get(kClipsPath, [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(parts_.clips->Json(), kJson);
    });
  }
  s.Get(kAssetPattern, [this](const httplib::Request& request, httplib::Response& response) {
    ServeAsset(request, response);
  });
  for (const char* path : {kConfigPath, kSettingsPath}) {
    s.Get(path, [this](const auto& q, auto& r) { ServeResource(q, r, HTTP_METHOD_GET); });
    s.Put(path, [this](const auto& q, auto& r) { ServeResource(q, r, HTTP_METHOD_PUT); });
    s.Post(path, [this](const auto& q, auto& r) { ServeResource(q, r, HTTP_METHOD_POST); });
    s.Delete(path, [this](const auto& q, auto& r) { ServeResource(q, r, HTTP_METHOD_DELETE); });
  }
  s.Post(std::string(kTelemetryPrefix) + ".+",
         [this](const auto& q, auto& r) { ServeResource(q, r, HTTP_METHOD_POST); });
  const auto plugin = [this](const httplib::Request& q, httplib::Response& r) {
    ServePlugin(q, r);
  };
  s.Get(".*", plugin);
  s.Post(".*", plugin);
  s.Put(".*", plugin);
  s.Patch(".*", plugin);
  s.Delete(".*", plugin);
  s.Options(".*", plugin);
  std::error_code error;
  if (!parts_.webRoot.empty() && std::filesystem::is_directory(parts_.webRoot, error)) {
    s.set_mount_point("/", parts_.webRoot);
  }
}

bool HttpFrontend::Start(std::uint16_t port) {
  if (port == 0) {
    const int bound = server_->bind_to_any_port("127.0.0.1");
    if (bound <= 0) return false;
    port_ = static_cast<std::uint16_t>(bound);
  } else {
    if (!server_->bind_to_port("127.0.0.1", port)) return false;
    port_ = port;
  }
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  return true;
}

void HttpFrontend::Stop() {
  if (parts_.events != nullptr) parts_.events->Close();
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

void HttpFrontend::ServePlugin(const httplib::Request& request, httplib::Response& response) {
  OwnedRequest call;
  call.method = MethodCode(request.method);
  call.path = request.target.empty() ? request.path : request.target;
  for (const auto& [name, value] : request.headers) call.headers.emplace_back(name, value);
  call.contentType = request.get_header_value("Content-Type");
  call.body = request.body;
  const FunctionDescriptor* descriptor =
      parts_.functions != nullptr ? parts_.functions->Find(call.method, "", call.path) : nullptr;
  if (descriptor == nullptr) return SendError(response, 404, Msg::kNotFound);
  parts_.functions->Call(*descriptor, call, 0, [&](const HostResponse& answer) {
    WritePluginAnswer(answer, response);
  });
}

void HttpFrontend::ServeResource(const httplib::Request& request, httplib::Response& response,
                                 std::uint32_t method) {
  BindingResult body = ReadJson(request.body);
  if (!body.success) {
    return SendError(response, 400, std::string(Msg::kBadJson) + body.ErrorText());
  }
  const bool hasBody = !body.property.IsEmpty();
  ResourceAnswer answer =
      parts_.resources->Handle(method, request.path, hasBody ? &body.property : nullptr);
  if (!answer.error.empty()) return SendError(response, answer.status, answer.error);
  response.status = static_cast<int>(answer.status);
  if (answer.status != 204) response.set_content(PropertyToJson(answer.value), kJson);
}

void HttpFrontend::ServeAsset(const httplib::Request& request, httplib::Response& response) {
  const std::string name = request.matches[1];
  const std::optional<std::string> file =
      ResolveAsset(parts_.resources->EffectiveFolder(), name);
  const int descriptor = file ? open(file->c_str(), O_RDONLY | O_CLOEXEC) : -1;
  struct stat info {};
  // The server cuts the request's ranges out of any answer as they stand,
  // an error body included, and a range past the end of the file would get
  // a wrong Content-Range and a body it cannot fill; so the ranges are
  // checked here and replaced by the one to serve, or none.
  httplib::Ranges& ranges = const_cast<httplib::Request&>(request).ranges;
  if (descriptor < 0 || fstat(descriptor, &info) != 0) {
    if (descriptor >= 0) close(descriptor);
    ranges.clear();
    return SendError(response, 404, Msg::kNotFound);
  }
  RangeRequest asked;
  for (const auto& [first, last] : ranges) asked.ranges.emplace_back(first, last);
  const RangeAnswer range = AnswerRange(asked, info.st_size);
  ranges.clear();
  if (range.kind == RangeAnswer::Kind::Unsatisfiable) {
    close(descriptor);
    response.set_header("Content-Range", "bytes */" + std::to_string(info.st_size));
    return SendError(response, 416, Msg::kRange);
  }
  if (range.kind == RangeAnswer::Kind::Part) ranges.emplace_back(range.first, range.last);
  response.set_header("Accept-Ranges", "bytes");
  // The status stays unset: the server answers 206 with the requested
  // part when the request has a Range header, else 200.
  response.set_content_provider(
      static_cast<std::size_t>(info.st_size), AssetContentType(name),
      [descriptor](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        char buffer[kStreamChunk];
        const ssize_t count = pread(descriptor, buffer, std::min<std::size_t>(length, sizeof buffer),
                                    static_cast<off_t>(offset));
        if (count <= 0) return false;
        return sink.write(buffer, static_cast<std::size_t>(count));
      },
      [descriptor](bool) { close(descriptor); });
}

}  // namespace Corvan::Host
