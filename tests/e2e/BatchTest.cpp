#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "OperatorTexts.h"
#include "PixelCheck.h"
#include "UploaderRig.h"

namespace {

struct Box {
  std::string text;
  UploaderRig::BoxButton button;
};

struct BatchCase {
  const char* name;
  std::vector<std::string> nodes;
  const char* file;
  int firstSlot;
  int firstAddress;              // of the first slot; the group's ten addresses follow it
  std::vector<int> addressed;    // the addresses that answered with a suitable program
  std::string names;             // the line that precedes the warning
  std::vector<Box> failure;      // the failing node's boxes, if one fails
  std::string summary;
  const char* status;
  std::vector<int> programmed;   // flash equal to the file
};

void PrintTo(const BatchCase& c, std::ostream* out) { *out << c.name; }

std::string Hex2(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// One touch on "All" programs the nodes of the group that answered with a
// program the file suits, each once and in slot order, under one warning and
// one summary, and sends no bootloader command to any other position of the
// group. A node that fails, its retry declined, does not stop the others.
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
  for (const Box& box : c.failure) rig.AnswerBox(box.text, box.button);
  rig.AnswerBox(c.summary, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine(c.status, 60000));

  for (int address : c.programmed) EXPECT_TRUE(rig.FlashDump(address) == image) << "node " << Hex2(address);
  const std::string trace = rig.BusTrace();
  for (int address = c.firstAddress; address < c.firstAddress + 10; ++address) {
    bool wanted = std::count(c.addressed.begin(), c.addressed.end(), address) == 1;
    EXPECT_EQ(Count(trace, "18EF" + Hex2(address) + "10#F1"), wanted ? 1u : 0u) << "node " << Hex2(address);
  }
  const std::vector<std::string> run = rig.RunLines();
  std::vector<std::string> expected;
  for (int address : c.addressed)
    expected.push_back(std::string("Enter Programming - Selected node name: ") + c.file +
                       ", selected node number: " + std::to_string(c.firstSlot + address - c.firstAddress));
  std::istringstream summary(c.summary);  // logged line by line
  for (std::string line; std::getline(summary, line);) expected.push_back(line);
  expected.insert(expected.end(), {"Initializing... Please Wait", "Sending Cal Request:", c.status});
  EXPECT_TRUE(InOrder(run, expected));
  EXPECT_EQ(std::count(run.begin(), run.end(), "Sending Cal Request:"), 1) << "one closing query";
  EXPECT_EQ(std::count(run.begin(), run.end(), kComplete), 0) << "a node's own completion box was shown";
  auto shot = rig.Screenshot("after");
  ASSERT_TRUE(shot);
  EXPECT_FALSE(ShowsButtonAt(*shot, UploaderRig::kAll.x, UploaderRig::kAll.y)) << "\"All\" is still shown";
}

const char kVerifyFailed[] = "Verify failed at address 0x0123.";

INSTANTIATE_TEST_SUITE_P(
    Groups, Batch,
    ::testing::Values(
        BatchCase{"AlphaAtmel",
                  {"address=0x01,program=149,boot=atmel", "address=0x02,program=149,boot=atmel",
                   "address=0x04,program=149,boot=atmel"},
                  "P149alpha.hex", 1, 0x01, {0x01, 0x02, 0x04},
                  "Programming 3 nodes: Alpha Node 1, Alpha Node 2, Alpha Node 4.", {},
                  "Programmed: Alpha Node 1, Alpha Node 2, Alpha Node 4.", "Programming... Finished",
                  {0x01, 0x02, 0x04}},
        BatchCase{"TauSt10",
                  {"address=0x30,program=279,boot=st10", "address=0x31,program=279,boot=st10",
                   "address=0x33,program=279,boot=st10", "address=0x35,program=322,boot=st10"},
                  "P279tau.hex", 34, 0x30, {0x30, 0x31, 0x33, 0x35},
                  "Programming 4 nodes: Tau Node 1, 2, 4, 6.", {},  // shortened to fit the box
                  "Programmed: Tau Node 1, Tau Node 2, Tau Node 4, Tau Node 6.", "Programming... Finished",
                  {0x30, 0x31, 0x33, 0x35}},
        BatchCase{"OneNodeFails",
                  {"address=0x01,program=149,boot=atmel", "address=0x02,program=149,boot=atmel,fault=bad-byte=0x123",
                   "address=0x04,program=149,boot=atmel"},
                  "P149alpha.hex", 1, 0x01, {0x01, 0x02, 0x04},
                  "Programming 3 nodes: Alpha Node 1, Alpha Node 2, Alpha Node 4.",
                  {{kVerifyFailed, UploaderRig::kOk}, {kAtmelRetry, UploaderRig::kNo}, {kNotSuccessful, UploaderRig::kOk}},
                  "Programmed: Alpha Node 1, Alpha Node 4.\nNot programmed: Alpha Node 2.", "Programming... Failed",
                  {0x01, 0x04}}),
    [](const auto& info) { return std::string(info.param.name); });

// A group with nodes on the bus, none of them running the file's program:
// the mismatch box, and nothing is sent.
TEST(BatchMismatch, NoSuitableNodeIsRefusedWithNothingSent) {
  UploaderRig rig;
  rig.MakeImageFile("P322tau.hex", 256, 2);
  rig.StartBench({"--node", "address=0x01,program=322,boot=st10", "--node", "address=0x30,program=323,boot=st10"});
  rig.StartUploader();
  rig.SelectFile("P322tau.hex", kSelectNode);
  rig.TouchAll();
  rig.AnswerBox(kRefused, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 10000));
  const std::vector<std::string> run = rig.RunLines();
  EXPECT_TRUE(InOrder(run, {"program number on hex file [322], program number on node [323].",
                            "WARNING: program number on hex file [322] does not match program number on node [323].",
                            kRefused, "Programming... Failed"}));
  EXPECT_EQ(std::count(run.begin(), run.end(), "Sending Cal Request:"), 0);
  EXPECT_EQ(rig.BusTrace().find("#F1"), std::string::npos) << "a bootloader command went out";
}

}  // namespace
