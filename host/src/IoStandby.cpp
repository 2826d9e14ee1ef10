#include "IoStandby.h"

namespace Corvan::Host {

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t Now() { return Clock::now().time_since_epoch().count(); }

std::int64_t Ticks(std::chrono::milliseconds duration) {
  return std::chrono::duration_cast<Clock::duration>(duration).count();
}

}  // namespace

void IoStandby::Start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void IoStandby::Stop() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void IoStandby::Enter() {
  busySince_.store(Now());
  if (resting_.load()) {
    std::lock_guard<std::mutex> guard(lock_);
    wake_.notify_one();
  }
}

void IoStandby::Run() {
  std::int64_t lastBusy = Now();
  while (!stopping_.load()) {
    const std::int64_t since = busySince_.load();
    const std::int64_t now = Now();
    if (since != 0 && now - since >= Ticks(kPatience)) {
      TakeOver();
      lastBusy = Now();
    } else if (since != 0) {
      lastBusy = now;
      std::this_thread::sleep_for(kTick);
    } else if (now - lastBusy > Ticks(kRestAfter)) {
      Rest();
      lastBusy = Now();
    } else {
      std::this_thread::sleep_for(kTick);
    }
  }
}

void IoStandby::TakeOver() {
  while (busySince_.load() != 0 && !stopping_.load() && !io_.stopped()) io_.run_for(kTick);
}

void IoStandby::Rest() {
  std::unique_lock<std::mutex> guard(lock_);
  resting_ = true;
  wake_.wait(guard, [this] { return stopping_.load() || busySince_.load() != 0; });
  resting_ = false;
}

}  // namespace Corvan::Host
