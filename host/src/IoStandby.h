// IoStandby: lets the one I/O thread of an io_context run blocking work
// (a call into the plugin) itself, without a hand-over to another thread
// for every request, and still never stall the other connections: a
// standby thread watches, and while a piece of blocking work has run for
// longer than kPatience it runs the context's handlers in the meantime.
// Between busy spells the standby looks every kTick; after kRestAfter
// without blocking work it sleeps until the next one begins.
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
  static constexpr std::chrono::milliseconds kPatience{2};
  static constexpr std::chrono::milliseconds kTick{1};
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
  void Leave() { busySince_.store(0); }

 private:
  void Run();
  void TakeOver();
  void Rest();

  boost::asio::io_context& io_;
  std::thread thread_;
  std::mutex lock_;
  std::condition_variable wake_;
  // When the current blocking work began (steady clock ticks), 0 for none.
  std::atomic<std::int64_t> busySince_{0};
  std::atomic<bool> resting_{false};
  std::atomic<bool> stopping_{false};
};

}  // namespace Corvan::Host
