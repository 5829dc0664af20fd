#include <gtest/gtest.h>

#include <string>

#include "platform/ResourceImage.h"
#include "ui/PagedList.h"

namespace {

constexpr uint32_t kWhite = RGB(255, 255, 255);
constexpr uint32_t kBlack = RGB(0, 0, 0);
constexpr uint32_t kRed = RGB(255, 0, 0);

class PagedListTest : public testing::Test {
 protected:
  // A list like the program list: black border and text on white.
  std::unique_ptr<PagedList> MakeList(const Rect& box, int rows, bool arrows = true) {
    auto list = std::make_unique<PagedList>("programSelection", box, 30, kBlack, nullptr, kBlack, kWhite, 0);
    for (int i = 0; i < rows; ++i) list->AddRow(std::to_string(i).c_str(), ("row " + std::to_string(i)).c_str());
    if (arrows) {
      list->SetScrollButtons(new ImageButton("", 132, box.right + 2, box.top),
                             new ImageButton("", 133, box.right + 2, box.bottom - 48));
    }
    return list;
  }

  Rect Draw(PagedList& list) {
    surface = Surface(480, 640);
    return list.Draw(dc);
  }

  bool ArrowShown(int x, int y, int number) {
    const std::optional<Surface> arrow = ResourceImage::LoadBitmap(number);
    for (int dy = 0; dy < arrow->Height(); ++dy) {
      for (int dx = 0; dx < arrow->Width(); ++dx) {
        if (surface.Pixel(x + dx, y + dy) != arrow->Pixel(dx, dy)) return false;
      }
    }
    return true;
  }

