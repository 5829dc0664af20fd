#include "firmware/HexFileAccess.h"

#include <gtest/gtest.h>

#include "FakeScreen.h"
#include "TempDosDevices.h"

namespace {

class HexFileAccessTest : public ::testing::Test {
 protected:
  TempDosDevices drives;
  FakeScreen screen;
};

TEST_F(HexFileAccessTest, OpensTheBareNameInTheHexFolderWhateverTheCase) {
  EXPECT_EQ(HexFileDosPath("P149_2.hex"), "e:\\Pinecroft\\P149_2.hex");
  drives.WriteFile("e:/PINECROFT/p149.HEX", ":00000001FF\r\n");
  EXPECT_TRUE(AccessHexFile("P149.hex"));
  EXPECT_TRUE(screen.Messages().empty());
}

TEST_F(HexFileAccessTest, MissingFileOrDriveShowsTheBox) {
  EXPECT_FALSE(AccessHexFile("P149.hex"));  // no drive e: at all
  drives.MakeFolder("e:/Pinecroft");
  EXPECT_FALSE(AccessHexFile("P149.hex"));
  ASSERT_EQ(screen.Messages().size(), 2u);
  for (const FakeScreen::Box& box : screen.Messages()) {
    EXPECT_EQ(box.title, "ERROR!!!");
    EXPECT_EQ(box.text, "Cannot open selected hex file.");
  }
}

TEST_F(HexFileAccessTest, LoadsEveryByteUnchangedAndNothingOfAMissingFile) {
  const std::string content("\x00:10\r\n\xFF\x1A\nend", 13);
  drives.WriteFile("e:/Pinecroft/P2.hex", content);
  drives.WriteFile("e:/Pinecroft/empty.hex", "");
  std::vector<uint8_t> bytes{1, 2, 3};
  ASSERT_TRUE(LoadHexFile("p2.hex", bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content);
  EXPECT_TRUE(LoadHexFile("empty.hex", bytes));
  EXPECT_TRUE(bytes.empty());
  bytes = {1, 2};
  EXPECT_FALSE(LoadHexFile("gone.hex", bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_TRUE(screen.Messages().empty());
}

}  // namespace
