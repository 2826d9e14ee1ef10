// HttpFrontend: what the host answers over HTTP on 127.0.0.1, on top of the
// HttpServer.
//
//   GET  /events                               Server-Sent Events of every event
//   GET  /openapi.json                         the plugin's API as OpenAPI 3.0
//   GET  /kyn-host/v1/clips                    the listed clips' durations and sizes
//   GET  /kyn-highlights-videos/assets/{name}  a video the plugin lists
//   GET, PUT  the host's resources; POST /telemetry/v1/events/{name}
//   any  a path matching a plugin function's method and route template
//   GET  other paths: the web viewer's files, when its folder holds them
//
// A plugin function gets the raw path with its query, the request headers,
// the content type and the body; its answer goes out as JSON with this
// status: the response's status when set; otherwise 400 for an error, 204
// for the empty success result and 200 for a value. Error answers carry
// {"httpStatus": n, "message": text}; an unknown path is 404 "Not found".
// Calls into the plugin run as the server's blocking work; everything else
// is answered on the I/O thread. JSON and text answers are compressed when
// the client asks and the size makes it worth it; videos never are.
//
//   HttpFrontend http;
//   if (std::string error = http.Bind(8512); !error.empty()) ...;   // before the plugin loads
//   http.Start(parts);   // then http.port()
//   http.Stop();
#pragma once

#include <cstdint>
#include <string>

#include "AnswerCache.h"
#include "ClipInfo.h"
#include "EventStream.h"
#include "HostResources.h"
#include "HttpServer.h"
#include "ListedFiles.h"
#include "PluginFunctions.h"

namespace Corvan::Host {

struct FrontendParts {
  const PluginFunctions* functions = nullptr;
  HostResources* resources = nullptr;
  EventStream* events = nullptr;
  ListedFiles* listed = nullptr;
  ClipCatalog* clips = nullptr;
  // The OpenAPI document, rendered once.
  std::string openApi;
  // The web viewer's directory.
  std::string webRoot;
};

class HttpFrontend {
 public:
  explicit HttpFrontend(HttpLimits limits = {}) : server_(limits) {}
  HttpFrontend(const HttpFrontend&) = delete;
  HttpFrontend& operator=(const HttpFrontend&) = delete;

  // Binds 127.0.0.1 at the port (0: a free one); the reason when that
  // fails, "" on success.
  [[nodiscard]] std::string Bind(std::uint16_t port) { return server_.Bind(port); }
  // Starts answering with these parts.
  void Start(FrontendParts parts);
  // The bound port.
  std::uint16_t port() const { return server_.port(); }
  // Ends the event streams, closes every connection and joins the threads.
  void Stop();

 private:
  // One host route: its method ("GET" takes HEAD too; null: every method),
  // its path, matched whole or as a prefix, and its handler.
  struct Route {
    const char* method;
    const char* path;
    bool prefix;
    void (HttpFrontend::*serve)(HttpRequest& request, const HttpResponder& respond);
  };
  static const Route kRoutes[];

  void Handle(HttpRequest&& request, const HttpResponder& respond);
  void ServeEvents(HttpRequest& request, const HttpResponder& respond);
  void ServeOpenApi(HttpRequest& request, const HttpResponder& respond);
  void ServeClips(HttpRequest& request, const HttpResponder& respond);
  void ServeAsset(HttpRequest& request, const HttpResponder& respond);
  void ServeResource(HttpRequest& request, const HttpResponder& respond);
  void ServePlugin(HttpRequest& request, const HttpResponder& respond,
                   const FunctionDescriptor& descriptor);
  void ServeWebFile(HttpRequest& request, const HttpResponder& respond);

  FrontendParts parts_;
  AnswerCache answers_;
  HttpServer server_;
};

}  // namespace Corvan::Host
