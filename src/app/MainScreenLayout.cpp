// The main screen's widgets, where they stand, and how the screen is drawn.
#include "app/MainScreen.h"

#include "app/Format.h"
#include "nodes/NodeTypeCatalogue.h"
#include "ui/ImageButton.h"
#include "ui/PagedList.h"
#include "ui/ProgressBar.h"
#include "ui/TextLabel.h"

namespace {

constexpr uint32_t kBlack = RGB(0, 0, 0);
constexpr uint32_t kWhite = RGB(255, 255, 255);
constexpr uint32_t kRed = RGB(255, 0, 0);
constexpr uint32_t kGrey = RGB(192, 192, 192);
constexpr uint32_t kCenteredLine = kTextCenter | kTextSingleLine;

}  // namespace

void MainScreen::CreateWidgets() {
  widgets_.Add(new ImageButton("", 130, 125, 35));
  widgets_.Add(new TextLabel("", "Select Program To Update", nullptr, kBlack, kWhite, kTransparent, kCenteredLine,
                             Rect{0, 2, width_, 0}, 0, kBlack));
  auto* list = new PagedList("programSelection", Rect{50, 175, 430, 405}, 30, kBlack, nullptr, kBlack, kWhite, 0);
  list->SetScrollButtons(new ImageButton("", 132, 432, 175), new ImageButton("", 133, 432, 357));
  widgets_.Add(list);
  listRect_ = list->GetRect();
  widgets_.Add(new TextLabel("loadingMsg2", "", nullptr, kBlack, kWhite, kOpaque, kCenteredLine, Rect{0, 610, width_, 0},
                             0, kBlack));
  const int columns[] = {width_ - 407, width_ - 341, width_ - 275, width_ - 209, width_ - 143};
  const int upperRow = height_ - 230, lowerRow = height_ - 160;
  for (const NodeTypeCatalogue::Button& button : NodeTypeCatalogue::EveryNodeButton())
    CreateNodeButton(std::string(button.key).c_str(), std::string(button.caption).c_str(), columns[button.place % 5],
                     button.place < 5 ? upperRow : lowerRow);
  CreateNodeButton("Start", "Start", width_ - 77, height_ - 155);
  CreateNodeButton("All", "All", width_ - 77, height_ - 155);  // shown with a group, never with Start
  HideNodeButtons();
  CreateNodeButton("Exit", "Exit", width_ - 77, height_ - 90);
  CreateNodeButton("Recov", "Recov.", width_ - 473, height_ - 90);
  firmwareLabel_ = new TextLabel("", Format("Firmware Version: %d", gatewayFirmwareVersion_).c_str(), font15_.get(),
                                 kGrey, kWhite, kTransparent, kTextSingleLine, Rect{2, height_ - 21, 0, 0}, 0, kBlack);
  widgets_.Add(firmwareLabel_);
  widgets_.Add(new TextLabel("", Format("Software Version: %s", kVersion).c_str(), font15_.get(), kGrey, kWhite,
                             kTransparent, kTextSingleLine, Rect{5, 5, 480, 0}, 0, kBlack));
}

void MainScreen::CreateNodeButton(const char* key, const char* caption, int x, int y) {
  auto* button = new ImageButton(key, 129, x, y);
  button->SetCaption(caption, nullptr, kRed, kTextCenter, nullptr);
  widgets_.Add(button);
}

void MainScreen::CreateProgressBar() {
  progressBar_ = std::make_unique<ProgressBar>(0, 0, 110, 30, 0, 0.0, 100.0, 10.0, 50.0, 80.0);
  progressBar_->SetSize(25, 320);
  progressBar_->SetPosition(width_ - 404, height_ - 75);
  progressBar_->SetMinimum(0.0);
  progressBar_->SetMaximum(100.0);
  progressBar_->SetInset(2);
  progressBar_->SetFillColor(RGB(0, 0, 255));
  progressBar_->SetValue(0.0);
}

// Under the bar, between it and the status line, as wide as the bar.
void MainScreen::CreateTimeLeftLabel() {
  timeLeftLabel_ = std::make_unique<TextLabel>("", "", font15_.get(), kGrey, kWhite, kTransparent, kCenteredLine,
                                               Rect{width_ - 404, height_ - 48, width_ - 84, 0}, 0, kBlack);
}

void MainScreen::OnPaint(DeviceContext& dc) {
  {
    std::lock_guard lock(widgetLock_);
    surfaceDc_.FillRect(Rect{0, 0, width_, height_});
    widgets_.DrawAll(surfaceDc_);
    if (progressVisible_ && progressBar_) {
      progressBar_->Draw(surfaceDc_);
      timeLeftLabel_->Draw(surfaceDc_);
    }
  }
  dc.BitBlt(0, 0, width_, height_, surface_, 0, 0);
}

void MainScreen::Repaint(const Rect& area) {
  InvalidateRect(&area);
  UpdateWindow();
}
