#include "system/DurableFile.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>

#include "TempDosDevices.h"

static std::vector<std::string>* syncedFolders = nullptr;

// Takes the place of the C library's fsync in this test program, to see
// which folders reach the disk.
extern "C" int fsync(int fd) {
  const std::string opened = "/proc/self/fd/" + std::to_string(fd);
  if (syncedFolders && std::filesystem::is_directory(opened)) syncedFolders->push_back(std::filesystem::read_symlink(opened));
  return static_cast<int>(syscall(SYS_fsync, fd));
}

// A power cut right after the first record must lose neither the record nor
// the folders made for it: each new folder reaches its parent, top down.
TEST(DurableFileTest, FlushesEachNewFolderIntoItsParentTopDown) {
  TempDosDevices devices;
  const std::string root = std::filesystem::canonical(devices.Root());
  std::vector<std::string> synced;
  syncedFolders = &synced;
  const bool written = DurableFile::Write(root + "/d:/update/record", "x");
  syncedFolders = nullptr;
  ASSERT_TRUE(written);
  EXPECT_EQ(synced, (std::vector<std::string>{root, root + "/d:", root + "/d:/update"}));
}
