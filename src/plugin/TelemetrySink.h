// TelemetrySink: reports named telemetry events to the host's telemetry
// endpoint.
//
//   TelemetrySink sink(client);
//   std::future<TelemetryOutcome> sent =
//       sink.Send("tqp-be-kyn-highlights.sessionScan", {{"timeMillis", "12"}});
//
// The post is made before Send returns, so the future is already complete; a
// failed post stays in the future and is not logged, since telemetry must
// never disturb the plugin. Send is virtual so that a plugin's tests can
// put a recording sink in its place.
#pragma once

#include <future>
#include <string>
#include <string_view>
#include <unordered_map>

#include "plugin/EndpointClient.h"

namespace Corvan {

// The fields of one telemetry event.
using TelemetryFields = std::unordered_map<std::string, std::string>;
// What the post of one event came to.
using TelemetryOutcome = CallOutcome<BindingProperty>;

class TelemetrySink {
 public:
  // The path every event is posted under, followed by the event's name.
  static constexpr char kEventsPath[] = "/telemetry/v1/events/";

  // The client must outlive the sink.
  explicit TelemetrySink(const EndpointClient& client) : client_(&client) {}
  virtual ~TelemetrySink();
  TelemetrySink(const TelemetrySink&) = delete;
  TelemetrySink& operator=(const TelemetrySink&) = delete;

  // Posts the event with its fields as the one unnamed argument.
  [[nodiscard]] virtual std::future<TelemetryOutcome> Send(std::string_view eventName,
                                                           const TelemetryFields& fields);

 private:
  const EndpointClient* client_;
};

}  // namespace Corvan
