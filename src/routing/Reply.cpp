#include "routing/Reply.h"

namespace Corvan {

void ReplyBase::Fail(std::uint32_t status, std::string message) {
  failed_ = true;
  error_ = std::move(message);
  details_.statusCode = status;
  details_.stream.reset();
}

void ReplyBase::MoveInto(CallResult& call) && {
  call.details = std::move(details_);
  if (failed_) call.ReportError(error_);
}

}  // namespace Corvan
