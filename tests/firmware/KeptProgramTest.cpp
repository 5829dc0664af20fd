#include "firmware/KeptProgram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "TempDosDevices.h"
#include "firmware/HexFileAccess.h"
#include "firmware/HexFileCheck.h"
#include "system/DosPath.h"

namespace {

const std::string kStem = "P149 Alpha Node 1 slot01 2026-12-07 01-30-15";
const std::string kName = "Kept\\" + kStem + ".hex";

// Where the drive does not take the file the operator hears why, in the
// system's words. Where it does, a memory with bytes at both ends and an
// erased stretch between reads back the same in the engine's reader, with no
// line for the stretch, passes the check every run makes first, and a second
// save under the same name never overwrites it.
TEST(KeptProgramTest, SavesWhatReadsBackTheSameOrSaysWhyNot) {
  TempDosDevices devices;
  std::array<uint8_t, kNodeMemorySize> memory, image;
  memory.fill(0xFF);
  memory[0x0000] = 0x0C;
  memory[0x7FFF] = 0x00;
  EXPECT_EQ(KeptProgram::Save(kName, memory).reason, "No such file or directory");  // the drive is gone
  devices.MakeFolder("e:/Pinecroft");
  ASSERT_EQ(KeptProgram::Save(kName, memory).reason, "");
  EXPECT_TRUE(HexFileCheck::Accepts(kName));
  EXPECT_EQ(std::ranges::count(TempDosDevices::ReadFile(MapDosPath(HexFileDosPath(kName))), '\n'), 3);
  image.fill(0xFF);
  uint16_t end = 0;
  EXPECT_TRUE(IntelHexReader(image, end).ReadFile(kName));
  EXPECT_EQ(image, memory);
  EXPECT_EQ(KeptProgram::Save(kName, memory).name, "Kept\\" + kStem + " 2.hex");
}

TEST(KeptProgramTest, NamesTheProgramNodeAndLocalTimeInCharactersAFatDriveTakes) {
  setenv("TZ", "CET-1", 1);
  tzset();
  EXPECT_EQ(KeptProgram::NameFor(57, "Rho/Node:1?\t", 28, 1796607015),
            "Kept\\P057 Rho_Node_1__ slot28 2026-12-07 02-30-15.hex");
  unsetenv("TZ");
  tzset();
}

TEST(KeptProgramTest, ListsTheNewestFirstAndOtherNamesLast) {
  TempDosDevices devices;
  const std::string older = "P149 Alpha Node 1 slot01 2025-12-31 23-59-59 2.hex";
  for (const std::string& file : std::vector<std::string>{older, "odd.hex", "notes.txt", kStem + ".hex",
                                                          "P150 Beta slot05 2026-12-08 00-00-00.hex"})
    devices.WriteFile("e:/Pinecroft/Kept/" + file, "");
  std::vector<std::string> rows;
  for (const KeptProgram::Listed& listed : KeptProgram::List())
    rows.push_back(listed.name + "|" + listed.rowText + (KeptProgram::IsKept(listed.name) ? "" : " not kept"));
  EXPECT_EQ(rows, (std::vector<std::string>{"Kept\\P150 Beta slot05 2026-12-08 00-00-00.hex|Beta kept 2026-12-08 00:00",
                                            kName + "|Alpha Node 1 kept 2026-12-07 01:30",
                                            "Kept\\" + older + "|Alpha Node 1 kept 2025-12-31 23:59",
                                            "Kept\\odd.hex|odd.hex"}));
}

}  // namespace
