#include "firmware/UnfinishedUpdate.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include "FakeScreen.h"
#include "TempDosDevices.h"

namespace {

// A save cut part way (the file may grow by 64 bytes only) fails and leaves
// the old record whole: it is never rewritten in place. What is read back
// is the old record, field for field.
TEST(UnfinishedUpdateTest, ASaveCutPartWayLeavesTheWholeOldRecord) {
  TempDosDevices devices;
  devices.WriteFile("e:/Pinecroft/P266rho.hex", ":0300300002337A1E\n:00000001FF\n");
  UnfinishedUpdate old{28, "Rho Node 1", "", 0, 0, 0, ""};
  ASSERT_TRUE(old.TakeFile("P266rho.hex") && old.Save());
  UnfinishedUpdate next = old;
  next.label = std::string(200, 'x');
  next.bootloader = 2;
  signal(SIGXFSZ, SIG_IGN);
  rlimit limit{64, RLIM_INFINITY};
  setrlimit(RLIMIT_FSIZE, &limit);
  const bool saved = next.Save();
  limit.rlim_cur = RLIM_INFINITY;
  setrlimit(RLIMIT_FSIZE, &limit);
  EXPECT_FALSE(saved);
  const std::optional<UnfinishedUpdate> loaded = UnfinishedUpdate::Load(28);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->Text(), old.Text());
  EXPECT_TRUE(loaded->size == 30 && loaded->FileUnchanged());
  ASSERT_TRUE(UnfinishedUpdate::Remove(28));
  EXPECT_FALSE(UnfinishedUpdate::Load(28));
}

// Whatever is left of a record cut short is never taken for a record, nor is
// one that names a file outside the hex folder or holds a field out of range.
// A record from before there was a kept program loads, and one that puts a
// kept program back.
TEST(UnfinishedUpdateTest, ARecordCutAnywhereOrOutOfRangeIsRefused) {
  const UnfinishedUpdate good{28, "Rho Node 1", "P266rho.hex", 30, 0xA1B2C3D4, 2, "Kept\\P266 Rho slot28 x.hex"};
  const std::string whole = good.Text();
  ASSERT_EQ(UnfinishedUpdate::Parse(whole).value_or(UnfinishedUpdate{}).Text(), whole);
  EXPECT_EQ(UnfinishedUpdate::Parse(whole.substr(0, whole.find("kept=")) + "end\n").value_or(good).kept, "");
  for (size_t length = 0; length + 1 < whole.size(); ++length)
    EXPECT_FALSE(UnfinishedUpdate::Parse(whole.substr(0, length))) << whole.substr(0, length);
  const auto with = [&](auto change) {
    UnfinishedUpdate record = good;
    change(record);
    return record.Text();
  };
  for (const std::string& bad :
       {with([](auto& r) { r.fileName = "../P266rho.hex"; }), with([](auto& r) { r.fileName = "a/P266rho.hex"; }),
        with([](auto& r) { r.fileName = "a\\P266rho.hex"; }), with([](auto& r) { r.fileName = ".."; }),
        with([](auto& r) { r.slot = 0; }), with([](auto& r) { r.slot = 100; }), with([](auto& r) { r.size = 0; }),
        with([](auto& r) { r.bootloader = 3; }), with([](auto& r) { r.bootloader = -1; }),
        with([](auto& r) { r.kept = "Kept\\..\\P266.hex"; }), with([](auto& r) { r.kept = "P266rho.hex"; }),
        "kept=\n" + whole})
    EXPECT_FALSE(UnfinishedUpdate::Parse(bad)) << bad;
  EXPECT_TRUE(UnfinishedUpdate::Parse(with([](auto& r) { r.fileName = r.kept; })));  // putting a kept program back
  TempDosDevices devices;
  FakeScreen screen;
  devices.WriteFile("d:/lumen/uploader/slot28.txt", with([](auto& r) { r.fileName = "../../etc/passwd"; }));
  EXPECT_FALSE(UnfinishedUpdate::Load(28));
  EXPECT_EQ(screen.Logs(), std::vector<std::string>{"WARNING: unfinished update record refused: d:\\lumen\\uploader\\slot28.txt"});
}

}  // namespace
