#include "firmware/HexFileTable.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class HexFileTableTest : public ::testing::Test {
 protected:
  std::unique_ptr<HexFileTable> table = std::make_unique<HexFileTable>();
};

TEST_F(HexFileTableTest, StartsEmpty) {
  for (int index = 0; index < HexFileTable::kSlotCount; ++index) EXPECT_STREQ(table->At(index), "") << index;
}

TEST_F(HexFileTableTest, KeepsEachNameInItsOwnSlot) {
  for (int index : {0, 1, HexFileTable::kLastListedIndex, HexFileTable::kSlotCount - 1})
    EXPECT_TRUE(table->Store(index, "P149 slot " + std::to_string(index) + ".hex"));
  EXPECT_STREQ(table->At(0), "P149 slot 0.hex");
  EXPECT_STREQ(table->At(1), "P149 slot 1.hex");
  EXPECT_STREQ(table->At(100), "P149 slot 100.hex");
  EXPECT_STREQ(table->At(104), "P149 slot 104.hex");
  EXPECT_STREQ(table->At(2), "");
}

TEST_F(HexFileTableTest, ShorterNameReplacesALongerOneWhole) {
  table->Store(3, "P279 long name of an earlier scan.hex");
  table->Store(3, "P1.hex");
  EXPECT_STREQ(table->At(3), "P1.hex");
}

TEST_F(HexFileTableTest, NamesAreCutTo259Characters) {
  const std::string longName(400, 'n');
  table->Store(HexFileTable::kSlotCount - 1, longName);
  EXPECT_EQ(std::string(table->At(HexFileTable::kSlotCount - 1)), longName.substr(0, 259));
  table->Store(5, longName.substr(0, 259));
  EXPECT_EQ(std::string(table->At(5)), longName.substr(0, 259));
}

TEST_F(HexFileTableTest, IndexesOutsideTheTableStoreNothingAndReadEmpty) {
  for (int index : {-1, HexFileTable::kSlotCount, 1000, INT32_MIN}) {
    EXPECT_FALSE(table->Store(index, "P149.hex")) << index;
    EXPECT_STREQ(table->At(index), "") << index;
  }
  for (int index = 0; index < HexFileTable::kSlotCount; ++index) EXPECT_STREQ(table->At(index), "");
}

}  // namespace
