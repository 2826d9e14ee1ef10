#include "plugin/EndpointClient.h"

#include <algorithm>
#include <cstring>

#include "binding/FlatProperty.h"
#include "logging/FormatPositional.h"
#include "routing/BodyFormat.h"
#include "routing/RouteTemplate.h"

namespace Corvan {
namespace {

// A size hint from the host is only a hint: a wrong one must not make the
// plugin reserve gigabytes before the first byte arrives.
constexpr std::uint32_t kMaxReservedStreamBytes = 1u << 20;

CallError MakeError(std::uint32_t status, const char* format, HttpMethod method,
                    std::string_view url, const char* cause) {
  const std::string urlText(url);
  return {status, FormatPositionalText(format, HttpMethodName(method), urlText, cause)};
}

CallOutcome<BindingProperty> Failed(CallError error) {
  CallOutcome<BindingProperty> outcome;
  outcome.failed = true;
  outcome.error = std::move(error);
  return outcome;
}

// Owns the flat forms of the parameters for the duration of one call.
class FlatArguments {
 public:
  FlatArguments(const std::vector<BindingProperty>& values, const BindingRegistry* registry)
      : flats_(values.size()), entries_(values.size()) {
    for (std::size_t i = 0; i < values.size(); ++i) {
      flats_[i] = FlatProperty{};
      ToFlatProperty(values[i], flats_[i], registry);
      entries_[i].name = nullptr;
      entries_[i].value = flats_[i];
    }
  }
  ~FlatArguments() {
    for (FlatProperty& flat : flats_) ReleaseFlatProperty(flat);
  }
  FlatArguments(const FlatArguments&) = delete;
  FlatArguments& operator=(const FlatArguments&) = delete;

  const HostDirectArgument* data() const { return entries_.empty() ? nullptr : entries_.data(); }
  std::uint32_t count() const { return static_cast<std::uint32_t>(entries_.size()); }

 private:
  std::vector<FlatProperty> flats_;
  std::vector<HostDirectArgument> entries_;
};

// Hands a filled response back to its filler, once; a host that stored no
// release function keeps what it allocated.
void ReleaseResponse(HostResponse& response) {
  const HostResponseReleaseFunction release = response.release;
  if (release != nullptr) release(&response);
}

}  // namespace

CallOutcome<BindingProperty> EndpointClient::ParameterFailure(HttpMethod method,
                                                              std::string_view url,
                                                              const std::string& cause) {
  return Failed(MakeError(EndpointMessages::kParameterStatus, EndpointMessages::kParameters, method,
                          url, cause.c_str()));
}

CallError EndpointClient::ConvertFailure(HttpMethod method, std::string_view url,
                                         const char* cause) {
  return MakeError(0, EndpointMessages::kConvertResponse, method, url, cause);
}

CallOutcome<BindingProperty> EndpointClient::Send(
    HttpMethod method, std::string_view url, const std::vector<BindingProperty>& arguments) const {
  const std::string path(url);
  if (api_ == nullptr || api_->callEndpoint == nullptr) {
    return Failed(MakeError(0, EndpointMessages::kErrorResponse, method, url, "no host"));
  }
  const FlatArguments flat(arguments, registry_);
  HostRequest request{};
  request.method = static_cast<std::uint32_t>(method);
  request.path = path.c_str();
  request.directArguments = flat.data();
  request.directArgumentCount = flat.count();
  request.callerId = connection_;

  HostResponse response;
  std::memset(&response, 0, sizeof response);
  api_->callEndpoint(api_, &response, &request);

  const FlatResult result = response.result;
  CallOutcome<BindingProperty> outcome;
  if (result.hasError != 0 || result.error != nullptr) {
    const HostStreamReleaseFunction releaseStream = response.streamRelease;
    void* const stream = response.stream;
    if (stream != nullptr && releaseStream != nullptr) releaseStream(stream);
    const char* cause = result.error != nullptr ? result.error : "";
    outcome = Failed(
        MakeError(response.statusCode, EndpointMessages::kErrorResponse, method, url, cause));
  } else {
    outcome = ReadAnswer(method, path, response);
  }
  ReleaseResponse(response);
  return outcome;
}

CallOutcome<BindingProperty> EndpointClient::ReadAnswer(HttpMethod method, const std::string& url,
                                                        const HostResponse& response) const {
  CallOutcome<BindingProperty> outcome;
  if (response.stream != nullptr) {
    BindingResult read = ReadStream(response);
    if (!read.success) {
      return Failed(
          MakeError(0, EndpointMessages::kStreamedResponse, method, url, read.ErrorText()));
    }
    outcome.value = std::move(read.property);
    return outcome;
  }
  FlatResult report{};
  if (!FromFlatProperty(ResultValue(response.result), outcome.value, report, "<result>")) {
    outcome = Failed(ConvertFailure(method, url, report.error != nullptr ? report.error : ""));
  }
  ReleaseFlatResult(report);
  return outcome;
}

BindingResult EndpointClient::ReadStream(const HostResponse& response) const {
  const HostStreamReadFunction read = response.streamRead;
  const HostStreamReleaseFunction release = response.streamRelease;
  void* const stream = response.stream;
  // Copied out first: the record is packed, so its fields must not be bound
  // to references (std::min takes them by reference).
  const std::uint32_t sizeHint = response.streamHandle;
  std::string text;
  text.reserve(std::min(sizeHint, kMaxReservedStreamBytes));

  bool readFailed = read == nullptr;
  std::uint8_t buffer[kStreamChunkSize];
  while (!readFailed) {
    std::uint32_t count = kStreamChunkSize;
    std::uint8_t moreData = 1;
    if (!read(stream, buffer, &count, &moreData)) {
      readFailed = true;
      break;
    }
    count = std::min(count, kStreamChunkSize);
    text.append(reinterpret_cast<const char*>(buffer), count);
    if (moreData == 0) break;
    // A short read means the host has nothing ready yet: let it work.
    if (count < kStreamChunkSize) Yield();
  }
  if (release != nullptr) release(stream);

  if (readFailed) {
    BindingResult failed;
    failed.ReportError(EndpointMessages::kStreamRead);
    return failed;
  }
  // A streamed answer is JSON text, whatever format code the response has.
  return ReadBody(BodyFormat::Json, reinterpret_cast<const std::uint8_t*>(text.data()),
                  text.size());
}

void EndpointClient::Yield() const {
  if (api_ == nullptr) return;
  if (api_->beginWait != nullptr) api_->beginWait(api_, "Wait: yield", 0);
  if (api_->runPendingWork != nullptr) api_->runPendingWork(api_);
  if (api_->endWait != nullptr) api_->endWait(api_);
}

}  // namespace Corvan
