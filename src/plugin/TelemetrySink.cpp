#include "plugin/TelemetrySink.h"

#include <utility>

namespace Corvan {

TelemetrySink::~TelemetrySink() = default;

std::future<TelemetryOutcome> TelemetrySink::Send(std::string_view eventName,
                                                  const TelemetryFields& fields) {
  std::string path(kEventsPath);
  path.append(eventName);
  std::promise<TelemetryOutcome> sent;
  sent.set_value(client_->Post(path, fields));
  return sent.get_future();
}

}  // namespace Corvan
