#include "system/DosPath.h"

#include <gtest/gtest.h>

#include "TempDosDevices.h"

namespace {

class DosPathTest : public ::testing::Test {
 protected:
  TempDosDevices devices;
};

TEST_F(DosPathTest, MatchesExistingComponentsWithoutCase) {
  devices.WriteFile("e:/Pinecroft/P149abc.hex", "x");
  EXPECT_EQ(MapDosPath("e:\\Pinecroft\\P149abc.hex"), devices.Root() + "/e:/Pinecroft/P149abc.hex");
  EXPECT_EQ(MapDosPath("E:\\PINECROFT\\p149ABC.HEX"), devices.Root() + "/e:/Pinecroft/P149abc.hex");
}

TEST_F(DosPathTest, FoldsDoubledAndMixedSeparators) {
  devices.MakeFolder("e:/Pinecroft");
  EXPECT_EQ(MapDosPath("e:\\Pinecroft\\\\LOGFILE.txt"), devices.Root() + "/e:/Pinecroft/LOGFILE.txt");
  EXPECT_EQ(MapDosPath("e:/Pinecroft//\\LOGFILE.txt"), devices.Root() + "/e:/Pinecroft/LOGFILE.txt");
}

TEST_F(DosPathTest, KeepsTheSpellingOfWhatDoesNotExist) {
  EXPECT_EQ(MapDosPath("e:\\Pinecroft\\New.txt"), devices.Root() + "/e:/Pinecroft/New.txt");
}

TEST_F(DosPathTest, PrefersTheExactSpellingWhenBothExist) {
  devices.WriteFile("d:/Menu.exe", "a");
  devices.WriteFile("d:/menu.exe", "b");
  EXPECT_EQ(MapDosPath("d:\\menu.exe"), devices.Root() + "/d:/menu.exe");
}

TEST_F(DosPathTest, DeviceNamesMapToEntriesOfTheRoot) {
  devices.WriteFile("com1", "");
  EXPECT_EQ(MapDosPath("COM1"), devices.Root() + "/com1");
}

TEST_F(DosPathTest, KeepsATrailingSeparatorForFolders) {
  devices.MakeFolder("e:/Pinecroft");
  EXPECT_EQ(MapDosPath("e:\\pinecroft\\"), devices.Root() + "/e:/Pinecroft/");
}

}  // namespace
