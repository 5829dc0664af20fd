#include "display/HeadlessDisplay.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "display/ControlChannel.h"

HeadlessDisplay::HeadlessDisplay() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

HeadlessDisplay::~HeadlessDisplay() {
  if (wakeFd_ >= 0) close(wakeFd_);
}

void HeadlessDisplay::Present(const Surface&) {}

InputEvent HeadlessDisplay::WaitForInput() {
  InputEvent event;
  while (!(control_ && control_->Next(event))) {
    pollfd watched[2] = {{wakeFd_, POLLIN, 0}, {control_ ? control_->Fd() : -1, POLLIN, 0}};
    if (poll(watched, 2, -1) < 0) continue;  // a signal: wait again
    if (watched[0].revents & POLLIN) {
      uint64_t count;
      [[maybe_unused]] ssize_t drained = read(wakeFd_, &count, sizeof count);
      return InputEvent{};
    }
    if (control_) control_->ReadAvailable();
  }
  return event;
}

void HeadlessDisplay::Wake() {
  uint64_t one = 1;
  [[maybe_unused]] ssize_t written = write(wakeFd_, &one, sizeof one);  // fails only when already woken
}
