#include "ui/PagedList.h"

#include <algorithm>

namespace {

constexpr uint32_t kSelectionColour = RGB(255, 0, 0);

Rect Union(const Rect& a, const Rect& b) {
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

}  // namespace

PagedList::PagedList(const char* name, const Rect& rect, int rowHeight, uint32_t borderColour, Font* font,
                     uint32_t textColour, uint32_t backgroundColour, uint32_t format)
    : Widget(name, KindList),
      rect_(rect),
      rowHeight_(rowHeight),
      borderColour_(borderColour),
      font_(font),
      textColour_(textColour),
      backgroundColour_(backgroundColour),
      format_(format | kTextVCenter | kTextSingleLine) {
  pageStarts_.fill(kNone);
}

// A new cell stays hidden until a draw puts it on the shown page.
void PagedList::AddRow(const char* rowName, const char* rowText) {
  if (!rows_) rows_ = std::make_unique<WidgetCollection>();
  rows_->Add(new TextLabel(rowName, rowText, font_, textColour_, 0, kTransparent, format_, Rect{}, 0, 0))
      ->ClearFlags(Enabled | Visible);
}

void PagedList::Clear() {
  rows_.reset();
  pageStarts_.fill(kNone);
  page_ = 0;
  selectedRow_ = nullptr;
  selectedIndex_ = kNone;
}

void PagedList::SetScrollButtons(ImageButton* pageUp, ImageButton* pageDown) {
  pageUp_.reset(pageUp);
  pageDown_.reset(pageDown);
}

void PagedList::PageUp() {
  if (page_ > 0) --page_;
}

void PagedList::PageDown() {
  if (NextPageStart() != kNone) ++page_;
}

void PagedList::ListTouch(int x, int y) {
  if (!rows_) return;
  if (pageUp_ && pageUp_->HitTest(x, y)) return PageUp();
  if (pageDown_ && pageDown_->HitTest(x, y)) return PageDown();
  const Widget* hit = rows_->HitTouch(x, y);
  for (size_t i = 0; hit && i < rows_->Count(); ++i) {
    if (rows_->At(i) != hit) continue;
    selectedIndex_ = static_cast<int>(i);
    selectedRow_ = static_cast<TextLabel*>(rows_->At(i));
  }
}

Rect PagedList::Draw(DeviceContext& dc) {
  if (!IsTouchable()) return bounds_;
  DrawBox(dc);
  if (!rows_ || rows_->Count() == 0) return bounds_;
  if (DrawPage(dc)) DrawSelection(dc);
  bounds_ = DrawArrows(dc, rect_);
  return bounds_;
}

void PagedList::DrawBox(DeviceContext& dc) const {
  const Brush fill = Brush::Solid(backgroundColour_);
  const Pen border = Pen::Solid(1, borderColour_);
  const Brush* previousBrush = dc.SelectBrush(&fill);
  const Pen* previousPen = dc.SelectPen(&border);
  dc.Rectangle(rect_);
  dc.SelectPen(previousPen);
  dc.SelectBrush(previousBrush);
}

// Draws the rows of the shown page, one below the other from one pixel under
// the box's top, and notes where the next page starts; true when the
// selected row is among them.
bool PagedList::DrawPage(DeviceContext& dc) {
  if (page_ == 0) pageStarts_[0] = 0;
  for (size_t i = 0; i < rows_->Count(); ++i) rows_->At(i)->ClearFlags(Enabled | Visible);
  const int first = pageStarts_[page_];
  if (first == kNone) return false;
  bool selectionShown = false;
  int top = rect_.top + 1;
  const int count = static_cast<int>(rows_->Count());
  int next = kNone;
  for (int i = first; i < count; ++i) {
    Widget* cell = rows_->At(static_cast<size_t>(i));
    selectionShown = selectionShown || cell == selectedRow_;
    cell->SetFlags(Enabled | Visible);
    cell->SetRect({rect_.left + 1, top, rect_.right - 1, top + rowHeight_});
    cell->Draw(dc);
    top = cell->GetRect().top + rowHeight_;
    if (top + rowHeight_ > rect_.bottom) {
      if (i + 1 < count) next = i + 1;
      break;
    }
  }
  if (page_ + 1 < kMaxPages) pageStarts_[page_ + 1] = next;
  return selectionShown;
}

void PagedList::DrawSelection(DeviceContext& dc) const {
  Rect outline = selectedRow_->GetRect();
  outline.right = rect_.right - 1;
  const Pen red = Pen::Solid(1, kSelectionColour);
  const Brush* previousBrush = dc.SelectBrush(Brush::Hollow());
  const Pen* previousPen = dc.SelectPen(&red);
  dc.Rectangle(outline);
  dc.SelectPen(previousPen);
  dc.SelectBrush(previousBrush);
}

// An arrow shows only when its page exists; the bounds hold both buttons
// whether drawn or not.
Rect PagedList::DrawArrows(DeviceContext& dc, Rect bounds) const {
  if (pageUp_) {
    if (page_ > 0) pageUp_->Draw(dc);
    bounds = Union(bounds, pageUp_->GetRect());
  }
  if (pageDown_) {
    if (NextPageStart() != kNone) pageDown_->Draw(dc);
    bounds = Union(bounds, pageDown_->GetRect());
  }
  return bounds;
}

Rect PagedList::GetRect() const {
  Rect r = rect_;
  if (pageUp_) r.right += pageUp_->ImageWidth();
  return r;
}

void PagedList::Offset(int dx, int dy) { rect_ = {rect_.left + dx, rect_.top + dy, rect_.right + dx, rect_.bottom + dy}; }

void PagedList::GetText(char* buffer, size_t size) const {
  if (selectedRow_) {
    selectedRow_->GetText(buffer, size);
  } else {
    CopyBoundedText(buffer, size, "");
  }
}
