#include "firmware/UnfinishedUpdate.h"

#include <gtest/gtest.h>

#include "TempDosDevices.h"

namespace {

// A power cut before the rename leaves a half-written temporary file beside
// the whole old record; what is read back is the old record, field for field.
TEST(UnfinishedUpdateTest, ACutWriteLeavesTheWholeOldRecord) {
  TempDosDevices devices;
  devices.WriteFile("e:/Pinecroft/P266rho.hex", ":0300300002337A1E\n:00000001FF\n");
  UnfinishedUpdate record{28, "Rho Node 1", "", 0, 0, 2};
  ASSERT_TRUE(record.TakeFile("P266rho.hex") && record.Save());
  devices.WriteFile("d:/lumen/uploader/slot28.txt.tmp", record.Text().substr(0, 20));
  std::optional<UnfinishedUpdate> loaded = UnfinishedUpdate::Load(28);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->Text(), record.Text());
  EXPECT_TRUE(loaded->size == 30 && loaded->FileUnchanged());
  ASSERT_TRUE(UnfinishedUpdate::Remove(28));
  EXPECT_FALSE(UnfinishedUpdate::Load(28));
}

// Whatever is left of a record cut short is never taken for a record.
TEST(UnfinishedUpdateTest, ARecordCutAnywhereIsRefused) {
  const std::string whole = UnfinishedUpdate{28, "Rho Node 1", "P266rho.hex", 30, 0xA1B2C3D4, 2}.Text();
  ASSERT_TRUE(UnfinishedUpdate::Parse(whole));
  for (size_t length = 0; length + 1 < whole.size(); ++length)
    EXPECT_FALSE(UnfinishedUpdate::Parse(whole.substr(0, length))) << whole.substr(0, length);
}

}  // namespace
