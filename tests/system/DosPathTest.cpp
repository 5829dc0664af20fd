#include "system/DosPath.h"

#include <gtest/gtest.h>

#include "TempDosDevices.h"

namespace {

// Existing components are matched without case; doubled and mixed
// separators fold into one.
TEST(DosPathTest, MatchesExistingComponentsWithoutCaseAndFoldsSeparators) {
  TempDosDevices devices;
  devices.WriteFile("e:/Pinecroft/P149abc.hex", "x");
  const std::string file = devices.Root() + "/e:/Pinecroft/P149abc.hex";
  EXPECT_EQ(MapDosPath("e:\\Pinecroft\\P149abc.hex"), file);
  EXPECT_EQ(MapDosPath("E:\\PINECROFT\\p149ABC.HEX"), file);
  EXPECT_EQ(MapDosPath("e:\\Pinecroft\\\\LOGFILE.txt"), devices.Root() + "/e:/Pinecroft/LOGFILE.txt");
  EXPECT_EQ(MapDosPath("e:/Pinecroft//\\P149abc.hex"), file);
}

}  // namespace
