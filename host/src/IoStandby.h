// IoStandby: lets the I/O threads of an io_context run blocking work (a
// call into the plugin) themselves, without a hand-over to another thread
// for every request, and still never stall the connections: while every I/O
// thread has been inside blocking work for longer than kPatience (a rescan,
// and a second call waiting for the plugin meanwhile), a standby thread
// runs the context's handlers. While that is so it looks every kTick;
// otherwise it sleeps until every I/O thread is blocked again.
//
//   IoStandby standby(io, 2);
//   standby.Start();
//   standby.Enter(); CallPlugin(); standby.Leave();   // on an I/O thread
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
  static constexpr std::chrono::milliseconds kPatience{2};
  static constexpr std::chrono::milliseconds kTick{1};

  IoStandby(boost::asio::io_context& io, int ioThreads) : io_(io), ioThreads_(ioThreads) {}
  ~IoStandby() { Stop(); }
  IoStandby(const IoStandby&) = delete;
  IoStandby& operator=(const IoStandby&) = delete;

  void Start();
  // Ends the standby thread; the context is stopped first.
  void Stop();
  // Brackets blocking work on an I/O thread.
  void Enter();
  void Leave();

 private:
  void Run();
  void TakeOver();

  boost::asio::io_context& io_;
  const int ioThreads_;
  std::thread thread_;
  std::mutex lock_;
  std::condition_variable wake_;
  int blocked_ = 0;  // I/O threads inside blocking work, under lock_
  // Since when every I/O thread is blocked (steady clock ticks), 0 when not.
  std::atomic<std::int64_t> allBlockedSince_{0};
  std::atomic<bool> stopping_{false};
};

}  // namespace Corvan::Host
