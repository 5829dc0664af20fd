#include <gtest/gtest.h>

#include "OperatorTexts.h"
#include "UploaderRig.h"

namespace {

struct Engine {
  const char* golden;      // also the test's name
  const char* node;
  const char* file;
  int address;
  int button;              // "Node n", 0 for Start
  const char* writing;     // the status while the node is written
};

// A whole run of each engine as the operator sees it, from start-up to Exit:
// the node's flash must equal the file's image, and the log must be the
// golden one line for line, line ends included. Exit and Recov. are touched
// while the node is written: both must be ignored. A file name in capitals
// is listed and read as any other.
class GoldenRun : public ::testing::TestWithParam<Engine> {};

TEST_P(GoldenRun, ProgramsTheNodeAndLogsTheWholeRun) {
  const Engine& engine = GetParam();
  UploaderRig rig;
  std::string image = rig.MakeImageFile(engine.file, 2048, 1);
  rig.StartRun({engine.node}, engine.file, engine.button);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine(engine.writing, 20000));
  rig.TouchExit();
  rig.TouchRecov();
  rig.AnswerBox(kComplete, UploaderRig::kOk);
  ASSERT_TRUE(rig.TouchWhenLogged(UploaderRig::kExit, "Programming... Finished", 60000));
  EXPECT_TRUE(rig.FlashDump(engine.address) == image) << "the flash differs from the file";
  ASSERT_TRUE(rig.WaitForUploaderExit(10000));
  EXPECT_EQ(rig.MenuArguments(), "displayProgramList\n");
  rig.ExpectGoldenLog(engine.golden);
}

INSTANTIATE_TEST_SUITE_P(Engines, GoldenRun,
                         ::testing::Values(Engine{"AtmelRun", "address=0x01,program=149,boot=atmel,after=149",
                                                  "P149alpha.hex", 0x01, 1, "Programming"},
                                           Engine{"St10Run", "address=0x20,program=143,boot=st10,after=143",
                                                  "P143BETA.HEX", 0x20, 0, "Programming..."}),
                         [](const auto& info) { return std::string(info.param.golden); });

}  // namespace
