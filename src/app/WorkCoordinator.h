#pragma once

#include <functional>
#include <mutex>

// Who owns the screen: start-up until it hands the screen over, then one run,
// node query or offer at a time, or Exit for good. A touch acts only while
// nobody owns it. A worker hands the screen back in one step with its last
// words (its final status), so a touch the moment they show is taken, never
// ignored as one during the work.
//
// A touch also has a turn of its own, held through the boxes it shows on the
// main thread (recovery mode's dialogue): a node query waits for that turn to
// end before it changes the list under the touch, and a touch that comes
// during a query's changes is dropped.
class WorkCoordinator {
 public:
  // False, and nothing owned, when another owner has the screen.
  bool Claim();
  // lastWords run while the screen is still owned; it is free the moment
  // they end. A touch that asks meanwhile waits for that moment.
  void HandBack(const std::function<void()>& lastWords);
  // Whether a touch may act now.
  bool Free();

  // The touch's turn: not owned when a query holds it.
  std::unique_lock<std::mutex> TryTouch() { return std::unique_lock(touch_, std::try_to_lock); }
  // A query's changes to the list: after the touch under way, if any.
  std::unique_lock<std::mutex> AwaitTouch() { return std::unique_lock(touch_); }

 private:
  std::mutex mutex_;
  bool owned_ = true;  // by start-up
  std::mutex touch_;
};
