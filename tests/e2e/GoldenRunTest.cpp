#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "OperatorTexts.h"
#include "UploaderRig.h"

namespace {

struct Engine {
  const char* golden;   // also the rows' names
  const char* node;
  const char* file;     // in capitals for one: listed and read as any other
  int address;
  int button;           // "Node n", 0 for Start
  const char* writing;  // the status while the node is written
};

const Engine kEngines[] = {
    {"AtmelRun", "address=0x01,program=149,boot=atmel,after=149", "P149alpha.hex", 0x01, 1, "Programming"},
    {"St10Run", "address=0x20,program=143,boot=st10,after=143", "P143BETA.HEX", 0x20, 0, "Programming..."},
};

// A whole run of each engine as the operator sees it, from start-up to Exit:
// the node's flash must equal the file's image, and the log must be the
// golden one line for line, line ends included. Exit and Recov. are touched
// while the node is written: both must be ignored.
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

INSTANTIATE_TEST_SUITE_P(Engines, GoldenRun, ::testing::ValuesIn(kEngines),
                         [](const auto& info) { return std::string(info.param.golden); });

// A node answers every data frame, and every ST10 line, with the same bytes;
// a spoiled answer is held until our Nak, then comes its good copy. With our
// next frame's Ack lost, the next answer follows that copy with nothing
// between them on the line, and must count all the same.
struct Line {
  const char* name;
  std::vector<std::string> faults;
  size_t imageBytes;  // each lost Ack costs its 200 ms wait
};

const Line kLines[] = {
    // A noisy harness as a real gateway meets it: Naks, Reopens, noise,
    // messages 19 and 20 now and then, lost Acks and spoiled checksums.
    {"Field",
     {"--nak-every", "7", "--reopen-every", "50", "--garbage", "3", "--chatter", "1000", "--drop-ack", "97",
      "--bad-checksum", "89"},
     0x2003},
    // Dense enough that a lost Ack meets a spoiled answer many times a run
    // (the Atmel node's read-out alone sends 4096 frames, each lost Ack 200 ms).
    {"Dense", {"--drop-ack", "9", "--bad-checksum", "5"}, 2048},
};

class NoisyLine : public testing::TestWithParam<std::tuple<Line, Engine>> {};

TEST_P(NoisyLine, RunFinishesWithTheFilesFlash) {
  const auto& [line, engine] = GetParam();
  UploaderRig rig;
  const std::string image = rig.MakeImageFile(engine.file, line.imageBytes, 19);
  rig.StartRun({engine.node}, engine.file, engine.button, line.faults);
  ASSERT_TRUE(rig.CompleteRun(120000));
  EXPECT_TRUE(rig.FlashDump(engine.address) == image) << "the flash differs from the file";
}

INSTANTIATE_TEST_SUITE_P(Faults, NoisyLine, testing::Combine(testing::ValuesIn(kLines), testing::ValuesIn(kEngines)),
                         [](const testing::TestParamInfo<NoisyLine::ParamType>& info) {
                           return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).golden;
                         });

}  // namespace
