#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "graphics/Font.h"
#include "graphics/ResourceImage.h"
#include "ui/ImageButton.h"

namespace {

constexpr uint32_t kRed = RGB(255, 0, 0);

bool SamePixels(const Surface& a, const Surface& b) {
  for (int y = 0; y < a.Height(); ++y) {
    if (std::memcmp(a.Row(y), b.Row(y), a.Width() * sizeof(uint32_t)) != 0) return false;
  }
  return true;
}

// An expected look: the button face at (x, y), then red text drawn transparently.
struct Expected {
  Expected(int x, int y) { ImageButton("", 129, x, y).Draw(dc); }
  void Text(const std::string& text, Rect r, uint32_t format) {
    dc.SetTextColor(kRed);
    dc.SetBkMode(kTransparent);
    dc.DrawText(text.c_str(), -1, r, format);
  }
  Surface surface{200, 200};
  DeviceContext dc{&surface};
};

TEST(ImageButtonTest, DrawsItsPictureAndIsTouchedOnePixelFurther) {
  Surface s(480, 640);
  DeviceContext dc(&s);
  ImageButton title("", 130, 125, 35);
  EXPECT_EQ(title.Draw(dc), (Rect{125, 35, 360, 111}));
  const std::optional<Surface> picture = ResourceImage::LoadBitmap(130);
  ASSERT_TRUE(picture);
  EXPECT_EQ(s.Pixel(125, 35), picture->Pixel(0, 0));
  EXPECT_EQ(s.Pixel(359, 110), picture->Pixel(234, 75));
  EXPECT_EQ(s.Pixel(360, 110), RGB(255, 255, 255));
  EXPECT_EQ(title.GetRect(), (Rect{125, 35, 361, 112}));
  EXPECT_TRUE(title.HitTest(361, 112) && title.HitTest(125, 35));
  EXPECT_FALSE(title.HitTest(362, 112) || title.HitTest(361, 113) || title.HitTest(124, 35) || title.HitTest(125, 34));
  title.SetRect({30, 40, 0, 0});
  title.Offset(-5, 5);
  EXPECT_EQ(title.GetRect(), (Rect{25, 45, 261, 122}));
}

TEST(ImageButtonTest, MissingPictureGivesAOnePixelTouchAreaAndNoImage) {
  Surface s(100, 100);
  DeviceContext dc(&s);
  ImageButton button("b", 4242, 10, 20);
  EXPECT_EQ(button.GetRect(), (Rect{10, 20, 11, 21}));
  EXPECT_EQ(button.Draw(dc), (Rect{10, 20, 10, 20}));
  EXPECT_TRUE(SamePixels(s, Surface(100, 100)));
}

struct CaptionCase {
  const char* caption;
  std::vector<std::string> lines;  // as wrapped within the face's 64 pixels minus 4
};

class CaptionTest : public testing::TestWithParam<CaptionCase> {};

// Each line centred in the measured block, which is centred on the face with
// the odd pixel going right and down.
TEST_P(CaptionTest, IsCentredOnTheFace) {
  Font& font = Font::Default();
  int widest = 0;
  for (const std::string& line : GetParam().lines) widest = std::max(widest, font.TextWidth(line.data(), line.size()));
  const int height = 16 * static_cast<int>(GetParam().lines.size());
  const int left = 100 + (64 - (widest + 1)) / 2, top = 100 + (64 - height) / 2;
  Expected expected(100, 100);
  for (size_t i = 0; i < GetParam().lines.size(); ++i) {
    expected.Text(GetParam().lines[i], {left, top + 16 * static_cast<int>(i), left + widest, top + height},
                  kTextCenter | kTextSingleLine);
  }

  Surface actual(200, 200);
  DeviceContext dc(&actual);
  ImageButton button("b", 129, 100, 100);
  button.SetCaption(GetParam().caption, nullptr, kRed, kTextCenter, nullptr);
  button.Draw(dc);
  EXPECT_TRUE(SamePixels(actual, expected.surface));
}

INSTANTIATE_TEST_SUITE_P(Captions, CaptionTest,
                         testing::Values(CaptionCase{"Start", {"Start"}},
                                         CaptionCase{"Programming Complete", {"Programming", "Complete"}},
                                         // five lines are taller than the face: they start above it
                                         CaptionCase{"aaaa bbbbbbb ccccccc ddddddd eeeeeee",
                                                     {"aaaa", "bbbbbbb", "ccccccc", "ddddddd", "eeeeeee"}}));

TEST(ImageButtonTest, CaptionRectangleIsPlacedRelativeToTheButtonInItsOwnFont) {
  Font big("Arial", 30);
  Expected expected(20, 30);
  expected.dc.SelectFont(&big);
  expected.Text("OK", {25, 40, 80, 80}, kTextWordBreak);

  Surface actual(200, 200);
  DeviceContext dc(&actual);
  ImageButton button("ok", 129, 20, 30);
  const Rect captionRect{5, 10, 60, 50};
  button.SetCaption("OK", &big, kRed, 0, &captionRect);
  button.Draw(dc);
  EXPECT_TRUE(SamePixels(actual, expected.surface));
  EXPECT_EQ(&dc.CurrentFont(), &Font::Default());  // its font was selected back
}

TEST(ImageButtonTest, DisabledCaptionIsGreyAndHiddenButtonDrawsNothing) {
  Surface s(200, 200), grey(200, 200);
  DeviceContext dc(&s), greyDc(&grey);
  ImageButton button("b", 129, 10, 10), greyCaption("g", 129, 10, 10);
  button.SetCaption("Exit", nullptr, kRed, kTextCenter, nullptr);
  greyCaption.SetCaption("Exit", nullptr, RGB(192, 192, 192), kTextCenter, nullptr);
  button.ClearFlags(Widget::Enabled);
  button.Draw(dc);
  greyCaption.Draw(greyDc);
  EXPECT_TRUE(SamePixels(s, grey));

  s = Surface(200, 200);
  button.ClearFlags(Widget::Visible);
  EXPECT_EQ(button.Draw(dc), (Rect{10, 10, 74, 74}));
  EXPECT_TRUE(SamePixels(s, Surface(200, 200)));
}

TEST(ImageButtonTest, CaptionKeepsTwoHundredFiftyFourCharacters) {
  ImageButton button("b", 129, 0, 0);
  button.SetCaption(std::string(300, 'c').c_str(), nullptr, kRed, kTextCenter, nullptr);
  char text[400];
  button.GetText(text, sizeof text);
  EXPECT_EQ(std::string(text), std::string(254, 'c'));
  button.SetText("Node 1");
  button.GetText(text, 5);
  EXPECT_STREQ(text, "Node");
}

}  // namespace
