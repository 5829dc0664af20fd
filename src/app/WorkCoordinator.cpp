#include "app/WorkCoordinator.h"

bool WorkCoordinator::Claim() {
  std::lock_guard lock(mutex_);
  if (owned_) return false;
  owned_ = true;
  return true;
}

void WorkCoordinator::HandBack(const std::function<void()>& lastWords) {
  std::lock_guard lock(mutex_);
  lastWords();
  owned_ = false;
}

bool WorkCoordinator::Free() {
  std::lock_guard lock(mutex_);
  return !owned_;
}
