#include "display/Dialog.h"

#include "display/WindowManager.h"

Dialog::Dialog() = default;
Dialog::~Dialog() = default;

int Dialog::DoModal() { return WindowManager::Current().RunModal(*this); }

void Dialog::EndDialog(int result) {
  result_ = result;
  ended_ = true;
  if (WindowManager* manager = manager_) manager->Wake();
}

void Dialog::MoveWindow(int x, int y, int width, int height) {
  {
    std::lock_guard lock(mutex_);
    if (width != rect_.Width() || height != rect_.Height()) invalid_ = true;
    rect_ = Rect{x, y, x + width, y + height};
  }
  if (WindowManager* manager = manager_) manager->Recompose();
}

Rect Dialog::GetWindowRect() const {
  std::lock_guard lock(mutex_);
  return rect_;
}

void Dialog::InvalidateRect(const Rect* rect) {
  if (rect && (rect->Width() <= 0 || rect->Height() <= 0)) return;
  {
    std::lock_guard lock(mutex_);
    invalid_ = true;
  }
  if (WindowManager* manager = manager_) manager->Wake();
}

void Dialog::UpdateWindow() {
  if (WindowManager* manager = manager_) manager->Update(*this);
}

bool Dialog::TakeInvalid() {
  std::lock_guard lock(mutex_);
  bool invalid = invalid_;
  invalid_ = false;
  return invalid;
}

bool Dialog::OnInitDialog() { return true; }
void Dialog::OnPaint(DeviceContext&) {}
void Dialog::OnLButtonDown(int, int) {}
