// HttpFrontend: the host's HTTP server on 127.0.0.1 (cpp-httplib).
//
//   GET  /events                               Server-Sent Events of every event
//   GET  /openapi.json                         the plugin's API as OpenAPI 3.0
//   GET  /kyn-host/v1/clips                    the listed clips' durations and sizes
//   GET  /kyn-highlights-videos/assets/{name}  a video of the current folder
//   GET, PUT  the host's resources; POST /telemetry/v1/events/{name}
//   any  a path matching a plugin function's method and route template
//   GET  other paths: the web viewer's static files, when its folder exists
//
// A plugin function gets the raw path with its query, the request headers,
// the content type and the body; its answer goes out as JSON with this
// status: the response's status when set; otherwise 400 for an error, 204
// for the empty success result and 200 for a value. Error answers carry
// {"httpStatus": n, "message": text}; an unknown path is 404 "Not found".
//
//   HttpFrontend http(deps);
//   if (!http.Start(8512)) ...;   // then http.port()
//   http.Stop();
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "ClipInfo.h"
#include "EventStream.h"
#include "HostResources.h"
#include "PluginFunctions.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace Corvan::Host {

struct FrontendParts {
  const PluginFunctions* functions = nullptr;
  HostResources* resources = nullptr;
  EventStream* events = nullptr;
  ClipCatalog* clips = nullptr;
  // The OpenAPI document, rendered once.
  std::string openApi;
  // The web viewer's directory; not served when it does not exist.
  std::string webRoot;
};

class HttpFrontend {
 public:
  explicit HttpFrontend(FrontendParts parts);
  ~HttpFrontend();
  HttpFrontend(const HttpFrontend&) = delete;
  HttpFrontend& operator=(const HttpFrontend&) = delete;

  // Binds 127.0.0.1 at the port (0: a free one) and serves on a thread of
  // its own; false when the port cannot be bound.
  [[nodiscard]] bool Start(std::uint16_t port);
  // The bound port.
  std::uint16_t port() const { return port_; }
  // Ends the event streams, stops accepting and joins the server.
  void Stop();

 private:
  void Routes();
  void ServePlugin(const httplib::Request& request, httplib::Response& response);
  void ServeResource(const httplib::Request& request, httplib::Response& response,
                     std::uint32_t method);
  void ServeAsset(const httplib::Request& request, httplib::Response& response);

  FrontendParts parts_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::uint16_t port_ = 0;
};

}  // namespace Corvan::Host
