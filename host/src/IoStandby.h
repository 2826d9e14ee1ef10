// IoStandby: lets the one I/O thread of an io_context run blocking work
// (a call into the plugin) itself, without a hand-over to another thread
// for every request, and still never stall the other connections.
//
// A standby thread looks every kWatch: when it finds the same piece of
// blocking work running at two looks in a row (so for at least kWatch), it
// runs the context's handlers until that work ends. A quick call thus costs
// the I/O thread two atomic stores and a lock it never has to wait for, and
// the standby wakes kWatch apart rather than per call; after kRestAfter
// without blocking work it sleeps until the next one begins. The I/O thread
// goes on after its blocking work only once the standby has handed the
// context back, so the context's handlers run on one thread at a time.
//
//   IoStandby standby(io);
//   standby.Start();
//   standby.Enter(); CallPlugin(); standby.Leave();   // on the I/O thread
//   io.stop(); standby.Stop();
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace Corvan::Host {

class IoStandby {
 public:
  static constexpr std::chrono::milliseconds kWatch{4};
  static constexpr std::chrono::milliseconds kRestAfter{200};

  explicit IoStandby(boost::asio::io_context& io) : io_(io) {}
  ~IoStandby() { Stop(); }
  IoStandby(const IoStandby&) = delete;
  IoStandby& operator=(const IoStandby&) = delete;

  void Start();
  // Ends the standby thread; the context is stopped first.
  void Stop();
  // Brackets blocking work on the I/O thread.
  void Enter();
  // Returns once the standby has handed the context back.
  void Leave();

 private:
  void Run();
  void TakeOver(std::uint64_t work);
  void Rest();

  boost::asio::io_context& io_;
  std::thread thread_;
  std::mutex lock_;
  std::condition_variable wake_;
  std::condition_variable handedBack_;
  bool takingOver_ = false;  // under lock_
  // The number of the blocking work running now, 0 when none: odd numbers
  // are given out, so a new piece of work never repeats the last one's.
  std::atomic<std::uint64_t> running_{0};
  std::uint64_t lastWork_ = 0;  // the I/O thread's own counter
  std::atomic<bool> resting_{false};
  std::atomic<bool> stopping_{false};
};

}  // namespace Corvan::Host
