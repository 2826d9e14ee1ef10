// LoopbackGuard: keeps web pages of other sites away from the host. A page
// anywhere can make a browser send requests to 127.0.0.1, and through DNS
// rebinding even read the answers under a name of its own; two header checks
// stop both before the host does any work for the request:
//
//   - the Host header must name this server: "127.0.0.1" or "localhost" with
//     the listening port (the port may be left out only when it is 80);
//   - a request that changes state (POST, PUT, PATCH, DELETE) and carries an
//     Origin header must come from the host's own origin,
//     "http://127.0.0.1:PORT" or "http://localhost:PORT".
//
//   if (!IsOwnHost(request.Header("Host"), port)) -> 421
//   if (ChangesState(request.method) && !IsOwnOrigin(origin, port)) -> 403
#pragma once

#include <cstdint>
#include <string_view>

namespace Corvan::Host {

// True when the Host header value names this server on `port`.
[[nodiscard]] bool IsOwnHost(std::string_view host, std::uint16_t port);

// True when the Origin header value is the host's own origin.
[[nodiscard]] bool IsOwnOrigin(std::string_view origin, std::uint16_t port);

// True for the methods a page must not send from another origin.
[[nodiscard]] bool ChangesState(std::string_view method);

}  // namespace Corvan::Host
