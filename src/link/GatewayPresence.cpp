#include "link/GatewayPresence.h"

#include <algorithm>
#include <utility>

void GatewayPresence::Lost(const std::string& why) {
  std::lock_guard lock(mutex_);
  reopened_ = false;
  answering_ = false;
  asked_ = false;
  slowestAnswerMs_ = 0;
  if (state_ == State::kGone) return;
  Enter(State::kGone, since_);
  TellGone(why);
}

void GatewayPresence::Reopened() {
  std::lock_guard lock(mutex_);
  reopened_ = true;
}

void GatewayPresence::Acknowledged(uint32_t now) {
  std::lock_guard lock(mutex_);
  if (state_ == State::kGone && reopened_) {
    reopened_ = false;
    Enter(State::kBack, now);
    TellBack();
  } else if (state_ == State::kProbing) {
    Enter(State::kBack, now);
  }
}

// A restarted gateway forwards nothing to a channel it has not opened.
void GatewayPresence::Heard(uint32_t now) {
  std::lock_guard lock(mutex_);
  if (state_ == State::kProbing) Enter(State::kBack, now);
}

void GatewayPresence::InfoAsked(uint32_t now) {
  std::lock_guard lock(mutex_);
  if (asked_) return;  // the answer's time counts from the oldest request
  asked_ = true;
  askedAt_ = now;
}

void GatewayPresence::InfoAnswered(uint32_t now) {
  std::lock_guard lock(mutex_);
  // Much later, it answers a later request: that one was lost.
  if (asked_ && now - askedAt_ <= kProbeIdleMs) slowestAnswerMs_ = std::max(slowestAnswerMs_, now - askedAt_);
  asked_ = false;
  answering_ = true;
  if (state_ == State::kRechecking) {
    // Silent on the old channels, answering on the reopened ones.
    TellGone(kSilentWhy);
    TellBack();
  }
  if (state_ == State::kProbing || state_ == State::kRechecking) Enter(State::kBack, now);
}

void GatewayPresence::CanFrameWritten(uint32_t now) {
  std::lock_guard lock(mutex_);
  lastTraffic_ = now;
}

GatewayPresence::Step GatewayPresence::Look(uint32_t now, bool quiet) {
  std::lock_guard lock(mutex_);
  switch (state_) {
    case State::kBack:
      if (!quiet || !Probeable() || now - lastTraffic_ < kProbeIdleMs) return Step::kNone;
      Enter(State::kProbing, now);
      lastTraffic_ = now;
      return Step::kProbe;
    case State::kProbing:
      if (now - since_ < WindowMs()) return Step::kNone;
      Enter(State::kRechecking, now);
      return Step::kRecheck;
    case State::kRechecking:
      if (now - since_ < WindowMs()) return Step::kNone;
      answering_ = false;  // it answers no InfoRequest: it cannot be probed
      lastTraffic_ = now;
      Enter(State::kBack, now);
      return Step::kNone;
    case State::kGone:
      break;
  }
  return Step::kNone;
}

uint32_t GatewayPresence::NextLookMs(uint32_t now) const {
  std::lock_guard lock(mutex_);
  uint32_t due = kProbeIdleMs;
  if (state_ == State::kProbing || state_ == State::kRechecking) {
    due = WindowMs() - std::min(now - since_, WindowMs());
  } else if (state_ == State::kBack && Probeable()) {
    due = kProbeIdleMs - std::min(now - lastTraffic_, kProbeIdleMs);
  }
  return std::max<uint32_t>(due, 1);
}

void GatewayPresence::Tell() {
  std::lock_guard tell(tellMutex_);
  for (;;) {
    News news;
    {
      std::lock_guard lock(mutex_);
      if (news_.empty()) return;
      news = std::move(news_.front());
      news_.pop_front();
    }
    if (listener_) listener_(news);
  }
}

GatewayPresence::State GatewayPresence::Now() const {
  std::lock_guard lock(mutex_);
  return state_;
}

bool GatewayPresence::Present() const { return Now() != State::kGone; }

std::string GatewayPresence::Why() const {
  std::lock_guard lock(mutex_);
  return why_;
}

// A probe under way is dropped: the work's own traffic tells the rest.
void GatewayPresence::Take() {
  std::lock_guard lock(mutex_);
  ++owners_;
  shown_ = false;
  if (state_ == State::kProbing || state_ == State::kRechecking) state_ = State::kBack;
}

bool GatewayPresence::Release() {
  std::lock_guard lock(mutex_);
  if (owners_ == 1 && state_ == State::kGone && !shown_) {
    shown_ = true;
    return true;
  }
  owners_ = std::max(owners_ - 1, 0);
  return false;
}

bool GatewayPresence::RequeryWanted() const {
  std::lock_guard lock(mutex_);
  return returned_ && !followUpDue_;
}

bool GatewayPresence::QueryBegins() {
  std::lock_guard lock(mutex_);
  return std::exchange(returned_, false);
}

void GatewayPresence::SetRequerying(bool requerying) {
  std::lock_guard lock(mutex_);
  requerying_ = requerying;
}

bool GatewayPresence::Requerying() const {
  std::lock_guard lock(mutex_);
  return requerying_;
}

bool GatewayPresence::FollowUpDue() {
  std::lock_guard lock(mutex_);
  if (!returned_ || followUpDue_) return false;
  followUpDue_ = true;
  return true;
}

bool GatewayPresence::FollowUpBegins() {
  std::lock_guard lock(mutex_);
  followUpDue_ = false;
  return returned_;
}

void GatewayPresence::Enter(State state, uint32_t now) {
  state_ = state;
  since_ = now;
}

void GatewayPresence::TellGone(const std::string& why) {
  why_ = why;
  shown_ = owners_ == 0;
  news_.push_back({false, why, shown_});
}

void GatewayPresence::TellBack() {
  returned_ = true;
  news_.push_back({true, {}, false});
}

uint32_t GatewayPresence::WindowMs() const { return std::max(kProbeAnswerMs, 2 * slowestAnswerMs_); }

bool GatewayPresence::Probeable() const { return owners_ == 0 && answering_; }
