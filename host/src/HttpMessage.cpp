#include "HttpMessage.h"

#include <unistd.h>

#include "JsonEncoding.h"
#include "routing/AsciiCase.h"

namespace Corvan::Host {

std::string_view HttpRequest::Path() const {
  const std::string_view whole(target);
  return whole.substr(0, whole.find('?'));
}

std::string_view HttpRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (key.size() != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; same && i < key.size(); ++i) {
      same = AsciiLower(key[i]) == AsciiLower(name[i]);
    }
    if (same) return value;
  }
  return {};
}

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

HttpReply JsonReply(unsigned status, std::string json) {
  HttpReply reply;
  reply.status = status;
  reply.contentType = "application/json";
  reply.body = std::move(json);
  return reply;
}

HttpReply ErrorReply(unsigned status, std::string_view message) {
  return JsonReply(status, ErrorBodyJson(status, message));
}

}  // namespace Corvan::Host
