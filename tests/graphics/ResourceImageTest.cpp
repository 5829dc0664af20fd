#include <gtest/gtest.h>

#include "graphics/ResourceImage.h"

namespace {

constexpr uint32_t kWhite = RGB(255, 255, 255);

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

int InkWidth(const Surface& s, int y) {
  int n = 0;
  for (int x = 0; x < s.Width(); ++x) n += s.Pixel(x, y) != kWhite;
  return n;
}

TEST(ResourceImageTest, PicturesShowWhatTheyAre) {
  const std::optional<Surface> face = ResourceImage::LoadBitmap(129);
  const std::optional<Surface> up = ResourceImage::LoadBitmap(132);
  const std::optional<Surface> down = ResourceImage::LoadBitmap(133);
  ASSERT_TRUE(face && up && down);
  // The button face: a white square with a black outline and rounded corners.
  EXPECT_EQ(face->Pixel(32, 0), RGB(0, 0, 0));
  EXPECT_EQ(face->Pixel(0, 32), RGB(0, 0, 0));
  EXPECT_EQ(face->Pixel(32, 32), kWhite);
  EXPECT_EQ(face->Pixel(0, 0), kWhite);
  // The arrows: narrow at the tip, wide towards the middle.
  EXPECT_LT(InkWidth(*up, 3), InkWidth(*up, 20));
  EXPECT_LT(InkWidth(*down, 40), InkWidth(*down, 23));
}

TEST(ResourceImageTest, IconHasATransparentCornerAndKindsDoNotMix) {
  const std::optional<Surface> icon = ResourceImage::LoadIcon(128);
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->Width(), 32);
  EXPECT_EQ(icon->Height(), 32);
  EXPECT_EQ(icon->Pixel(0, 0) >> 24, 0u);
  EXPECT_EQ(icon->Pixel(16, 16) >> 24, 0xFFu);
  EXPECT_FALSE(ResourceImage::LoadBitmap(999));
  EXPECT_FALSE(ResourceImage::LoadBitmap(128));  // an icon, not a bitmap
  EXPECT_FALSE(ResourceImage::LoadIcon(129));
}

}  // namespace
