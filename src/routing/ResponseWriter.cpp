#include "routing/ResponseWriter.h"

#include <cstring>

#include "binding/FlatBlock.h"
#include "binding/FlatProperty.h"
#include "logging/FormatPositional.h"
#include "routing/BodyFormat.h"

namespace Corvan {

namespace {

// The status text of responses without one; never freed.
constexpr const char* kEmptyText = "";

// True when the value nests no deeper than a flat value may: flattening
// recurses once per level.
bool WithinDepth(const BindingProperty& value, std::size_t depth) {
  if (depth > kMaxTreeDepth) return false;
  if (value.kind() == PropertyKind::Collection) {
    for (const BindingProperty& element : value.Elements()) {
      if (!WithinDepth(element, depth + 1)) return false;
    }
  } else if (value.kind() == PropertyKind::Structure) {
    bool within = true;
    value.ForEachField([&](const char*, const BindingProperty& field) {
      within = within && WithinDepth(field, depth + 1);
    });
    return within;
  }
  return true;
}

void SetError(HostResponse& response, std::string_view message) {
  response.result.error = CopyFlatText(message);
  response.result.hasError = 1;
}

void WriteResult(CallResult& call, const BindingRegistry* registry, HostResponse& response,
                 bool& statusFixed) {
  if (!call.succeeded()) {
    SetError(response, call.ErrorText());
    return;
  }
  if (HasFlatBlock(call.details.flatValue.root())) {
    SetResultValue(response.result, call.details.flatValue.Share());
    return;
  }
  if (!WithinDepth(call.result.property, 0)) {
    SetError(response, FormatPositionalText(ResponseMessages::kUnconvertibleResult, kMaxTreeDepth));
    response.statusCode = kStatusBadRequest;
    statusFixed = true;
    return;
  }
  SetResultValue(response.result, BuildFlatBlock(call.result.property, registry, FlatTexts::Copied));
}

void WriteHeaders(const HeaderPairs& headers, HostResponse& response) {
  if (headers.empty()) return;
  auto* pairs = new HostHeaderPair[headers.size()];
  for (std::size_t i = 0; i < headers.size(); ++i) {
    pairs[i].name = CopyFlatText(headers[i].first);
    pairs[i].value = CopyFlatText(headers[i].second);
  }
  response.headers = pairs;
  response.headerCount = static_cast<std::uint32_t>(headers.size());
}

void MoveStream(ReplyDetails& details, HostResponse& response) {
  if (!details.stream) return;
  ResponseStream* stream = details.stream.release();
  response.streamRead = &ReadResponseStream;
  response.streamRelease = &ReleaseResponseStream;
  response.streamHandle = stream->SizeHint();
  response.reserved = 0;
  response.stream = stream;
}

}  // namespace

void ResetResponse(HostResponse& response) {
  // Only a release function of our own is called: a record the host did not
  // zero must not make us jump through a stray pointer.
  if (response.release == &ReleaseResponse) ReleaseResponse(&response);
  std::memset(&response, 0, sizeof response);
  response.statusText = kEmptyText;
  response.release = &ReleaseResponse;
}

void WriteResponse(CallResult& call, const BindingRegistry* registry, HostResponse& response) {
  bool statusFixed = false;
  WriteResult(call, registry, response, statusFixed);
  const ReplyDetails& details = call.details;
  response.resultFlag = details.flag;
  // A format code no body format has travels as none.
  response.bodyFormat = static_cast<std::uint32_t>(BodyFormatOfCode(details.bodyFormat));
  if (!statusFixed) response.statusCode = details.statusCode;
  response.statusText = details.statusText.empty() ? kEmptyText : CopyFlatText(details.statusText);
  WriteHeaders(details.headers, response);
  MoveStream(call.details, response);
}

void WriteErrorResponse(HostResponse& response, std::string_view message, std::uint32_t status) {
  SetError(response, message);
  response.statusCode = status;
}

void KYN_CALL ReleaseResponse(HostResponse* response) {
  if (response == nullptr) return;
  FlatProperty value = ResultValue(response->result);
  ReleaseFlatBlock(value);
  if (response->result.hasError) FreeFlatText(response->result.error);
  if (response->statusText != kEmptyText) FreeFlatText(response->statusText);
  HostHeaderPair* headers = response->headers;
  if (headers != nullptr) {
    for (std::uint32_t i = 0; i < response->headerCount; ++i) {
      FreeFlatText(headers[i].name);
      FreeFlatText(headers[i].value);
    }
    delete[] headers;
  }
  std::memset(response, 0, sizeof *response);
}

}  // namespace Corvan
