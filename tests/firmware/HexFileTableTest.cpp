#include "firmware/HexFileTable.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

namespace {

TEST(HexFileTableTest, KeepsEachNameInItsOwnSlotCutTo259Characters) {
  auto table = std::make_unique<HexFileTable>();
  const std::string longName(400, 'n');
  EXPECT_TRUE(table->Store(0, "P149.hex"));
  EXPECT_TRUE(table->Store(HexFileTable::kSlotCount - 1, longName));
  table->Store(3, "P279 long name of an earlier scan.hex");
  table->Store(3, "P1.hex");
  EXPECT_STREQ(table->At(0), "P149.hex");
  EXPECT_STREQ(table->At(1), "");
  EXPECT_STREQ(table->At(3), "P1.hex");
  EXPECT_EQ(std::string(table->At(HexFileTable::kSlotCount - 1)), longName.substr(0, 259));
}

TEST(HexFileTableTest, IndexesOutsideTheTableStoreNothingAndReadEmpty) {
  auto table = std::make_unique<HexFileTable>();
  for (int index : {-1, HexFileTable::kSlotCount, INT32_MIN}) {
    EXPECT_FALSE(table->Store(index, "P149.hex")) << index;
    EXPECT_STREQ(table->At(index), "") << index;
  }
  for (int index = 0; index < HexFileTable::kSlotCount; ++index) EXPECT_STREQ(table->At(index), "") << index;
}

}  // namespace
