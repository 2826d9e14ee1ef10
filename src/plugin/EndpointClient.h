// EndpointClient: synchronous calls from the plugin to other endpoints,
// carried by the host's callEndpoint slot.
//
//   EndpointClient client(link.api, link.connectionId, &registry);
//   CallOutcome<Config> config = client.Get<Config>("/kyn-platform-config/v1/namespaces/X");
//   if (config.failed) Log(kLogWarn, LogCategory::DBG, "%s", config.error.message.c_str());
//
// Each parameter is converted through the registry and sent as an unnamed
// direct argument, in order. The answer is read from the response's value or,
// when the host hands a stream, from the stream's JSON text. Whatever
// happens, the response goes back to the host through its own release
// function and a stream through its stream release, once each. Nothing the
// host fills in is trusted: a missing error text, a value that does not read
// back or a stream without a read function give a failed outcome.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "abi/HostAbi.h"
#include "binding/BindingProperty.h"
#include "binding/NativeCodec.h"
#include "routing/RouteTypes.h"

namespace Corvan {

class BindingRegistry;

// Why a call failed: the status to report and the message.
struct CallError {
  std::uint32_t status = 0;
  std::string message;
};

// What every call returns: the answer, or failed with the error.
template <class T>
struct CallOutcome {
  bool failed = false;
  CallError error;
  T value{};
};

// The texts of every failed outcome; %1 the method, %2 the URL, %3 the cause.
namespace EndpointMessages {
inline constexpr char kParameters[] = "Request not sent: Error converting parameters for %1 %2: %3";
inline constexpr char kErrorResponse[] = "Error response for %1 %2: %3";
inline constexpr char kStreamedResponse[] = "Error reading streamed response for %1 %2: %3";
inline constexpr char kConvertResponse[] = "Error converting response for %1 %2: %3";
inline constexpr char kStreamRead[] = "Stream read error";
// The status of a call whose parameters do not convert.
inline constexpr std::uint32_t kParameterStatus = 400;
}  // namespace EndpointMessages

class EndpointClient {
 public:
  // The size of each stream read.
  static constexpr std::uint32_t kStreamChunkSize = 4096;

  // `api` may be null (calls then fail); the registry converts parameters
  // and answers and must outlive the client.
  EndpointClient(HostApi* api, ConnectionId connection, const BindingRegistry* registry)
      : api_(api), connection_(connection), registry_(registry) {}

  // The raw call: the answer as a dynamic value.
  template <class... Parameters>
  [[nodiscard]] CallOutcome<BindingProperty> Call(HttpMethod method, std::string_view url,
                                                  const Parameters&... parameters) const {
    std::vector<BindingProperty> arguments;
    arguments.reserve(sizeof...(Parameters));
    std::string conversionError;
    (ConvertParameter(parameters, arguments, conversionError), ...);
    if (!conversionError.empty()) return ParameterFailure(method, url, conversionError);
    return Send(method, url, arguments);
  }

  // The typed call: the answer converted to T.
  template <class T, class... Parameters>
  [[nodiscard]] CallOutcome<T> CallFor(HttpMethod method, std::string_view url,
                                       const Parameters&... parameters) const {
    CallOutcome<BindingProperty> raw = Call(method, url, parameters...);
    CallOutcome<T> outcome;
    if (raw.failed) {
      outcome.failed = true;
      outcome.error = std::move(raw.error);
      return outcome;
    }
    BindingResult result;
    if (!AssignNative(result, outcome.value, raw.value, "<result>", registry_)) {
      outcome.failed = true;
      outcome.error = ConvertFailure(method, url, result.ErrorText());
    }
    return outcome;
  }

  // GET without parameters, answered as a T.
  template <class T>
  [[nodiscard]] CallOutcome<T> Get(std::string_view url) const {
    return CallFor<T>(HttpMethod::Get, url);
  }

  // POST of one record.
  template <class Record>
  [[nodiscard]] CallOutcome<BindingProperty> Post(std::string_view url,
                                                  const Record& record) const {
    return Call(HttpMethod::Post, url, record);
  }

  // Reads a response's stream to its end and decodes it as JSON; the stream
  // is released once, also when a read fails.
  [[nodiscard]] BindingResult ReadStream(const HostResponse& response) const;

  // Lets the host run pending work while the plugin waits.
  void Yield() const;

 private:
  template <class P>
  void ConvertParameter(const P& parameter, std::vector<BindingProperty>& arguments,
                        std::string& error) const {
    if (!error.empty()) return;
    BindingResult result;
    if (!ConvertNative(result, parameter, registry_)) {
      error = result.ErrorText();
      return;
    }
    arguments.push_back(std::move(result.property));
  }

  CallOutcome<BindingProperty> Send(HttpMethod method, std::string_view url,
                                    const std::vector<BindingProperty>& arguments) const;
  // Reads the answer of a response without error: its stream or its value.
  CallOutcome<BindingProperty> ReadAnswer(HttpMethod method, const std::string& url,
                                          const HostResponse& response) const;
  static CallOutcome<BindingProperty> ParameterFailure(HttpMethod method, std::string_view url,
                                                       const std::string& cause);
  static CallError ConvertFailure(HttpMethod method, std::string_view url, const char* cause);

  HostApi* api_;
  ConnectionId connection_;
  const BindingRegistry* registry_;
};

}  // namespace Corvan
