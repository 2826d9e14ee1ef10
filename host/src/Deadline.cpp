#include "Deadline.h"

#include <utility>

namespace Corvan::Host {

void Deadline::Set(std::chrono::milliseconds timeout, std::weak_ptr<const void> owner) {
  due_ = Clock::now() + timeout;
  if (waiting_ && timer_.expiry() <= due_) return;
  timer_.expires_at(due_);  // ends a later wait, if any
  Wait(std::move(owner));
}

void Deadline::Cancel() {
  Clear();
  waiting_ = false;
  timer_.cancel();
}

void Deadline::Wait(std::weak_ptr<const void> owner) {
  waiting_ = true;
  timer_.async_wait([this, owner = std::move(owner)](const boost::system::error_code& error) {
    const std::shared_ptr<const void> alive = owner.lock();
    // A wait ended by an earlier deadline has a successor already waiting.
    if (!alive || error == boost::asio::error::operation_aborted) return;
    waiting_ = false;
    if (due_ == Clock::time_point::max()) return;
    if (due_ > Clock::now()) {
      timer_.expires_at(due_);
      return Wait(owner);
    }
    Clear();
    expired_();
  });
}

}  // namespace Corvan::Host
