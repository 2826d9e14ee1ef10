// Replies: what a handler returns when it needs more than a plain value.
//
//   Reply<Highlight> Plugin::GetHighlight(std::uint64_t id) {
//     const Highlight* found = list_.Find(id);
//     if (found == nullptr) return NotFound("No highlight with specified ID");
//     return *found;
//   }
//   EmptyReply Plugin::ShowFile(std::uint64_t id) { ...; return EmptySuccess(); }
//
// A reply holds a value or an error message, and the details of
// CallResult: flag byte, body format, status, status text, header pairs and
// an optional stream. The error builders format their message with the
// positional formatter ("%1", or printf directives taken in order); a
// message given without arguments is used as it stands, so a text from the
// operating system can never be read as a format.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "logging/FormatPositional.h"
#include "routing/CallResult.h"

namespace Corvan {

class ReplyBase {
 public:
  bool failed() const { return failed_; }
  const std::string& error() const { return error_; }
  const ReplyDetails& details() const { return details_; }
  ReplyDetails& details() { return details_; }

  void SetStatus(std::uint32_t code, std::string_view text = {}) {
    details_.statusCode = code;
    details_.statusText = std::string(text);
  }
  void SetBodyFormat(std::uint32_t format) { details_.bodyFormat = format; }
  void SetFlag(std::uint8_t flag) { details_.flag = flag; }
  void AddHeader(std::string_view name, std::string_view value) {
    details_.headers.emplace_back(std::string(name), std::string(value));
  }
  void SetStream(std::unique_ptr<ResponseStream> stream) { details_.stream = std::move(stream); }
  // Answers with a value already in flat form.
  void SetFlatValue(SharedFlatValue value) { details_.flatValue = std::move(value); }

  // Moves the details and the error (not the value) into the call result.
  void MoveInto(CallResult& call) &&;

 protected:
  ReplyBase() = default;
  // Makes the reply an error; any stream is dropped.
  void Fail(std::uint32_t status, std::string message);

 private:
  ReplyDetails details_;
  std::string error_;
  bool failed_ = false;
};

// An error reply of no particular value type; every Reply<T> takes it.
class ErrorResult : public ReplyBase {
 public:
  ErrorResult(std::uint32_t status, std::string message) { Fail(status, std::move(message)); }
};

template <class T>
class Reply : public ReplyBase {
 public:
  Reply(T value) : value_(std::move(value)) {}               // NOLINT: a value is a reply
  Reply(ErrorResult error) : ReplyBase(std::move(error)) {}  // NOLINT: so is an error
  // The flat form of a T value, kept elsewhere and shared (a snapshot); the
  // reply then has no value of its own.
  explicit Reply(SharedFlatValue flat) { SetFlatValue(std::move(flat)); }

  // The value, or null for an error reply or a flat one.
  const T* value() const { return value_ ? &*value_ : nullptr; }

 private:
  std::optional<T> value_;
};

// The empty success result: no value, no error.
template <>
class Reply<void> : public ReplyBase {
 public:
  Reply() = default;
  Reply(ErrorResult error) : ReplyBase(std::move(error)) {}  // NOLINT: an error is a reply
};
using EmptyReply = Reply<void>;

inline EmptyReply EmptySuccess() { return EmptyReply(); }

namespace ReplyDetail {
template <class... Args>
std::string Message(std::string_view format, const Args&... args) {
  if constexpr (sizeof...(Args) == 0) {
    return std::string(format);
  } else {
    return FormatPositionalText(std::string(format).c_str(), args...);
  }
}
}  // namespace ReplyDetail

// An error reply with that status and the formatted message.
template <class... Args>
[[nodiscard]] ErrorResult ErrorReply(std::uint32_t status, std::string_view format,
                                     const Args&... args) {
  return ErrorResult(status, ReplyDetail::Message(format, args...));
}

// Status 404; an empty message becomes "Not found".
template <class... Args>
[[nodiscard]] ErrorResult NotFound(std::string_view format = {}, const Args&... args) {
  std::string message = ReplyDetail::Message(format, args...);
  return ErrorResult(404, message.empty() ? "Not found" : std::move(message));
}

// Status 500; an empty message becomes "Internal server error".
template <class... Args>
[[nodiscard]] ErrorResult InternalServerError(std::string_view format = {}, const Args&... args) {
  std::string message = ReplyDetail::Message(format, args...);
  return ErrorResult(500, message.empty() ? "Internal server error" : std::move(message));
}

}  // namespace Corvan
