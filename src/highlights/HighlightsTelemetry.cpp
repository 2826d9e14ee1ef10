#include "highlights/HighlightsTelemetry.h"

#include <chrono>
#include <cstdint>

namespace Corvan::Client::Highlights {

namespace {

constexpr char kEventPrefix[] = "tqp-be-kyn-highlights.";

std::int64_t NowSeconds() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

std::int64_t CurrentUnixMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

const std::string kSessionScanEventName = std::string(kEventPrefix) + "sessionScan";

HighlightsTelemetry::HighlightsTelemetry(TelemetrySink* sink)
    : sessionStartEpochSeconds_(std::to_string(NowSeconds())), sink_(sink) {}

HighlightsTelemetry::~HighlightsTelemetry() = default;

void HighlightsTelemetry::ReportSessionScan(const std::vector<Api::Highlight>& records) const {
  if (sink_ == nullptr) return;
  std::string sizes = "[";
  for (const Api::Highlight& record : records) {
    if (record.fileSizeBytes == 0) continue;
    if (sizes.size() > 1) sizes.push_back(',');
    sizes += std::to_string(record.fileSizeBytes);
  }
  sizes.push_back(']');
  TelemetryFields fields;
  fields["sessionStartEpochSeconds"] = sessionStartEpochSeconds_;
  fields["timeMillis"] = std::to_string(CurrentUnixMilliseconds());
  fields["fileSizeBytes"] = std::move(sizes);
  // The sink's answer changes nothing here.
  static_cast<void>(sink_->Send(kSessionScanEventName, fields));
}

}  // namespace Corvan::Client::Highlights
