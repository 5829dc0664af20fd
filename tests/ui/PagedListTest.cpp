#include <gtest/gtest.h>

#include <string>

#include "ui/PagedList.h"

namespace {

constexpr uint32_t kWhite = RGB(255, 255, 255);
constexpr uint32_t kBlack = RGB(0, 0, 0);

// Like the program list: ten rows, black border and text on white, nine
// 30-pixel rows a page from y = 101, arrows to the right.
class PagedListTest : public testing::Test {
 protected:
  PagedListTest() {
    for (int i = 0; i < 10; ++i) list.AddRow(std::to_string(i).c_str(), ("row " + std::to_string(i)).c_str());
    list.SetScrollButtons(new ImageButton("", 132, 302, 100), new ImageButton("", 133, 302, 352));
  }

  int Touch(int x, int y) {
    list.ListTouch(x, y);
    return list.SelectedIndex();
  }

  PagedList list{"programSelection", Rect{10, 100, 300, 400}, 30, kBlack, nullptr, kBlack, kWhite, 0};
  Surface surface{480, 640};
  DeviceContext dc{&surface};
};

// The rows a touch picks and the pages the arrows reach; how many rows a page
// holds the main screen's paging runs check end to end.
TEST_F(PagedListTest, TouchesPickTheRowsOfTheShownPageAndArrowsTurnOnlyToPagesThatExist) {
  EXPECT_EQ(Touch(50, 110), -1);  // never drawn yet: no row is on a page
  EXPECT_EQ(list.Draw(dc), (Rect{10, 100, 341, 400}));  // box widened by both buttons' touch areas
  EXPECT_EQ(Touch(50, 385), -1);  // below the ninth row: row 9 is on the next page
  EXPECT_EQ(Touch(50, 370), 8);
  EXPECT_EQ(list.SelectedRow()->GetRect(), (Rect{11, 341, 299, 371}));
  list.ListTouch(310, 110);  // the hidden up arrow
  EXPECT_EQ(list.Page(), 0);
  list.ListTouch(310, 360);
  EXPECT_EQ(list.Page(), 1);
  list.Draw(dc);
  EXPECT_EQ(Touch(50, 116), 9);
  EXPECT_EQ(list.SelectedRow()->GetRect(), (Rect{11, 101, 299, 131}));
  list.ListTouch(310, 360);  // the hidden down arrow: no page after the last
  EXPECT_EQ(list.Page(), 1);
  list.ListTouch(341, 145);  // the up arrow's touch area reaches one pixel past its picture
  EXPECT_EQ(list.Page(), 0);
}

}  // namespace
