#include "firmware/UnfinishedUpdate.h"

#include <gtest/gtest.h>

#include "TempDosDevices.h"

namespace {

class UnfinishedUpdateTest : public ::testing::Test {
 protected:
  UnfinishedUpdateTest() { devices.WriteFile("e:/Pinecroft/P266rho.hex", ":0300300002337A1E\n:00000001FF\n"); }

  UnfinishedUpdate Record() const {
    UnfinishedUpdate record;
    record.slot = 28;
    record.label = "Rho Node 1";
    record.bootloader = 2;
    EXPECT_TRUE(record.TakeFile("P266rho.hex"));
    return record;
  }

  TempDosDevices devices;
};

// A power cut between the temporary file and the rename leaves the old record
// whole beside a half-written one; the next save goes over both.
TEST_F(UnfinishedUpdateTest, ACutWriteLeavesTheWholeOldRecord) {
  UnfinishedUpdate record = Record();
  ASSERT_TRUE(record.Save());
  const std::string half = record.Text().substr(0, 20);
  devices.WriteFile("d:/lumen/uploader/slot28.txt.tmp", half);
  std::optional<UnfinishedUpdate> loaded = UnfinishedUpdate::Load(28);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->Text(), record.Text());
  EXPECT_EQ(loaded->size, 30u);
  EXPECT_TRUE(loaded->FileUnchanged());

  record.bootloader = 1;
  ASSERT_TRUE(record.Save());
  EXPECT_EQ(UnfinishedUpdate::Load(28)->bootloader, 1);
  ASSERT_TRUE(UnfinishedUpdate::Remove(28));
  EXPECT_FALSE(UnfinishedUpdate::Load(28));
}

// Whatever is left of a record cut short is never taken for a record.
TEST_F(UnfinishedUpdateTest, ARecordCutAnywhereIsRefused) {
  const std::string whole = Record().Text();
  ASSERT_TRUE(UnfinishedUpdate::Parse(whole));
  for (size_t length = 0; length + 1 < whole.size(); ++length)
    EXPECT_FALSE(UnfinishedUpdate::Parse(whole.substr(0, length))) << whole.substr(0, length);
}

}  // namespace
