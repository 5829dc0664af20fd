#pragma once

#include <functional>
#include <mutex>

// Who owns the screen: one run, node query or offer at a time, or Exit for
// good. A touch acts only while nobody owns it. A worker hands the screen
// back in one step with its last words (its final status), so a touch the
// moment they show is taken, never ignored as one during the work.
class WorkCoordinator {
 public:
  // False, and nothing owned, when another owner has the screen.
  bool Claim();
  // lastWords run while the screen is still owned; it is free the moment
  // they end. A touch that asks meanwhile waits for that moment.
  void HandBack(const std::function<void()>& lastWords);
  // Whether a touch may act now.
  bool Free();

 private:
  std::mutex mutex_;
  bool owned_ = false;
};
