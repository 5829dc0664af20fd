#include <gtest/gtest.h>

#include <string>

#include "ui/PagedList.h"
#include "ui/WidgetCollection.h"

namespace {

// A plain rectangle that paints itself in one colour and counts its end.
class Tile : public Widget {
 public:
  Tile(const char* name, Rect r, uint32_t colour, int* destroyed = nullptr)
      : Widget(name, KindLabel), rect_(r), colour_(colour), destroyed_(destroyed) {}
  ~Tile() override {
    if (destroyed_) ++*destroyed_;
  }
  Rect Draw(DeviceContext& dc) override {
    if (HasFlags(Visible)) dc.FillSolidRect(rect_, colour_);
    return rect_;
  }
  Rect GetRect() const override { return rect_; }
  void SetRect(const Rect& r) override { rect_ = r; }
  void Offset(int, int) override {}
  void GetText(char* buffer, size_t size) const override { CopyBoundedText(buffer, size, ""); }
  void SetText(const char*) override {}

 private:
  Rect rect_;
  uint32_t colour_;
  int* destroyed_;
};

TEST(WidgetCollectionTest, EdgesAreInsideAndTheFirstAddedWinsOnASharedOne) {
  WidgetCollection widgets;
  Tile* left = widgets.Add(new Tile("left", {0, 0, 10, 10}, 1));
  Tile* right = widgets.Add(new Tile("right", {10, 0, 20, 10}, 2));
  EXPECT_TRUE(widgets.HitTouch(10, 5) == left && widgets.HitTouch(10, 10) == left && widgets.HitTouch(0, 0) == left);
  EXPECT_TRUE(widgets.HitTouch(11, 5) == right && widgets.HitTouch(20, 10) == right);
  EXPECT_FALSE(widgets.HitTouch(21, 5) || widgets.HitTouch(-1, 5) || widgets.HitTouch(5, 11));
}

struct FlagCase {
  uint32_t cleared;
  bool drawn;
  bool touched;
};

class WidgetFlagTest : public testing::TestWithParam<FlagCase> {};

TEST_P(WidgetFlagTest, OnlyEnabledVisibleWidgetsAreTouchedAndOnlyVisibleOnesDrawn) {
  WidgetCollection widgets;
  Tile* under = widgets.Add(new Tile("under", {0, 0, 10, 10}, 1));
  Tile* over = widgets.Add(new Tile("over", {0, 0, 10, 10}, 2));
  under->ClearFlags(GetParam().cleared);
  EXPECT_EQ(widgets.HitTouch(5, 5), GetParam().touched ? under : over);
  Surface s(10, 10, 0);
  DeviceContext dc(&s);
  under->Draw(dc);
  EXPECT_EQ(s.Pixel(5, 5), GetParam().drawn ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Flags, WidgetFlagTest,
                         testing::Values(FlagCase{0, true, true}, FlagCase{Widget::Enabled, true, false},
                                         FlagCase{Widget::Visible, false, false},
                                         FlagCase{Widget::Enabled | Widget::Visible, false, false}));

TEST(WidgetCollectionTest, FlagsSetClearAndTestByMask) {
  Tile tile("t", {}, 0);
  EXPECT_TRUE(tile.HasFlags(Widget::Enabled | Widget::Visible));
  tile.ClearFlags(3);
  EXPECT_FALSE(tile.HasFlags(3));
  tile.SetFlags(Widget::Visible | 8);
  EXPECT_TRUE(tile.HasFlags(Widget::Enabled | Widget::Visible));  // any bit of the mask
  EXPECT_FALSE(tile.HasFlags(Widget::Enabled));
}

TEST(WidgetCollectionTest, FindsByExactNameAndCutsNamesToTwentyNine) {
  WidgetCollection widgets;
  const std::string forty(40, 'k');
  Tile* unnamed = widgets.Add(new Tile("", {}, 0));
  Tile* start = widgets.Add(new Tile("Start", {}, 0));
  Tile* longName = widgets.Add(new Tile(forty.c_str(), {}, 0));
  widgets.Add(new Tile((forty + "x").c_str(), {}, 0));
  EXPECT_EQ(widgets.Find(""), unnamed);
  EXPECT_EQ(widgets.Find("Start"), start);
  EXPECT_EQ(widgets.Find("start"), nullptr);
  EXPECT_EQ(widgets.Find("Star"), nullptr);
  EXPECT_EQ(widgets.Find(forty.c_str()), nullptr);
  EXPECT_EQ(widgets.Find(forty.substr(0, 29).c_str()), longName);
  EXPECT_EQ(std::string(widgets.At(3)->Name()), forty.substr(0, 29));
  EXPECT_EQ(widgets.Find(nullptr), nullptr);
}

TEST(WidgetCollectionTest, DrawsInOrderAndReturnsTheUnion) {
  WidgetCollection widgets;
  Surface s(30, 30, 0);
  DeviceContext dc(&s);
  EXPECT_EQ(widgets.DrawAll(dc), Rect{});
  widgets.Add(new Tile("a", {5, 5, 15, 15}, 1));
  widgets.Add(new Tile("b", {10, 2, 20, 12}, 2));
  EXPECT_EQ(widgets.DrawAll(dc), (Rect{5, 2, 20, 15}));
  EXPECT_EQ(s.Pixel(12, 10), 2u);  // the later widget paints over the earlier one
  EXPECT_EQ(s.Pixel(6, 14), 1u);
}

TEST(WidgetCollectionTest, OwnsItsWidgets) {
  int destroyed = 0;
  {
    WidgetCollection widgets;
    EXPECT_EQ(widgets.Add<Tile>(nullptr), nullptr);
    widgets.Add(new Tile("a", {}, 0, &destroyed));
    widgets.Add(new Tile("b", {}, 0, &destroyed));
    widgets.DeleteAll();
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(widgets.Count(), 0u);
    widgets.Add(new Tile("c", {}, 0, &destroyed));
  }
  EXPECT_EQ(destroyed, 3);
}

TEST(WidgetCollectionTest, TouchOnAListTurnsIntoARowSelection) {
  WidgetCollection widgets;
  PagedList* list =
      widgets.Add(new PagedList("programSelection", {10, 10, 200, 200}, 30, 0, nullptr, 0, RGB(255, 255, 255), 0));
  list->AddRow("0", "first");
  list->AddRow("1", "second");
  Surface s(300, 300);
  DeviceContext dc(&s);
  widgets.DrawAll(dc);
  EXPECT_EQ(widgets.HitTouch(50, 50), list);  // row 1 spans 41 to 71
  EXPECT_EQ(list->SelectedIndex(), 1);
}

}  // namespace
