#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OperatorTexts.h"
#include "UploaderRig.h"

namespace {

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
    // Dense enough that a lost Ack meets a spoiled answer many times a run.
    {"Dense", {"--drop-ack", "3", "--bad-checksum", "7"}, 2048},
};

struct Engine {
  const char* name;
  const char* file;
  const char* node;
  int address;
  int button;  // 0: Start
};

class NoisyLine : public testing::TestWithParam<std::tuple<Line, Engine>> {};

TEST_P(NoisyLine, RunFinishesWithTheFilesFlash) {
  const auto& [line, engine] = GetParam();
  UploaderRig rig;
  const std::string image = rig.MakeImageFile(engine.file, line.imageBytes, 19);
  std::vector<std::string> options = {"--node", engine.node};
  options.insert(options.end(), line.faults.begin(), line.faults.end());
  rig.StartBench(options);
  rig.StartUploader();
  rig.SelectFile(engine.file, engine.button == 0 ? kPressStart : kSelectNode);
  rig.TouchButton(engine.button == 0 ? UploaderRig::kStart : UploaderRig::NodeButton(engine.button));
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox(kComplete, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 120000));
  EXPECT_TRUE(rig.FlashDump(engine.address) == image) << "the flash differs from the file";
}

const Engine kEngines[] = {
    {"Atmel", "P149alpha.hex", "address=0x01,program=149,boot=atmel,after=149", 0x01, 1},
    {"ST10", "P143beta.hex", "address=0x20,program=143,boot=st10,after=143", 0x20, 0},
};

INSTANTIATE_TEST_SUITE_P(Faults, NoisyLine, testing::Combine(testing::ValuesIn(kLines), testing::ValuesIn(kEngines)),
                         [](const testing::TestParamInfo<NoisyLine::ParamType>& info) {
                           return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name;
                         });

}  // namespace
