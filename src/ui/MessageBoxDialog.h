#pragma once

#include <cstdint>
#include <string>

#include "graphics/DeviceContext.h"
#include "display/Dialog.h"
#include "graphics/Font.h"
#include "graphics/Surface.h"
#include "ui/Widget.h"
#include "ui/WidgetCollection.h"

// The program's message box: a red title line, a black body text and up to
// four touch buttons along the bottom, over the main screen. The caller sets
// title, text and buttons, runs DoModal (from any thread) and then reads
// PressedButton, before destroying the box.
class MessageBoxDialog : public Dialog {
 public:
  enum : uint32_t { ButtonOk = 1, ButtonCancel = 2, ButtonNo = 4, ButtonYes = 8 };

  MessageBoxDialog();

  std::string title;
  std::string text;
  uint32_t buttons = ButtonOk;
  int width = 0;   // 0: 400
  int height = 0;  // 0: from the body text
  uint32_t bodyFormat = kTextCenter | kTextWordBreak;
  // The button that ended the box; none after a press beside every button.
  Widget* PressedButton = nullptr;

 protected:
  bool OnInitDialog() override;
  void OnPaint(DeviceContext& dc) override;
  void OnLButtonDown(int x, int y) override;

 private:
  int MeasureBody();
  void PlaceOverMainWindow();
  void AddButtons();

  Font font_;
  Surface image_;
  DeviceContext memory_;
  Brush white_ = Brush::Solid(RGB(255, 255, 255));
  Pen framePen_ = Pen::Solid(1, RGB(0, 0, 0));
  WidgetCollection buttonWidgets_;
  WidgetCollection labels_;
};
