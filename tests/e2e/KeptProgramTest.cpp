#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "HexText.h"
#include "OperatorTexts.h"
#include "RowName.h"
#include "UploaderRig.h"

namespace fs = std::filesystem;

namespace {

constexpr char kNewFile[] = "P149alpha.hex";
constexpr char kKept[] = "e:/Pinecroft/Kept";

// The kept files on the drive, as the memory each gives a node.
std::vector<std::string> KeptMemories(const UploaderRig& rig) {
  std::vector<std::string> memories;
  for (const auto& entry : fs::directory_iterator(rig.Path(kKept)))
    memories.push_back(MemoryOf(TempDosDevices::ReadFile(entry.path().string())));
  return memories;
}

// Alpha Node 1, an Atmel node that runs its old program, and a new file for
// it on the drive.
class KeptProgram : public ::testing::Test {
 protected:
  void StartRun(const std::string& faults = "") {
    rig.AddHexFile("../old.hex", IntelHex(RandomImage(6000, 7)));
    old = MemoryOf(IntelHex(RandomImage(6000, 7)));  // outside the hex folder: no file of the list
    fresh = MemoryOf(IntelHex(rig.MakeImageFile(kNewFile, 5000, 8)));
    rig.StartRun({"address=0x01,program=149,boot=atmel,flash=" + rig.Path("e:/old.hex") + faults}, kNewFile, 1);
    rig.AnswerBox(kWarning, UploaderRig::kOk);
  }
  // The node's whole flash as the bench dumps it now.
  std::string Flash() const {
    rig.BenchCommand("dump");
    std::string flash = rig.FlashDump(1);
    flash.resize(32768, '\xFF');
    return flash;
  }

  UploaderRig rig;
  std::string old, fresh;
};

TEST_F(KeptProgram, IsKeptByAnUpdateAndTheSameFileIsNotWrittenAgain) {
  StartRun();
  rig.AnswerBox(kComplete, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  EXPECT_TRUE(Flash() == fresh);
  EXPECT_EQ(KeptMemories(rig), std::vector{old});

  rig.SelectFile(kNewFile, kSelectNode);
  rig.TouchNode(1);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox(kAlreadyRuns, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000, 2));
  EXPECT_EQ(Count(rig.BusTrace(), "004#00FF"), 1u) << "erased once, by the first run";
  EXPECT_EQ(KeptMemories(rig).size(), 1u) << "nothing kept of a node that runs the file";
}

TEST_F(KeptProgram, IsPutBackByYesAfterAFailedUpdate) {
  StartRun(",fault=stop-after=100");
  rig.AnswerBox(kAtmelRetry, UploaderRig::kNo);
  rig.AnswerBox(kNotSuccessful, UploaderRig::kOk);
  rig.AnswerBox(kPutBack, UploaderRig::kYes);
  rig.AnswerBox(kPutBackDone, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 60000));
  EXPECT_TRUE(Flash() == old);
  EXPECT_FALSE(rig.HasUpdateRecord(1)) << "the node runs a program again";
}

// A node found waiting in its bootloader is recovered from a kept file as
// from any other: no bootloader command goes out, and once programmed the
// node answers with its program again and leaves no unfinished update.
TEST_F(KeptProgram, IsListedInRecoveryModeAndProgrammedLikeAnyFile) {
  const std::string kept = "P149 Alpha Node 1 slot01 2026-12-01 10-00-00.hex";
  const std::string listed = "P149alpha.hex - Alpha Node alpha - online: ";
  rig.AddHexFile("Kept/" + kept, IntelHex(RandomImage(6000, 7)));
  rig.AddHexFile(kNewFile, ":00000001FF\r\n");
  rig.StartBench({"--node", "address=0x01,program=149,boot=atmel,fault=start-in-bootloader"});
  rig.StartUploader();
  ASSERT_TRUE(rig.WaitForLogLine(listed + "false", 1000));
  rig.TouchRecov();
  rig.AnswerBox(kRecoveryQuestion, UploaderRig::kYes);
  rig.BenchCommand("power-on 0x01");  // an Atmel bootloader says nothing when it starts
  rig.AnswerBox(kPowerCycle, UploaderRig::kOk);
  rig.AnswerBox(kRecoveryFound, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine(listed + "true", 5000));
  rig.SelectFile("Kept\\" + kept, kSelectNode);
  rig.TouchNode(1);
  ASSERT_TRUE(rig.CompleteRun());
  EXPECT_TRUE(Flash() == MemoryOf(IntelHex(RandomImage(6000, 7))));
  EXPECT_TRUE(rig.WaitForLogLine(listed + "true", 1000, 2)) << "out of recovery mode, the node answers again";
  EXPECT_TRUE(InOrder(rig.RunLines(), {"Atmel Mode - node is in bootloader mode", "Opening Port", "Reading Registers",
                                       "Atmel Mode - programming complete", "Programming... Finished"}));
  EXPECT_EQ(rig.BusTrace().find("18EF0110#F1"), std::string::npos) << "a bootloader command went out";
  EXPECT_FALSE(rig.HasUpdateRecord(1));
}

// Nothing can be kept: NO erases nothing and leaves the node its program.
struct Unkept {
  const char* name;
  const char* fault;
  bool protectedDrive;  // the kept folder cannot be written, even by root
  std::string question;
};

const Unkept kUnkept[] = {
    {"NodeNotRead", ",fault=no-display", false,
     "The program the node runs now could not be kept: the node did not answer when asked for it. Would you like "
     "to program the node without keeping it?"},
    {"DriveWriteProtected", "", true,
     std::string("The program the node runs now could not be kept: the USB drive could not take it: ") +
         std::strerror(EACCES) + ". Would you like to program the node without keeping it?"},
};

class NotKept : public KeptProgram, public ::testing::WithParamInterface<Unkept> {};

TEST_P(NotKept, AsksAndNoLeavesTheNodeAsItWas) {
  if (GetParam().protectedDrive) fs::create_directory_symlink("/sys/kernel", rig.Path(kKept));
  StartRun(GetParam().fault);
  rig.AnswerBox(GetParam().question, UploaderRig::kNo);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 60000));
  EXPECT_TRUE(Flash() == old);
  EXPECT_EQ(rig.BusTrace().find("004#00FF"), std::string::npos) << "an erase went out";
}

INSTANTIATE_TEST_SUITE_P(Unkept, NotKept, ::testing::ValuesIn(kUnkept), RowName());

}  // namespace
