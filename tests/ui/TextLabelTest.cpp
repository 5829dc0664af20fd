#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "graphics/DeviceContext.h"
#include "graphics/Font.h"
#include "ui/TextLabel.h"

namespace {

constexpr uint32_t kBlack = RGB(0, 0, 0);
constexpr uint32_t kBlue = RGB(0, 0, 255);
constexpr uint32_t kGrey = RGB(192, 192, 192);

bool SamePixels(const Surface& a, const Surface& b) {
  for (int y = 0; y < a.Height(); ++y) {
    if (std::memcmp(a.Row(y), b.Row(y), a.Width() * sizeof(uint32_t)) != 0) return false;
  }
  return true;
}

TextLabel Label(const char* text, const Rect& r, int mode = kTransparent, int border = 0) {
  return TextLabel("label", text, nullptr, kBlack, kBlue, mode, kTextSingleLine, r, border, kBlack);
}

class TextLabelTest : public testing::Test {
 protected:
  Surface surface{200, 100};
  DeviceContext dc{&surface};
  Surface expected{200, 100};
  DeviceContext expectedDc{&expected};
};

// The border runs through the right and bottom edges; the text starts 2 pixels in.
TEST_F(TextLabelTest, BorderRunsThroughRightAndBottomAndTextStartsTwoPixelsIn) {
  TextLabel label = Label("Hi", {10, 10, 110, 40}, kTransparent, 1);
  EXPECT_EQ(label.Draw(dc), (Rect{10, 10, 110, 40}));
  expectedDc.SetBkMode(kTransparent);
  Rect text{12, 10, 110, 40};
  expectedDc.DrawText("Hi", -1, text, kTextSingleLine);
  for (Rect edge : {Rect{10, 10, 111, 11}, Rect{10, 40, 111, 41}, Rect{10, 10, 11, 41}, Rect{110, 10, 111, 41}}) {
    expectedDc.FillSolidRect(edge, kBlack);
  }
  EXPECT_TRUE(SamePixels(surface, expected));
}

TEST_F(TextLabelTest, OpaqueLabelFillsItsBorderInterior) {
  Label("x", {10, 10, 60, 40}, kOpaque, 1).Draw(dc);
  EXPECT_EQ(surface.Pixel(50, 35), kBlue);
  EXPECT_EQ(surface.Pixel(10, 10), kBlack);
}

TEST_F(TextLabelTest, EdgesOfZeroFollowTheTextAlsoWhenMoved) {
  const Font& font = dc.CurrentFont();
  TextLabel label = Label("abc", {5, 6, 0, 0});
  EXPECT_EQ(label.GetRect(), Rect{});  // nothing to touch before the first draw
  EXPECT_FALSE(label.HitTest(6, 7));
  EXPECT_EQ(label.Draw(dc), (Rect{5, 6, 5 + font.TextWidth("abc", 3) + 4, 6 + font.Height()}));
  EXPECT_TRUE(label.HitTest(6, 7));
  label.Offset(10, 20);
  EXPECT_EQ(label.Draw(dc), (Rect{15, 26, 15 + font.TextWidth("abc", 3) + 4, 26 + font.Height()}));
  EXPECT_EQ(Label("", {5, 6, 0, 0}).Draw(dc), (Rect{5, 6, 9, 6}));

  TextLabel fixed = Label("abc", {5, 6, 50, 60});
  fixed.Offset(10, 20);
  EXPECT_EQ(fixed.Draw(dc), (Rect{15, 26, 60, 80}));
}

TEST_F(TextLabelTest, DisabledTextIsGreyAndHiddenLabelDrawsNothing) {
  TextLabel label = Label("WWW", {0, 0, 200, 50});
  label.ClearFlags(Widget::Enabled);
  label.Draw(dc);
  TextLabel("grey", "WWW", nullptr, kGrey, kBlue, kTransparent, kTextSingleLine, {0, 0, 200, 50}, 0, 0)
      .Draw(expectedDc);
  EXPECT_TRUE(SamePixels(surface, expected));

  surface = Surface(200, 100);
  label.ClearFlags(Widget::Visible);
  EXPECT_EQ(label.Draw(dc), (Rect{0, 0, 200, 50}));  // the last drawn rectangle
  EXPECT_TRUE(SamePixels(surface, Surface(200, 100)));
}

TEST(TextLabelTextTest, KeepsTwoHundredFiftyFourCharactersAndTwentyNineOfTheName) {
  TextLabel label(std::string(40, 'n').c_str(), std::string(300, 'x').c_str(), nullptr, kBlack, kBlue, kTransparent, 0,
                  Rect{}, 0, kBlack);
  char buffer[400];
  label.GetText(buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer), std::string(254, 'x'));
  EXPECT_EQ(std::string(label.Name()), std::string(29, 'n'));
  label.GetText(buffer, 4);
  EXPECT_STREQ(buffer, "xxx");
  label.SetText(nullptr);
  label.GetText(buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "");
}

TEST(TextLabelTextTest, TextMayChangeWhileTheLabelIsDrawn) {
  TextLabel status("loadingMsg2", "Initializing... Please Wait", nullptr, kBlack, kBlue, kOpaque,
                   kTextCenter | kTextSingleLine, Rect{0, 610, 480, 0}, 0, kBlack);
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
