#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "display/Dialog.h"
#include "display/Display.h"
#include "graphics/Surface.h"

// Owns the screen for the one user-interface thread: the windows that are up
// (bottom to top), their painting, the composed frame and the input.
//
// Every modal run loops on the user-interface thread: serve the requests of
// other threads, close the boxes they opened once ended, paint what is
// invalid, present the frame, then sleep in the display until input or a
// wake-up. Nested runs loop the same way, so a thread waiting for a paint is
// served whatever run is innermost. Other threads are served only while the
// user-interface thread is in a modal run; a window that is not up is never
// waited for.
//
// Touches go to the topmost window only: every window is modal, so a press
// outside it is dropped.
class WindowManager {
 public:
  // The calling thread becomes the user-interface thread.
  explicit WindowManager(std::unique_ptr<Display> display);
  ~WindowManager();
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  // The installed manager or, failing that, the program's own, made on first
  // use with the display the environment asks for (its first user becomes
  // the user-interface thread).
  static WindowManager& Current();
  // Makes manager the current one (tests); nullptr returns to the program's.
  static void Install(WindowManager* manager);

  bool OnUiThread() const { return std::this_thread::get_id() == uiThread_; }
  // Where the program's main window (the first one up) is, for placing boxes
  // over it; the whole screen when no window is up.
  Rect MainWindowRect() const;

  // Dialog's side: DoModal, UpdateWindow, and the wake-ups after a change
  // made on another thread.
  int RunModal(Dialog& dialog);
  void Update(Dialog& dialog);
  void Wake();
  void Recompose();

 private:
  struct Window {
    Dialog* dialog;
    bool forOtherThread;  // closed by the loop once ended; its owner waits
  };
  struct Request {
    const std::function<void()>* work;
    bool done = false;
  };

  // Runs work on the user-interface thread and waits for it; when window is
  // given, only if that window is up.
  void Call(const std::function<void()>& work, const Dialog* window);
  bool Open(Dialog& dialog, bool forOtherThread);
  void Close(Dialog& dialog);
  bool IsUp(const Dialog& dialog) const;  // with mutex_ held
  void Step();
  void ServeRequests();
  void CloseEndedBoxes();
  void PaintInvalid();
  void Paint(Dialog& dialog);
  void Present();
  // True when the dialog is shown and its client hides the whole screen.
  static bool CoversScreen(const Dialog* dialog);
  void Handle(const InputEvent& event);
  void Touch(int x, int y);
  void Screenshot(const std::string& path);

  std::unique_ptr<Display> display_;
  const std::thread::id uiThread_;
  Surface frame_;
  std::atomic<bool> frameStale_{true};

  mutable std::mutex mutex_;  // windows_ and requests_
  std::condition_variable changed_;
  std::vector<Window> windows_;  // changed on the user-interface thread only
  std::deque<Request*> requests_;
};
