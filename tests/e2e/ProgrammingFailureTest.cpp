#include <gtest/gtest.h>

#include <algorithm>

#include "OperatorTexts.h"
#include "RowName.h"
#include "UploaderRig.h"

namespace {

int Count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

struct RetryCase {
  const char* name;
  UploaderRig::BoxButton answer;
  const char* lastBox;
  std::vector<std::string> logged;
  int attempts;
};

class St10LineError : public ::testing::TestWithParam<RetryCase> {};

// YES erases and writes the node again from the file's start; NO leaves it.
TEST_P(St10LineError, IsRetriedOnYesOnly) {
  const RetryCase& c = GetParam();
  UploaderRig rig;
  std::string image = rig.MakeImageFile("P143beta.hex", 1024, 3);
  rig.StartRun({"address=0x20,program=143,boot=st10,after=143,fault=line-error=3"}, "P143beta.hex", 0);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox("Checksum Error Line: 3", UploaderRig::kOk);
  rig.AnswerBox(kSt10Retry, c.answer);
  rig.AnswerBox(c.lastBox, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine(c.logged.back(), 60000));
  auto run = rig.RunLines();
  EXPECT_TRUE(InOrder(run, c.logged));
  EXPECT_EQ(Count(run, "Accessing File"), c.attempts);
  if (c.answer == UploaderRig::kYes) {
    EXPECT_TRUE(rig.FlashDump(0x20) == image) << "the flash differs from the file";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, St10LineError,
    ::testing::Values(RetryCase{"Yes", UploaderRig::kYes, kComplete,
                                {"Checksum Error Line: 3", kComplete, "ST10 Mode - programming complete",
                                 "Programming... Finished"},
                                2},
                      RetryCase{"No", UploaderRig::kNo, kNotSuccessful,
                                {"Checksum Error Line: 3", "Resetting", kNotSuccessful,
                                 "ST10 Mode - error programming node", "Programming... Failed"},
                                1}),
    RowName());

}  // namespace
