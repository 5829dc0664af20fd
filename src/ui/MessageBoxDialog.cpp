#include "ui/MessageBoxDialog.h"

#include "display/Display.h"
#include "display/WindowManager.h"
#include "ui/ImageButton.h"
#include "ui/TextLabel.h"

namespace {

constexpr int kDefaultWidth = 400;
// Taller boxes would push their buttons off the screen and could never be
// closed; a longer body is cut off at the bottom of its label instead.
constexpr int kMaxMeasuredHeight = 540;
constexpr int kButtonFace = 129;
constexpr int kButtonStep = 66;
constexpr int kButtonInset = 67;

struct ButtonKind {
  uint32_t bit;
  const char* name;
  const char* caption;
};

// Filled from the right in this order.
constexpr ButtonKind kButtonKinds[] = {
    {MessageBoxDialog::ButtonCancel, "cancel", "CANCEL"},
    {MessageBoxDialog::ButtonOk, "ok", "OK"},
    {MessageBoxDialog::ButtonYes, "yes", "YES"},
    {MessageBoxDialog::ButtonNo, "no", "NO"},
};

}  // namespace

MessageBoxDialog::MessageBoxDialog()
    : font_("Arial", 22, Font::kNormal), image_(kScreenWidth, kScreenHeight), memory_(&image_) {
  memory_.SelectFont(&font_);
  memory_.SelectBrush(&white_);
}

bool MessageBoxDialog::OnInitDialog() {
  labels_.DeleteAll();
  buttonWidgets_.DeleteAll();
  if (width == 0) width = kDefaultWidth;
  int bodyHeight = height == 0 ? MeasureBody() : 0;
  PlaceOverMainWindow();
  memory_.FillRect(Rect{0, 0, kScreenWidth, kScreenHeight});
  labels_.Add(new TextLabel("", text.c_str(), nullptr, RGB(0, 0, 0), 0, kTransparent, bodyFormat,
                            Rect{50, 75, width - 50, bodyHeight + 97}, 0, RGB(0, 0, 0)));
  labels_.Add(new TextLabel("", title.c_str(), nullptr, RGB(255, 0, 0), 0, kTransparent,
                            kTextCenter | kTextSingleLine, Rect{0, 7, width, 0}, 0, RGB(0, 0, 0)));
  AddButtons();
  return true;
}

// Sets the height from the body text and returns the text's height.
int MessageBoxDialog::MeasureBody() {
  Rect measured{0, 0, width - 100, 0};
  int bodyHeight = memory_.DrawText(text.c_str(), -1, measured, kTextWordBreak | kTextCalcRect);
  if (bodyHeight + 200 > kMaxMeasuredHeight) bodyHeight = kMaxMeasuredHeight - 200;
  height = bodyHeight + 200;
  return bodyHeight;
}

void MessageBoxDialog::PlaceOverMainWindow() {
  Rect main = WindowManager::Current().MainWindowRect();
  MoveWindow((kScreenWidth - width) / 2 + main.left, (kScreenHeight - height) / 2 - 50 + main.top, width + 1,
             height + 1);
}

void MessageBoxDialog::AddButtons() {
  int x = width - kButtonInset;
  for (const ButtonKind& kind : kButtonKinds) {
    if (!(buttons & kind.bit)) continue;
    buttonWidgets_.Add(new ImageButton(kind.name, kButtonFace, x, height - kButtonInset))
        ->SetCaption(kind.caption, nullptr, RGB(255, 0, 0), kTextCenter, nullptr);
    x -= kButtonStep;
  }
}

void MessageBoxDialog::OnPaint(DeviceContext& dc) {
  memory_.FillRect(Rect{0, 0, width, height});
  labels_.DrawAll(memory_);
  buttonWidgets_.DrawAll(memory_);
  dc.BitBlt(0, 0, width, height, image_, 0, 0);
  // The thin border of the box, over its outermost pixels.
  const Pen* pen = dc.SelectPen(&framePen_);
  const Brush* brush = dc.SelectBrush(Brush::Hollow());
  dc.Rectangle(Rect{0, 0, width + 1, height + 1});
  dc.SelectPen(pen);
  dc.SelectBrush(brush);
}

void MessageBoxDialog::OnLButtonDown(int x, int y) {
  if (labels_.HitTouch(x, y)) {
    InvalidateRect(nullptr);
    UpdateWindow();
    return;
  }
  PressedButton = buttonWidgets_.HitTouch(x, y);
  if (PressedButton) EndDialog(0);
}
