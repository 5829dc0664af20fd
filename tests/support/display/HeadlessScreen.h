#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ControlClient.h"

class Dialog;
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
  // Runs window modally on this (the user-interface) thread while script
  // drives it from another thread; a window the script leaves up is ended
  // with -1 after two seconds, so a failing script cannot hang the test.
  int RunScripted(Dialog& window, const std::function<void()>& script) const;
  // A path in the throw-away folder, e.g. for screenshots.
  std::string Path(const std::string& name) const { return folder_ + "/" + name; }

 private:
  std::string folder_;
  ControlClient control_;
  std::unique_ptr<WindowManager> manager_;
};
