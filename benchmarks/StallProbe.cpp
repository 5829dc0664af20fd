#include "StallProbe.h"

#include <chrono>

namespace {
constexpr auto kNap = std::chrono::milliseconds(2);
constexpr auto kStall = std::chrono::milliseconds(20);
}  // namespace

StallProbe::StallProbe()
    : thread_([this] {
        using Clock = std::chrono::steady_clock;
        while (!stop_) {
          const auto before = Clock::now();
          std::this_thread::sleep_for(kNap);
          const auto late = Clock::now() - before - kNap;
          if (late <= kStall) continue;
          ++stalls_;
          lostMicros_ += std::chrono::duration_cast<std::chrono::microseconds>(late).count();
        }
      }) {}

StallProbe::~StallProbe() {
  stop_ = true;
  thread_.join();
}
