#include "IoStandby.h"

namespace Corvan::Host {

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
  lastWork_ += 2;
  running_.store(lastWork_ | 1);
  if (resting_.load()) {
    std::lock_guard<std::mutex> guard(lock_);
    wake_.notify_one();
  }
}

void IoStandby::Leave() {
  std::unique_lock<std::mutex> guard(lock_);
  running_.store(0);
  handedBack_.wait(guard, [this] { return !takingOver_; });
}

void IoStandby::Run() {
  using Clock = std::chrono::steady_clock;
  std::uint64_t seen = 0;
  Clock::time_point lastBusy = Clock::now();
  while (!stopping_.load()) {
    std::this_thread::sleep_for(kWatch);
    const std::uint64_t work = running_.load();
    if (work != 0 && work == seen) {
      TakeOver(work);
      seen = 0;
    } else {
      seen = work;
    }
    if (work != 0) {
      lastBusy = Clock::now();
    } else if (Clock::now() - lastBusy > kRestAfter) {
      Rest();
      lastBusy = Clock::now();
    }
  }
}

void IoStandby::TakeOver(std::uint64_t work) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (running_.load() != work) return;  // the work ended meanwhile
    takingOver_ = true;
  }
  while (running_.load() == work && !stopping_.load() && !io_.stopped()) {
    io_.run_for(std::chrono::milliseconds(1));
  }
  {
    std::lock_guard<std::mutex> guard(lock_);
    takingOver_ = false;
  }
  handedBack_.notify_all();
}

void IoStandby::Rest() {
  std::unique_lock<std::mutex> guard(lock_);
  resting_ = true;
  wake_.wait(guard, [this] { return stopping_.load() || running_.load() != 0; });
  resting_ = false;
}

}  // namespace Corvan::Host
