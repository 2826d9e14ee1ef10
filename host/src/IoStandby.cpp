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
  std::lock_guard<std::mutex> guard(lock_);
  if (++blocked_ < ioThreads_) return;
  allBlockedSince_.store(Now());
  wake_.notify_one();
}

void IoStandby::Leave() {
  std::lock_guard<std::mutex> guard(lock_);
  if (blocked_-- == ioThreads_) allBlockedSince_.store(0);
}

void IoStandby::Run() {
  while (!stopping_.load()) {
    const std::int64_t since = allBlockedSince_.load();
    if (since == 0) {
      std::unique_lock<std::mutex> guard(lock_);
      wake_.wait(guard, [this] { return stopping_.load() || allBlockedSince_.load() != 0; });
    } else if (Now() - since >= Ticks(kPatience)) {
      TakeOver();
    } else {
      std::this_thread::sleep_for(kTick);
    }
  }
}

void IoStandby::TakeOver() {
  while (allBlockedSince_.load() != 0 && !stopping_.load() && !io_.stopped()) io_.run_for(kTick);
}

}  // namespace Corvan::Host
