// CallResult: the outcome of one call of a routed function, which the
// response writer turns into the HostResponse.
//
// The dispatcher creates one per request. The argument binder reports its
// errors into `result`; the invoker then moves the handler's reply into it:
// the answer value (or the error), and the reply's flag byte, body format,
// status, status text, header pairs and stream.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "abi/HostAbi.h"
#include "binding/BindingProperty.h"
#include "binding/FlatBlock.h"
#include "routing/ResponseStream.h"

namespace Corvan {

// Header pairs (name, value) in the order the reply added them.
using HeaderPairs = std::vector<std::pair<std::string, std::string>>;

// What a reply carries besides its value or error.
struct ReplyDetails {
  std::uint8_t flag = 0;
  // BODY_FORMAT_* of plugin/HostAbi.h; other values travel as none.
  std::uint32_t bodyFormat = BODY_FORMAT_NONE;
  // 0 when nobody chose one.
  std::uint32_t statusCode = 0;
  std::string statusText;
  HeaderPairs headers;
  std::unique_ptr<ResponseStream> stream;
  // The answer already in flat form (a shared snapshot), given instead of a
  // value: the response holds it rather than a flat copy of its own.
  SharedFlatValue flatValue;
};

struct CallResult {
  // The answer, or on failure {"error": message}.
  BindingResult result;
  ReplyDetails details;
  // The argument the request body filled, if any: its conversion names the
  // whole value "<value>" rather than the argument.
  std::optional<std::size_t> bodyArgument;

  bool succeeded() const { return result.success; }
  // Replaces the value (or an earlier message) with the message.
  void ReportError(std::string_view message) { result.ReportError(message); }
  const char* ErrorText() const { return result.ErrorText(); }
};

}  // namespace Corvan
