#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/Font.h"
#include "platform/ResourceImage.h"
#include "ui/ImageButton.h"

namespace {

constexpr uint32_t kRed = RGB(255, 0, 0);

bool SamePixels(const Surface& a, const Surface& b) {
  for (int y = 0; y < a.Height(); ++y) {
    if (std::memcmp(a.Row(y), b.Row(y), a.Width() * sizeof(uint32_t)) != 0) return false;
  }
  return true;
}

TEST(ImageButtonTest, TouchAreaIsOnePixelLargerThanThePicture) {
  ImageButton title("", 130, 125, 35);
  EXPECT_EQ(title.GetRect(), (Rect{125, 35, 361, 112}));
  EXPECT_TRUE(title.HitTest(361, 112));
  EXPECT_FALSE(title.HitTest(362, 112));
  EXPECT_FALSE(title.HitTest(361, 113));
  EXPECT_TRUE(title.HitTest(125, 35));
  EXPECT_FALSE(title.HitTest(124, 35));
}

TEST(ImageButtonTest, DrawsItsPictureAndCoversExactlyIt) {
  Surface s(480, 640);
  DeviceContext dc(&s);
  ImageButton title("", 130, 125, 35);
  EXPECT_EQ(title.Draw(dc), (Rect{125, 35, 360, 111}));
  const std::optional<Surface> picture = ResourceImage::LoadBitmap(130);
  ASSERT_TRUE(picture);
  EXPECT_EQ(s.Pixel(125, 35), picture->Pixel(0, 0));
  EXPECT_EQ(s.Pixel(359, 110), picture->Pixel(234, 75));
  EXPECT_EQ(s.Pixel(360, 110), RGB(255, 255, 255));
}

TEST(ImageButtonTest, MovesBySetRectAndOffset) {
  ImageButton button("b", 129, 10, 20);
  button.SetRect({30, 40, 0, 0});
  EXPECT_EQ(button.GetRect(), (Rect{30, 40, 95, 105}));
  button.Offset(-5, 5);
  EXPECT_EQ(button.GetRect(), (Rect{25, 45, 90, 110}));
}

TEST(ImageButtonTest, MissingPictureGivesAOnePixelTouchAreaAndNoImage) {
  Surface s(100, 100);
  DeviceContext dc(&s);
  ImageButton button("b", 4242, 10, 20);
  EXPECT_EQ(button.GetRect(), (Rect{10, 20, 11, 21}));
  EXPECT_EQ(button.Draw(dc), (Rect{10, 20, 10, 20}));
  EXPECT_TRUE(SamePixels(s, Surface(100, 100)));
}

// Draws the expected look independently: the face, then each expected line
// centred in the measured block placed as the console does.
class CaptionTest : public testing::Test {
 protected:
  void ExpectCaption(const char* caption, const std::vector<std::string>& lines) {
    Font& font = Font::Default();
    int widest = 0;
    for (const std::string& line : lines) widest = std::max(widest, font.TextWidth(line.data(), line.size()));
    const int height = font.Height() * static_cast<int>(lines.size());
    const int left = 100 + (64 - (widest + 1)) / 2;
    const int top = 100 + (64 - height) / 2;

    Surface expected(300, 300);
    DeviceContext expectedDc(&expected);
    ImageButton("", 129, 100, 100).Draw(expectedDc);
    expectedDc.SetTextColor(kRed);
    expectedDc.SetBkMode(kTransparent);
    for (size_t i = 0; i < lines.size(); ++i) {
      Rect line{left, top + font.Height() * static_cast<int>(i), left + widest, top + height};
      expectedDc.DrawText(lines[i].c_str(), -1, line, kTextCenter | kTextSingleLine);
    }

    Surface actual(300, 300);
    DeviceContext dc(&actual);
    ImageButton button("b", 129, 100, 100);
    button.SetCaption(caption, nullptr, kRed, kTextCenter, nullptr);
    button.Draw(dc);
    EXPECT_TRUE(SamePixels(actual, expected)) << caption;
  }
};

TEST_F(CaptionTest, ShortCaptionIsCentredWithTheOddPixelRightAndDown) { ExpectCaption("Start", {"Start"}); }

TEST_F(CaptionTest, WideCaptionWrapsWithinTheFaceMinusFour) {
  ExpectCaption("Programming Complete", {"Programming", "Complete"});
}

TEST_F(CaptionTest, ManyLinesStartAboveThePicture) {
  // Five lines of 16 pixels are taller than the 64-pixel face.
  ExpectCaption("aaaa bbbbbbb ccccccc ddddddd eeeeeee", {"aaaa", "bbbbbbb", "ccccccc", "ddddddd", "eeeeeee"});
}

TEST(ImageButtonTest, DisabledCaptionIsGreyAndHiddenButtonDrawsNothing) {
  Surface s(200, 200);
  DeviceContext dc(&s);
  ImageButton button("b", 129, 10, 10);
  button.SetCaption("Exit", nullptr, kRed, kTextCenter, nullptr);
  button.ClearFlags(Widget::Enabled);
  button.Draw(dc);
  bool grey = false;
  for (int y = 10; y < 74; ++y) {
    for (int x = 10; x < 74; ++x) {
      const uint32_t p = s.Pixel(x, y);
      EXPECT_FALSE(RedOf(p) > GreenOf(p)) << x << "," << y;  // nothing reddish
      grey = grey || p == RGB(192, 192, 192);
    }
  }
  EXPECT_TRUE(grey);

  Surface blank(200, 200);
  DeviceContext blankDc(&blank);
  button.ClearFlags(Widget::Visible);
  EXPECT_EQ(button.Draw(blankDc), (Rect{10, 10, 74, 74}));
  EXPECT_TRUE(SamePixels(blank, Surface(200, 200)));
}

TEST(ImageButtonTest, CaptionRectangleIsPlacedRelativeToTheButtonInItsOwnFont) {
  Font big("Arial", 30);
  Surface actual(200, 200), expected(200, 200);
  DeviceContext dc(&actual), expectedDc(&expected);
  ImageButton("", 129, 20, 30).Draw(expectedDc);
  expectedDc.SelectFont(&big);
  expectedDc.SetTextColor(kRed);
  expectedDc.SetBkMode(kTransparent);
  Rect placed{25, 40, 80, 80};
  expectedDc.DrawText("OK", -1, placed, kTextWordBreak);

  ImageButton button("ok", 129, 20, 30);
  const Rect captionRect{5, 10, 60, 50};
  button.SetCaption("OK", &big, kRed, 0, &captionRect);
  button.Draw(dc);
  EXPECT_TRUE(SamePixels(actual, expected));
  EXPECT_EQ(&dc.CurrentFont(), &Font::Default());  // its font was selected back
}

TEST(ImageButtonTest, CaptionKeepsTwoHundredFiftyFourCharacters) {
  ImageButton button("b", 129, 0, 0);
  button.SetCaption(std::string(300, 'c').c_str(), nullptr, kRed, kTextCenter, nullptr);
  char text[400];
  button.GetText(text, sizeof text);
  EXPECT_EQ(std::strlen(text), 254u);
  button.SetText("Node 1");
  button.GetText(text, 5);
  EXPECT_STREQ(text, "Node");
}

}  // namespace
