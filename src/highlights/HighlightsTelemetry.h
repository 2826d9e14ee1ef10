// HighlightsTelemetry: the highlights plugin's telemetry events. The one
// event so far reports the first successful scan of a plugin's life with
// the sizes of the videos found.
//
//   HighlightsTelemetry telemetry(sink);   // remembers the session start
//   telemetry.ReportSessionScan(records);  // "tqp-be-kyn-highlights.sessionScan"
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "highlights/Api.h"
#include "plugin/TelemetrySink.h"

namespace Corvan::Client::Highlights {

// The current time in milliseconds since 1970-01-01T00:00:00Z.
[[nodiscard]] std::int64_t CurrentUnixMilliseconds();

// The session-scan event's name.
extern const std::string kSessionScanEventName;

class HighlightsTelemetry {
 public:
  // The sink may be null (nothing is sent) and must outlive this object.
  explicit HighlightsTelemetry(TelemetrySink* sink);
  virtual ~HighlightsTelemetry();

  // Sends the session-scan event: the common fields and "fileSizeBytes",
  // the non-zero sizes of the records as "[a,b]".
  void ReportSessionScan(const std::vector<Api::Highlight>& records) const;

  [[nodiscard]] const std::string& sessionStartEpochSeconds() const {
    return sessionStartEpochSeconds_;
  }

 private:
  std::string sessionStartEpochSeconds_;
  TelemetrySink* sink_;
};

}  // namespace Corvan::Client::Highlights
