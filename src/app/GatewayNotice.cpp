#include "app/GatewayNotice.h"

bool GatewayNotice::Gone(const std::string& why) {
  std::lock_guard lock(mutex_);
  present_ = false;
  why_ = why;
  shown_ = owners_ == 0;
  return shown_;
}

void GatewayNotice::Back() {
  std::lock_guard lock(mutex_);
  present_ = true;
}

bool GatewayNotice::Present() const {
  std::lock_guard lock(mutex_);
  return present_;
}

std::string GatewayNotice::Why() const {
  std::lock_guard lock(mutex_);
  return why_;
}

void GatewayNotice::Take() {
  std::lock_guard lock(mutex_);
  ++owners_;
  shown_ = false;
}

bool GatewayNotice::Release() {
  std::lock_guard lock(mutex_);
  if (owners_ == 1 && !present_ && !shown_) {
    shown_ = true;
    return true;
  }
  --owners_;
  return false;
}
