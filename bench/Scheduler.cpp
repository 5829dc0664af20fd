#include "Scheduler.h"

#include <utility>

void Scheduler::After(uint64_t delayUs, Action action) { pending_.emplace(now_ + delayUs, std::move(action)); }

void Scheduler::AdvanceTo(uint64_t timeUs) {
  while (!pending_.empty() && pending_.begin()->first <= timeUs) {
    auto first = pending_.begin();
    if (first->first > now_) now_ = first->first;
    Action action = std::move(first->second);
    pending_.erase(first);
    action();
  }
  if (timeUs > now_) now_ = timeUs;
}

std::optional<uint64_t> Scheduler::NextDue() const {
  if (pending_.empty()) return std::nullopt;
  return pending_.begin()->first;
}
