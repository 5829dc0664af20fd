#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "graphics/DeviceContext.h"
#include "graphics/Rect.h"
#include "graphics/Surface.h"

class WindowManager;

// A modal window without controls, drawn by its own OnPaint into a client
// surface of its size and touched through OnLButtonDown. DoModal works from
// any thread: initialisation, painting and touches always run on the
// user-interface thread (see WindowManager).
class Dialog {
 public:
  Dialog();
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Shows the window until EndDialog and returns its result.
  int DoModal();
  void EndDialog(int result);
  // Screen coordinates; no repaint (a new size invalidates the window).
  void MoveWindow(int x, int y, int width, int height);
  Rect GetWindowRect() const;
  // nullptr means the whole client area; the background is not erased. The
  // whole window repaints whatever part is invalid: windows recompose
  // everything on each paint anyway.
  void InvalidateRect(const Rect* rect);
  // Paints an invalid window at once; from another thread, returns after the
  // user-interface thread has painted. A window not on screen is left alone.
  void UpdateWindow();

 protected:
  // Runs on the user-interface thread inside DoModal, before the window is
  // shown. Its result is not looked at.
  virtual bool OnInitDialog();
  // dc draws into the window's client surface, in client coordinates.
  virtual void OnPaint(DeviceContext& dc);
  // A touch inside the window, in client coordinates.
  virtual void OnLButtonDown(int x, int y);

 private:
  friend class WindowManager;

  // The pending invalidation, taken by the painter.
  bool TakeInvalid();

  mutable std::mutex mutex_;  // rect_ and invalid_ change on any thread
  Rect rect_{0, 0, 480, 640};
  bool invalid_ = false;
  std::atomic<bool> ended_{false};
  std::atomic<int> result_{0};
  std::atomic<WindowManager*> manager_{nullptr};  // set while the window is up
  std::unique_ptr<Surface> client_;               // user-interface thread only
};
