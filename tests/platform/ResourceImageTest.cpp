#include <gtest/gtest.h>

#include "platform/ResourceImage.h"

namespace {

struct BitmapCase {
  int number;
  int width;
  int height;
};

class ResourceBitmapSizeTest : public testing::TestWithParam<BitmapCase> {};

TEST_P(ResourceBitmapSizeTest, HasItsSize) {
  const std::optional<Surface> bitmap = ResourceImage::LoadBitmap(GetParam().number);
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->Width(), GetParam().width);
  EXPECT_EQ(bitmap->Height(), GetParam().height);
}

INSTANTIATE_TEST_SUITE_P(Program, ResourceBitmapSizeTest,
                         testing::Values(BitmapCase{129, 64, 64}, BitmapCase{130, 235, 76}, BitmapCase{132, 38, 45},
                                         BitmapCase{133, 37, 44}));

TEST(ResourceImageTest, ButtonFaceIsAWhiteSquareWithABlackOutline) {
  const std::optional<Surface> face = ResourceImage::LoadBitmap(129);
  ASSERT_TRUE(face);
  EXPECT_EQ(face->Pixel(32, 0), RGB(0, 0, 0));
  EXPECT_EQ(face->Pixel(0, 32), RGB(0, 0, 0));
  EXPECT_EQ(face->Pixel(32, 32), RGB(255, 255, 255));
  EXPECT_EQ(face->Pixel(0, 0), RGB(255, 255, 255));  // outside the rounded corner
}

TEST(ResourceImageTest, ArrowsPointTheirWay) {
  // The up arrow is wide near its top half's bottom and narrow at its tip; the down arrow the other way round.
  const std::optional<Surface> up = ResourceImage::LoadBitmap(132);
  const std::optional<Surface> down = ResourceImage::LoadBitmap(133);
  ASSERT_TRUE(up && down);
  auto inkWidth = [](const Surface& s, int y) {
    int n = 0;
    for (int x = 0; x < s.Width(); ++x) n += s.Pixel(x, y) != RGB(255, 255, 255);
    return n;
  };
  EXPECT_LT(inkWidth(*up, 3), inkWidth(*up, 20));
  EXPECT_LT(inkWidth(*down, 40), inkWidth(*down, 23));
}

TEST(ResourceImageTest, IconHasATransparentCorner) {
  const std::optional<Surface> icon = ResourceImage::LoadIcon(128);
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->Width(), 32);
  EXPECT_EQ(icon->Height(), 32);
  EXPECT_EQ(icon->Pixel(0, 0) >> 24, 0u);
  EXPECT_EQ(icon->Pixel(16, 16) >> 24, 0xFFu);
}

TEST(ResourceImageTest, UnknownNumbersAndKindsLoadNothing) {
  EXPECT_FALSE(ResourceImage::LoadBitmap(999));
  EXPECT_FALSE(ResourceImage::LoadBitmap(128));  // an icon, not a bitmap
  EXPECT_FALSE(ResourceImage::LoadIcon(129));
}

}  // namespace
