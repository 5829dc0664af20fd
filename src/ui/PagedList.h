#pragma once

#include <array>
#include <memory>

#include "ui/ImageButton.h"
#include "ui/TextLabel.h"
#include "ui/Widget.h"
#include "ui/WidgetCollection.h"

class Font;

// The touch list from which the operator picks a firmware file: rows shown a
// page at a time in a bordered box, two arrow buttons beside it to turn
// pages, a red outline around the selected row. Each row is a TextLabel whose
// name is the row's key and whose text is what the operator reads. Pages are
// found while drawing: drawing page k learns where page k + 1 starts, so
// PageDown reaches only pages that follow one already shown; at most 100.
class PagedList : public Widget {
 public:
  static constexpr int kMaxPages = 100;

  PagedList(const char* name, const Rect& rect, int rowHeight, uint32_t borderColour, Font* font,
            uint32_t textColour, uint32_t backgroundColour, uint32_t format);

  void AddRow(const char* rowName, const char* rowText);
  void Clear();
  // The list owns both buttons from now on; either may be nullptr.
  void SetScrollButtons(ImageButton* pageUp, ImageButton* pageDown);
  void PageUp();
  void PageDown();
  // A touch that HitTouch found on the list: turns a page or selects a row.
  void ListTouch(int x, int y);
  void Touched(int x, int y) override { ListTouch(x, y); }

  int SelectedIndex() const { return selectedIndex_; }
  TextLabel* SelectedRow() const { return selectedRow_; }
  int Page() const { return page_; }

  Rect Draw(DeviceContext& dc) override;
  // The box, reaching right over the page-up button's width.
  Rect GetRect() const override;
  void SetRect(const Rect& r) override { rect_ = r; }
  void Offset(int dx, int dy) override;
  // The selected row's text; empty while no row is selected.
  void GetText(char* buffer, size_t size) const override;
  void SetText(const char*) override {}

 private:
  static constexpr int kNone = -1;

  void DrawBox(DeviceContext& dc) const;
  bool DrawPage(DeviceContext& dc);
  void DrawSelection(DeviceContext& dc) const;
  Rect DrawArrows(DeviceContext& dc, Rect bounds) const;
  int NextPageStart() const { return page_ + 1 < kMaxPages ? pageStarts_[page_ + 1] : kNone; }

  Rect rect_;
  int rowHeight_;
  uint32_t borderColour_;
  Font* font_;
  uint32_t textColour_;
  uint32_t backgroundColour_;
  uint32_t format_;
  int page_ = 0;
  std::array<int, kMaxPages> pageStarts_;  // first row index of each page, or kNone
  std::unique_ptr<ImageButton> pageUp_;
  std::unique_ptr<ImageButton> pageDown_;
  std::unique_ptr<WidgetCollection> rows_;
  Rect bounds_;
  TextLabel* selectedRow_ = nullptr;
  int selectedIndex_ = kNone;
};
