#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/PagedList.h"

namespace {

constexpr uint32_t kWhite = RGB(255, 255, 255);
constexpr uint32_t kBlack = RGB(0, 0, 0);
constexpr Rect kBox{10, 100, 300, 400};  // nine 30-pixel rows from y = 101

class PagedListTest : public testing::Test {
 protected:
  // Like the program list: black border and text on white, arrows to the right.
  PagedList& MakeList(const Rect& box, int rows, bool arrows = true) {
    list = std::make_unique<PagedList>("programSelection", box, 30, kBlack, nullptr, kBlack, kWhite, 0);
    for (int i = 0; i < rows; ++i) list->AddRow(std::to_string(i).c_str(), ("row " + std::to_string(i)).c_str());
    if (arrows) {
      list->SetScrollButtons(new ImageButton("", 132, box.right + 2, box.top),
                             new ImageButton("", 133, box.right + 2, box.bottom - 48));
    }
    return *list;
  }

  Rect Draw() {
    surface = Surface(480, 640);
    return list->Draw(dc);
  }

  int Touch(int x, int y) {
    list->ListTouch(x, y);
    return list->SelectedIndex();
  }

  std::unique_ptr<PagedList> list;
  Surface surface{480, 640};
  DeviceContext dc{&surface};
};

// The rows a touch picks; how many a page holds the main screen's paging
// runs check end to end.
TEST_F(PagedListTest, PageHoldsTheRowsThatEndAtOrAboveTheBoxBottom) {
  MakeList(kBox, 10);
  EXPECT_EQ(Touch(50, 110), -1);  // never drawn yet: no row is on a page
  Draw();
  EXPECT_EQ(Touch(50, 385), -1);  // below the ninth row: row 9 is on the next page
  EXPECT_EQ(Touch(50, 370), 8);
  EXPECT_EQ(list->SelectedRow()->GetRect(), (Rect{11, 341, 299, 371}));
  list->PageDown();
  Draw();
  EXPECT_EQ(Touch(50, 116), 9);
  EXPECT_EQ(list->SelectedRow()->GetRect(), (Rect{11, 101, 299, 131}));
}

TEST_F(PagedListTest, ArrowsTurnPagesOnlyWhenTheirPageExists) {
  MakeList(kBox, 10);
  EXPECT_EQ(Draw(), (Rect{10, 100, 341, 400}));  // box widened by both buttons' touch areas
  list->ListTouch(310, 110);  // the hidden up arrow
  EXPECT_EQ(list->Page(), 0);
  list->ListTouch(310, 360);
  EXPECT_EQ(list->Page(), 1);
  Draw();
  list->ListTouch(310, 360);  // the hidden down arrow: no page after the last
  EXPECT_EQ(list->Page(), 1);
  EXPECT_EQ(Touch(341, 145), -1);  // the up arrow's touch area reaches one pixel past its picture
  EXPECT_EQ(list->Page(), 0);
}

}  // namespace
