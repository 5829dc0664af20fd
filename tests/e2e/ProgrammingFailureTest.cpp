#include <gtest/gtest.h>

#include <algorithm>

#include "OperatorTexts.h"
#include "RowName.h"
#include "UploaderRig.h"

namespace {

struct RetryCase {
  const char* name;
  const char* node;
  const char* file;
  int address;
  int button;         // "Node n", 0 for Start
  const char* error;  // the box the write error brings
  const char* retry;
  const char* again;  // the step a retry takes twice: the whole node is written again
};

// A write error on the node is told, and YES erases the node and writes it
// again from the file's start, so that its flash ends up the file's image.
// (NO leaving the node is a failure row of the batch table.)
class WriteError : public ::testing::TestWithParam<RetryCase> {};

TEST_P(WriteError, IsMendedByYes) {
  const RetryCase& c = GetParam();
  UploaderRig rig;
  const std::string image = rig.MakeImageFile(c.file, 1024, 3);
  rig.StartRun({c.node}, c.file, c.button);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox(c.error, UploaderRig::kOk);
  rig.AnswerBox(c.retry, UploaderRig::kYes);
  rig.AnswerBox(kComplete, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  const auto run = rig.RunLines();
  EXPECT_TRUE(InOrder(run, {c.error, kComplete}));
  EXPECT_EQ(std::count(run.begin(), run.end(), c.again), 2);
  EXPECT_TRUE(rig.FlashDump(c.address) == image) << "the flash differs from the file";
}

INSTANTIATE_TEST_SUITE_P(
    Engines, WriteError,
    ::testing::Values(RetryCase{"AtmelByteWrittenWrongly", "address=0x01,program=149,boot=atmel,after=149,fault=bad-byte=0x123",
                                "P149alpha.hex", 0x01, 1, "Verify failed at address 0x0123.", kAtmelRetry, "Erasing"},
                      RetryCase{"St10LineError", "address=0x20,program=143,boot=st10,after=143,fault=line-error=3",
                                "P143beta.hex", 0x20, 0, "Checksum Error Line: 3", kSt10Retry, "Accessing File"}),
    RowName());

}  // namespace
