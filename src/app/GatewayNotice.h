#pragma once

#include <mutex>
#include <string>

// Keeps "Gateway lost" on the status line while the gateway is gone and
// nothing else owns the line. Start-up, a run or node query, and a touch with
// its boxes own the line while they last; the news that the gateway went is
// shown at once when the line is free, otherwise by the last owner to let go.
class GatewayNotice {
 public:
  // The gateway went, with the system's words for why. True when the line is
  // free and the caller shows the notice now.
  bool Gone(const std::string& why);
  void Back();
  bool Present() const;
  std::string Why() const;

  // An owner takes the line; several may hold it at once.
  void Take();
  // An owner lets go. True when the gateway is gone and the notice is not on
  // the line: the caller shows it, then lets go again.
  bool Release();

 private:
  mutable std::mutex mutex_;
  bool present_ = true;
  bool shown_ = false;  // the notice is on the line, no owner came since
  int owners_ = 1;      // start-up holds the line until the screen is up
  std::string why_;
};
