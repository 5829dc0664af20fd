#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/DeviceContext.h"
#include "platform/Font.h"
#include "ui/TextLabel.h"

namespace {

constexpr uint32_t kWhite = RGB(255, 255, 255);
constexpr uint32_t kBlack = RGB(0, 0, 0);
constexpr uint32_t kBlue = RGB(0, 0, 255);

// Leftmost column in [top, bottom) holding a pixel that is not white, or -1.
int FirstInkColumn(const Surface& s, int top, int bottom) {
  for (int x = 0; x < s.Width(); ++x) {
    for (int y = top; y < bottom; ++y) {
      if (s.Pixel(x, y) != kWhite) return x;
    }
  }
  return -1;
}

TextLabel Label(const char* text, const Rect& r, int mode = kTransparent, int border = 0) {
  return TextLabel("label", text, nullptr, kBlack, kBlue, mode, kTextSingleLine, r, border, kBlack);
}

TEST(TextLabelTest, BorderRunsThroughRightAndBottomAndTextStartsTwoPixelsIn) {
  Surface surface(200, 100);
  DeviceContext dc(&surface);
  TextLabel label = Label("Hi", {10, 10, 110, 40}, kTransparent, 1);
  EXPECT_EQ(label.Draw(dc), (Rect{10, 10, 110, 40}));
  for (int x = 10; x <= 110; ++x) {
    EXPECT_EQ(surface.Pixel(x, 10), kBlack) << x;
    EXPECT_EQ(surface.Pixel(x, 40), kBlack) << x;
  }
  for (int y = 10; y <= 40; ++y) {
    EXPECT_EQ(surface.Pixel(10, y), kBlack) << y;
    EXPECT_EQ(surface.Pixel(110, y), kBlack) << y;
  }
  EXPECT_EQ(surface.Pixel(111, 25), kWhite);
  EXPECT_EQ(surface.Pixel(60, 41), kWhite);
  // The text is what DrawText shows 2 pixels in from the left edge.
  Surface expected(200, 100);
  DeviceContext expectedDc(&expected);
  expectedDc.SelectPen(nullptr);
  expectedDc.SelectBrush(Brush::Hollow());
  expectedDc.Rectangle({10, 10, 111, 41});
  expectedDc.SetBkMode(kTransparent);
  Rect textRect{12, 10, 110, 40};
  expectedDc.DrawText("Hi", -1, textRect, kTextSingleLine);
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 200; ++x) ASSERT_EQ(surface.Pixel(x, y), expected.Pixel(x, y)) << x << "," << y;
  }
}

TEST(TextLabelTest, EdgesOfZeroFollowTheText) {
  Surface surface(200, 100);
  DeviceContext dc(&surface);
  Font& font = dc.CurrentFont();
  TextLabel label = Label("abc", {5, 6, 0, 0});
  EXPECT_EQ(label.GetRect(), Rect{});  // nothing to touch before the first draw
  EXPECT_FALSE(label.HitTest(6, 7));
  const Rect drawn = label.Draw(dc);
  EXPECT_EQ(drawn, (Rect{5, 6, 5 + font.TextWidth("abc", 3) + 4, 6 + font.Height()}));
  EXPECT_TRUE(label.HitTest(6, 7));

  TextLabel empty = Label("", {5, 6, 0, 0});
  EXPECT_EQ(empty.Draw(dc), (Rect{5, 6, 9, 6}));
}

TEST(TextLabelTest, OffsetKeepsEdgesThatFollowTheText) {
  Surface surface(200, 100);
  DeviceContext dc(&surface);
  TextLabel follows = Label("abc", {5, 6, 0, 0});
  follows.Offset(10, 20);
  const Rect r = follows.Draw(dc);
  EXPECT_EQ(r.left, 15);
  EXPECT_EQ(r.top, 26);
  EXPECT_EQ(r.bottom - r.top, dc.CurrentFont().Height());

  TextLabel fixed = Label("abc", {5, 6, 50, 60});
  fixed.Offset(10, 20);
  EXPECT_EQ(fixed.Draw(dc), (Rect{15, 26, 60, 80}));
}

TEST(TextLabelTest, OpaqueLabelFillsItsTextCellAndBorderInterior) {
  Surface surface(200, 100);
  DeviceContext dc(&surface);
  Label("x", {10, 10, 60, 40}, kOpaque, 1).Draw(dc);
  EXPECT_EQ(surface.Pixel(50, 35), kBlue);  // interior of the bordered box
  EXPECT_EQ(surface.Pixel(10, 10), kBlack);
}

TEST(TextLabelTest, DisabledTextIsGreyAndHiddenLabelDrawsNothing) {
  Surface surface(200, 100);
  DeviceContext dc(&surface);
  TextLabel label = Label("WWW", {0, 0, 200, 50});
  label.ClearFlags(Widget::Enabled);
  label.Draw(dc);
  bool grey = false;
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 200; ++x) {
      const uint32_t p = surface.Pixel(x, y);
      EXPECT_EQ(RedOf(p), GreenOf(p));
      EXPECT_GE(RedOf(p), 192u);
      grey = grey || p == RGB(192, 192, 192);
    }
  }
  EXPECT_TRUE(grey);

  Surface blank(200, 100);
  DeviceContext blankDc(&blank);
  label.SetFlags(Widget::Enabled);
  label.ClearFlags(Widget::Visible);
  EXPECT_EQ(label.Draw(blankDc), (Rect{0, 0, 200, 50}));  // the last drawn rectangle
  EXPECT_EQ(FirstInkColumn(blank, 0, 100), -1);
}

TEST(TextLabelTest, KeepsTwoHundredFiftyFourCharactersAndTwentyNineOfTheName) {
  const std::string longText(300, 'x');
  TextLabel label(std::string(40, 'n').c_str(), longText.c_str(), nullptr, kBlack, kWhite, kTransparent, 0,
                  Rect{}, 0, kBlack);
  char buffer[400];
  label.GetText(buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer), std::string(254, 'x'));
  EXPECT_EQ(std::string(label.Name()), std::string(29, 'n'));
  char small[4];
  label.GetText(small, sizeof small);
  EXPECT_STREQ(small, "xxx");
  label.SetText(nullptr);
  label.GetText(buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "");
}

}  // namespace

namespace {

TEST(TextLabelTest, TextMayChangeWhileTheLabelIsDrawn) {
  TextLabel status("loadingMsg2", "Initializing... Please Wait", nullptr, kBlack, kWhite, kOpaque, kTextCenter | kTextSingleLine,
                   Rect{0, 610, 480, 0}, 0, kBlack);
  std::thread run([&status] {
    for (int i = 0; i < 200; ++i) status.SetText(i % 2 ? "Erasing Flash..." : "Programming... Finished");
  });
  Surface surface(480, 640);
  DeviceContext dc(&surface);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(status.Draw(dc), (Rect{0, 610, 480, 626}));
  run.join();
  char text[64];
  status.GetText(text, sizeof text);
  EXPECT_STREQ(text, "Erasing Flash...");
}

}  // namespace
