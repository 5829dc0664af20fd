#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "OperatorTexts.h"
#include "PixelCheck.h"
#include "UploaderRig.h"

namespace {

struct BatchCase {
  const char* name;
  std::vector<std::string> nodes;
  const char* file;
  int firstSlot;
  int firstAddress;            // of the first slot; the group's ten addresses follow it
  std::vector<int> addressed;  // the addresses that answered with a program the file suits
  int failing;                 // the address that fails, its retry declined; 0 for none
  std::string names;           // the line that precedes the warning
  std::string summary;
  const char* status;
  std::vector<std::string> failure = {"Verify failed at address 0x0123.", kAtmelRetry, kNotSuccessful};
};

void PrintTo(const BatchCase& c, std::ostream* out) { *out << c.name; }

// The failing node's error, its retry question and the closing box; a row
// lists the last of them that its failure shows.
const std::vector<UploaderRig::BoxButton> kDeclined{UploaderRig::kOk, UploaderRig::kNo, UploaderRig::kOk};
const std::string kStopped = "A node waits in its bootloader: recover it first with Recov.";

// One touch on "All" programs the nodes of the group that answered with a
// program the file suits, each once and in slot order, under one warning and
// one summary, and sends no bootloader command to any other position of the
// group. A node that fails, its retry declined, stops the batch only when a
// node waits in its bootloader after it.
class Batch : public ::testing::TestWithParam<BatchCase> {};

TEST_P(Batch, ProgramsEveryAnsweringNodeOfTheGroupAndNoOther) {
  const BatchCase& c = GetParam();
  UploaderRig rig;
  const std::string image = rig.MakeImageFile(c.file, 1024, 5);
  std::vector<std::string> options;
  for (const std::string& node : c.nodes) options.insert(options.end(), {"--node", node});
  rig.StartBench(options);
  rig.StartUploader();
  rig.SelectFile(c.file, kSelectNode);
  rig.TouchAll();
  rig.AnswerBox(c.names + "\n" + kWarning, UploaderRig::kOk);
  const size_t skipped = kDeclined.size() - c.failure.size();  // boxes before the retry question that never come
  for (size_t box = 0; c.failing && box < c.failure.size(); ++box)
    rig.AnswerBox(c.failure[box], kDeclined[skipped + box]);
  rig.AnswerBox(c.summary, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine(c.status, 60000));

  const std::string trace = rig.BusTrace();
  std::vector<std::string> expected{c.names};
  for (int address = c.firstAddress; address < c.firstAddress + 10; ++address) {
    const bool addressed = std::count(c.addressed.begin(), c.addressed.end(), address) == 1;
    char command[16];
    std::snprintf(command, sizeof command, "18EF%02X10#F1", address);
    EXPECT_EQ(Count(trace, command), addressed ? 1u : 0u) << command;
    if (addressed && address != c.failing) {
      EXPECT_TRUE(rig.FlashDump(address) == image) << command;
    }
    if (addressed)
      expected.push_back(std::string("Enter Programming - Selected node name: ") + c.file +
                         ", selected node number: " + std::to_string(c.firstSlot + address - c.firstAddress));
  }
  std::istringstream summary(c.summary);  // logged line by line
  for (std::string line; std::getline(summary, line);) expected.push_back(line);
  expected.insert(expected.end(), {"Initializing... Please Wait", "Sending Cal Request:", c.status});
  const std::vector<std::string> run = rig.RunLines();
  EXPECT_TRUE(InOrder(run, expected));
  EXPECT_EQ(std::count(run.begin(), run.end(), "Sending Cal Request:"), 1) << "one closing query";
  EXPECT_EQ(std::count(run.begin(), run.end(), kComplete), 0) << "a node's own completion box was shown";
  auto shot = rig.Screenshot("after");
  ASSERT_TRUE(shot);
  EXPECT_FALSE(ShowsButtonAt(*shot, UploaderRig::kAll.x, UploaderRig::kAll.y)) << "\"All\" is still shown";
}

INSTANTIATE_TEST_SUITE_P(
    Groups, Batch,
    ::testing::Values(
        // Tau Node 6 reported 322, the other maker's program: the 279 of the
        // others is no reason to give it their file.
        BatchCase{"TauSt10",
                  {"address=0x30,program=279,boot=st10", "address=0x31,program=279,boot=st10",
                   "address=0x33,program=279,boot=st10", "address=0x35,program=322,boot=st10"},
                  "P279tau.hex", 34, 0x30, {0x30, 0x31, 0x33}, 0, "Programming 3 nodes: Tau Node 1, Tau Node 2, Tau Node 4.",
                  "Programmed: Tau Node 1, Tau Node 2, Tau Node 4.", "Programming... Finished"},
        // Cut off in Programming, then given up: Alpha Node 2 waits in its
        // bootloader and would take Alpha Node 4's commands, so the batch
        // stops there.
        BatchCase{"AFailedNodeWaitingStopsTheBatch",
                  {"address=0x01,program=149,boot=atmel", "address=0x02,program=149,boot=atmel,fault=stop-after=20",
                   "address=0x04,program=149,boot=atmel"},
                  "P149alpha.hex", 1, 0x01, {0x01, 0x02}, 0x02,
                  "Programming 3 nodes: Alpha Node 1, Alpha Node 2, Alpha Node 4.",
                  "Programmed: Alpha Node 1.\nNot programmed: Alpha Node 2, Alpha Node 4.\n" + kStopped,
                  "Programming... Failed", {kAtmelRetry, kNotSuccessful}},
        // Never out of its program, Alpha Node 2 does not stop the others.
        BatchCase{"ANodeThatKeptItsProgramDoesNotStopTheBatch",
                  {"address=0x01,program=149,boot=atmel", "address=0x02,program=149,boot=atmel,fault=no-bootloader",
                   "address=0x04,program=149,boot=atmel"},
                  "P149alpha.hex", 1, 0x01, {0x01, 0x02, 0x04}, 0x02,
                  "Programming 3 nodes: Alpha Node 1, Alpha Node 2, Alpha Node 4.",
                  "Programmed: Alpha Node 1, Alpha Node 4.\nNot programmed: Alpha Node 2.", "Programming... Failed",
                  {kNoNodeResponse}},
        // Left in its bootloader, Tau Node 1 would answer for Tau Node 2 on
        // the shared identifiers: Tau Node 2 is never addressed.
        BatchCase{"St10FailureLeavesTheRestAlone",
                  {"address=0x30,program=279,boot=st10,fault=line-error=3", "address=0x31,program=279,boot=st10"},
                  "P279tau.hex", 34, 0x30, {0x30}, 0x30, "Programming 2 nodes: Tau Node 1, Tau Node 2.",
                  "Not programmed: Tau Node 1, Tau Node 2.\n" + kStopped, "Programming... Failed",
                  {"Checksum Error Line: 3", kSt10Retry, kNotSuccessful}},
        // Tau Node 1 took its file but missed its reset and still answers
        // in its bootloader: neither node is reported programmed.
        BatchCase{"AnUnansweredResetWithTheNodeStillWaiting",
                  {"address=0x30,program=279,boot=st10,fault=stuck-reset", "address=0x31,program=279,boot=st10"},
                  "P279tau.hex", 34, 0x30, {0x30}, 0x30, "Programming 2 nodes: Tau Node 1, Tau Node 2.",
                  "Not programmed: Tau Node 1, Tau Node 2.\n" + kStopped, "Programming... Failed", {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
