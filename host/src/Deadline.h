// Deadline: the timer of a connection's deadline, cheap to move.
//
// A connection moves its deadline several times for each request or event
// (head, answer, idle), mostly later. Moving an Asio timer cancels its wait
// and starts another, and the reactor reprograms its timer each time. Here
// only a deadline earlier than the pending wait moves the timer; a later one
// is noted, and the wait, when it ends early, waits again for the rest.
//
//   Deadline deadline(socket.get_executor(), [this] { Close(); });
//   deadline.Set(std::chrono::seconds(10), weak_from_this());
//   deadline.Clear();     // no deadline while the plugin answers
//   deadline.Cancel();    // the connection closes
#pragma once

#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <functional>
#include <memory>

namespace Corvan::Host {

class Deadline {
 public:
  using Clock = std::chrono::steady_clock;

  // `expired` runs on the executor when a deadline passes.
  template <class Executor>
  Deadline(const Executor& executor, std::function<void()> expired)
      : timer_(executor), expired_(std::move(expired)) {}

  // A deadline `timeout` from now, replacing the earlier one. `owner` keeps
  // this object alive: a wait that ends after it is gone does nothing.
  void Set(std::chrono::milliseconds timeout, std::weak_ptr<const void> owner);
  // No deadline until the next Set; a pending wait finds none.
  void Clear() { due_ = Clock::time_point::max(); }
  // Clears the deadline and ends the pending wait.
  void Cancel();

 private:
  void Wait(std::weak_ptr<const void> owner);

  boost::asio::steady_timer timer_;
  std::function<void()> expired_;
  Clock::time_point due_ = Clock::time_point::max();
  bool waiting_ = false;  // a wait on timer_ is pending
};

}  // namespace Corvan::Host