  Surface surface{480, 640};
  DeviceContext dc{&surface};
};

// Touches the middle of every row slot of the box and reports which row
// index each selects (-1: none).
std::vector<int> TouchEachSlot(PagedList& list, const Rect& box, int slots) {
  std::vector<int> picked;
  for (int slot = 0; slot < slots; ++slot) {
    list.ListTouch(box.left + 20, box.top + 1 + slot * 30 + 15);
    picked.push_back(list.SelectedIndex());
  }
  return picked;
}

TEST_F(PagedListTest, PageHoldsTheRowsThatEndAtOrAboveTheBoxBottom) {
  const Rect box{10, 100, 300, 400};
  auto list = MakeList(box, 10);
  Draw(*list);
  EXPECT_EQ(TouchEachSlot(*list, box, 9), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(list->SelectedRow()->GetRect(), (Rect{11, 341, 299, 371}));  // the ninth row
  list->PageDown();
  EXPECT_EQ(list->Page(), 1);
  Draw(*list);
  list->ListTouch(50, 101 + 15);
  EXPECT_EQ(list->SelectedIndex(), 9);
  EXPECT_STREQ(list->SelectedRow()->Name(), "9");
  EXPECT_EQ(list->SelectedRow()->GetRect(), (Rect{11, 101, 299, 131}));
}

TEST_F(PagedListTest, MainScreenListShowsSevenRowsAndReachesOverTheArrows) {
  const Rect box{50, 175, 430, 405};
  auto list = MakeList(box, 20);
  EXPECT_EQ(list->GetRect(), (Rect{50, 175, 468, 405}));
  Draw(*list);
  const std::vector<int> picked = TouchEachSlot(*list, box, 7);
  EXPECT_EQ(picked, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
  list->PageDown();
  Draw(*list);
  list->ListTouch(100, 176 + 15);
  EXPECT_EQ(list->SelectedIndex(), 7);
}

TEST_F(PagedListTest, RowsOffThePageCannotBeTouched) {
  const Rect box{10, 100, 300, 400};
  auto list = MakeList(box, 10);
  list->ListTouch(50, 110);  // never drawn yet: no row is on a page
  EXPECT_EQ(list->SelectedIndex(), -1);
  Draw(*list);
  list->ListTouch(50, 385);  // below the ninth row: row 9 is on the next page
  EXPECT_EQ(list->SelectedIndex(), -1);
}

TEST_F(PagedListTest, BoxLowerThanARowStillShowsOneRowPerPage) {
  const Rect box{10, 100, 300, 110};
  auto list = MakeList(box, 3, false);
  for (int page = 0; page < 3; ++page) {
    Draw(*list);
    EXPECT_EQ(list->Page(), page);
    list->ListTouch(50, 115);
    EXPECT_EQ(list->SelectedIndex(), page);
    list->PageDown();
  }
  EXPECT_EQ(list->Page(), 2);
}

TEST_F(PagedListTest, ArrowsShowOnlyWhenTheirPageExists) {
  const Rect box{10, 100, 300, 400};
  auto list = MakeList(box, 10);
  const Rect bounds = Draw(*list);
  EXPECT_FALSE(ArrowShown(302, 100, 132));
  EXPECT_TRUE(ArrowShown(302, 352, 133));
  EXPECT_EQ(bounds, (Rect{10, 100, 341, 400}));  // box widened by both buttons' touch areas
  list->PageDown();
  Draw(*list);
  EXPECT_TRUE(ArrowShown(302, 100, 132));
  EXPECT_FALSE(ArrowShown(302, 352, 133));
  list->PageDown();  // no page after the last
  EXPECT_EQ(list->Page(), 1);
}

TEST_F(PagedListTest, ArrowTouchesTurnPagesAndHiddenArrowsDoNothing) {
  const Rect box{10, 100, 300, 400};
  auto list = MakeList(box, 10);
  Draw(*list);
  list->ListTouch(310, 110);  // hidden up arrow on page 0
  EXPECT_EQ(list->Page(), 0);
  list->ListTouch(310, 360);
  EXPECT_EQ(list->Page(), 1);
  Draw(*list);
  list->ListTouch(310, 360);  // hidden down arrow on the last page
  EXPECT_EQ(list->Page(), 1);
  list->ListTouch(341, 145);  // the up arrow's touch area reaches one pixel past its picture
  EXPECT_EQ(list->Page(), 0);
  EXPECT_EQ(list->SelectedIndex(), -1);
}

TEST_F(PagedListTest, SelectedRowHasARedOutlineToTheBoxEdge) {
  const Rect box{10, 100, 300, 400};
  auto list = MakeList(box, 10);
  Draw(*list);
  list->ListTouch(50, 131 + 15);
  Draw(*list);
  for (int x = 11; x <= 298; ++x) {
    EXPECT_EQ(surface.Pixel(x, 131), kRed) << x;
    EXPECT_EQ(surface.Pixel(x, 160), kRed) << x;
  }
  EXPECT_EQ(surface.Pixel(11, 145), kRed);
  EXPECT_EQ(surface.Pixel(298, 145), kRed);
  EXPECT_EQ(surface.Pixel(299, 145), kBlack);  // the box border
  EXPECT_EQ(surface.Pixel(11, 175), kWhite);
  list->PageDown();
  Draw(*list);
  for (int y = 101; y < 400; ++y) EXPECT_NE(surface.Pixel(11, y), kRed);  // the selection is on page 0
  EXPECT_EQ(list->SelectedIndex(), 1);
}

TEST_F(PagedListTest, ClearEmptiesTheListAndKeepsTheLastBounds) {
  const Rect box{10, 100, 300, 400};
  auto list = MakeList(box, 10);
  Draw(*list);
  list->ListTouch(50, 115);
  list->PageDown();
  const Rect bounds = Draw(*list);
  list->Clear();
  EXPECT_EQ(list->SelectedIndex(), -1);
  EXPECT_EQ(list->SelectedRow(), nullptr);
  EXPECT_EQ(list->Page(), 0);
  EXPECT_EQ(Draw(*list), bounds);
  EXPECT_EQ(surface.Pixel(10, 100), kBlack);
  EXPECT_EQ(surface.Pixel(50, 115), kWhite);  // the empty box only
  EXPECT_FALSE(ArrowShown(302, 352, 133));
  char text[8] = "junk";
  list->GetText(text, sizeof text);
  EXPECT_STREQ(text, "");
}

TEST_F(PagedListTest, AtMostOneHundredPages) {
  const Rect box{10, 100, 300, 110};  // one row per page
  auto list = MakeList(box, 150, false);
  for (int i = 0; i < 120; ++i) {
    Draw(*list);
    list->PageDown();
  }
  EXPECT_EQ(list->Page(), 99);
  Draw(*list);
  list->ListTouch(50, 115);
  EXPECT_EQ(list->SelectedIndex(), 99);
  list->PageUp();
  EXPECT_EQ(list->Page(), 98);
}

TEST_F(PagedListTest, HiddenOrDisabledListDrawsNothing) {
  auto list = MakeList({10, 100, 300, 400}, 3);
  list->ClearFlags(Widget::Enabled);
  EXPECT_EQ(Draw(*list), Rect{});
  EXPECT_EQ(surface.Pixel(10, 100), kWhite);
}

TEST_F(PagedListTest, GetTextGivesTheSelectedRowsText) {
  const Rect box{10, 100, 300, 400};
  auto list = MakeList(box, 3);
  Draw(*list);
  list->ListTouch(50, 131 + 15);
  char text[32];
  list->GetText(text, sizeof text);
  EXPECT_STREQ(text, "row 1");
  list->SetText("ignored");
  list->GetText(text, sizeof text);
  EXPECT_STREQ(text, "row 1");
}

TEST_F(PagedListTest, OffsetMovesTheBoxButNotTheArrows) {
  auto list = MakeList({10, 100, 300, 400}, 3);
  list->Offset(5, 7);
  EXPECT_EQ(list->GetRect(), (Rect{15, 107, 343, 407}));
  Draw(*list);
  list->ListTouch(50, 108 + 15);
  EXPECT_EQ(list->SelectedIndex(), 0);
}

}  // namespace
