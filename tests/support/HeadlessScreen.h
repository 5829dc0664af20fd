#pragma once

#include <memory>
#include <string>

#include "ControlClient.h"

class WindowManager;

// A headless window manager for the thread that creates it, installed for
// the object's lifetime, with its control FIFO in a throw-away folder.
class HeadlessScreen {
 public:
  HeadlessScreen();
  ~HeadlessScreen();
  HeadlessScreen(const HeadlessScreen&) = delete;
  HeadlessScreen& operator=(const HeadlessScreen&) = delete;

  const ControlClient& Control() const { return control_; }
  // A path in the throw-away folder, e.g. for screenshots.
  std::string Path(const std::string& name) const { return folder_ + "/" + name; }

 private:
  std::string folder_;
  ControlClient control_;
  std::unique_ptr<WindowManager> manager_;
};
