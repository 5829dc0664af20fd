#include "display/WindowManager.h"

#include <algorithm>

#include "graphics/DeviceContext.h"
#include "graphics/PngFile.h"

namespace {

std::atomic<WindowManager*> installed{nullptr};

bool Contains(const Rect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

}  // namespace

WindowManager::WindowManager(std::unique_ptr<Display> display)
    : display_(std::move(display)), uiThread_(std::this_thread::get_id()), frame_(kScreenWidth, kScreenHeight, 0) {}

WindowManager::~WindowManager() = default;

WindowManager& WindowManager::Current() {
  if (WindowManager* manager = installed) return *manager;
  // Lives as long as the process: other threads may still wake it at exit.
  static WindowManager* const program = new WindowManager(Display::FromEnvironment());
  return *program;
}

void WindowManager::Install(WindowManager* manager) { installed = manager; }

Rect WindowManager::MainWindowRect() const {
  std::lock_guard lock(mutex_);
  return windows_.empty() ? Rect{0, 0, kScreenWidth, kScreenHeight} : windows_.front().dialog->GetWindowRect();
}

int WindowManager::RunModal(Dialog& dialog) {
  dialog.ended_ = false;
  if (!OnUiThread()) {
    std::function<void()> open = [&] { Open(dialog, true); };
    Call(open, nullptr);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !IsUp(dialog); });
    return dialog.result_;
  }
  if (Open(dialog, false)) {
    for (Step(); !dialog.ended_; Step()) Handle(display_->WaitForInput());
    Close(dialog);
    ServeRequests();  // whoever asked for this window before it went down
  }
  return dialog.result_;
}

void WindowManager::Update(Dialog& dialog) {
  std::function<void()> paint = [&] {
    if (dialog.TakeInvalid()) Paint(dialog);
    if (frameStale_) Present();
  };
  Call(paint, &dialog);
}

void WindowManager::Wake() { display_->Wake(); }

void WindowManager::Recompose() {
  frameStale_ = true;
  Wake();
}

void WindowManager::Call(const std::function<void()>& work, const Dialog* window) {
  bool onUiThread = OnUiThread();
  Request request{&work};
  {
    std::lock_guard lock(mutex_);
    if (window && !IsUp(*window)) return;
    if (!onUiThread) requests_.push_back(&request);
  }
  if (onUiThread) return work();
  Wake();
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return request.done; });
}

bool WindowManager::Open(Dialog& dialog, bool forOtherThread) {
  dialog.OnInitDialog();
  if (dialog.ended_) return false;
  {
    std::lock_guard lock(mutex_);
    windows_.push_back(Window{&dialog, forOtherThread});
  }
  dialog.manager_ = this;
  dialog.InvalidateRect(nullptr);
  return true;
}

void WindowManager::Close(Dialog& dialog) {
  dialog.manager_ = nullptr;
  {
    std::lock_guard lock(mutex_);
    std::erase_if(windows_, [&](const Window& window) { return window.dialog == &dialog; });
  }
  changed_.notify_all();
  frameStale_ = true;
}

bool WindowManager::IsUp(const Dialog& dialog) const {
  return std::any_of(windows_.begin(), windows_.end(), [&](const Window& window) { return window.dialog == &dialog; });
}

void WindowManager::Step() {
  ServeRequests();
  CloseEndedBoxes();
  PaintInvalid();
  if (frameStale_) Present();
}

void WindowManager::ServeRequests() {
  for (;;) {
    Request* request;
    {
      std::lock_guard lock(mutex_);
      if (requests_.empty()) return;
      request = requests_.front();
      requests_.pop_front();
    }
    (*request->work)();
    {
      std::lock_guard lock(mutex_);
      request->done = true;
    }
    changed_.notify_all();
  }
}

void WindowManager::CloseEndedBoxes() {
  // Index by index: Close changes the list.
  for (size_t i = windows_.size(); i-- > 0;) {
    if (i < windows_.size() && windows_[i].forOtherThread && windows_[i].dialog->ended_) Close(*windows_[i].dialog);
  }
}

void WindowManager::PaintInvalid() {
  // By index: the list must survive a paint that opens or closes a window.
  for (size_t i = 0; i < windows_.size(); ++i) {
    Dialog& dialog = *windows_[i].dialog;
    if (!dialog.ended_ && dialog.TakeInvalid()) Paint(dialog);
  }
}

void WindowManager::Paint(Dialog& dialog) {
  Rect rect = dialog.GetWindowRect();
  if (!dialog.client_ || dialog.client_->Width() != rect.Width() || dialog.client_->Height() != rect.Height())
    dialog.client_ = std::make_unique<Surface>(rect.Width(), rect.Height());
  DeviceContext dc(dialog.client_.get());
  dialog.OnPaint(dc);
  frameStale_ = true;
}

void WindowManager::Present() {
  frameStale_ = false;
  DeviceContext screen(&frame_);
  // Black where no window is; the main window usually covers it all.
  if (!CoversScreen(windows_.empty() ? nullptr : windows_.front().dialog))
    screen.FillSolidRect(Rect{0, 0, kScreenWidth, kScreenHeight}, RGB(0, 0, 0));
  for (const Window& window : windows_) {
    const Surface* client = window.dialog->client_.get();
    if (window.dialog->ended_ || !client) continue;
    Rect rect = window.dialog->GetWindowRect();
    screen.BitBlt(rect.left, rect.top, client->Width(), client->Height(), *client, 0, 0);
  }
  display_->Present(frame_);
}

bool WindowManager::CoversScreen(const Dialog* dialog) {
  if (!dialog || dialog->ended_ || !dialog->client_) return false;
  const Rect r = dialog->GetWindowRect();
  return r.left <= 0 && r.top <= 0 && r.left + dialog->client_->Width() >= kScreenWidth &&
         r.top + dialog->client_->Height() >= kScreenHeight;
}

void WindowManager::Handle(const InputEvent& event) {
  if (event.kind == InputEvent::kTouch) Touch(event.x, event.y);
  if (event.kind == InputEvent::kScreenshot) Screenshot(event.path);
}

void WindowManager::Touch(int x, int y) {
  auto top = std::find_if(windows_.rbegin(), windows_.rend(), [](const Window& w) { return !w.dialog->ended_; });
  if (top == windows_.rend()) return;
  Dialog& dialog = *top->dialog;
  Rect rect = dialog.GetWindowRect();
  if (Contains(rect, x, y)) dialog.OnLButtonDown(x - rect.left, y - rect.top);
}

void WindowManager::Screenshot(const std::string& path) {
  Step();
  PngFile::Write(path, frame_);
}
