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

}  // namespace
