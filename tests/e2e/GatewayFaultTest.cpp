#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "OperatorTexts.h"
#include "PixelCheck.h"
#include "PollUntil.h"
#include "UploaderRig.h"

namespace {

const char kFile[] = "P143beta.hex";
const char kNode[] = "address=0x20,program=143,boot=st10,after=143";

const char kLost[] = "Gateway lost: Hangup";  // a hung-up pty, as an unplugged adapter
const char kQueryUnderWay[] = "Gateway reconnected, finding the nodes... Please Wait";

// The file's verdicts in the log since the program started: online or not.
std::vector<bool> Listings(const UploaderRig& rig) {
  std::vector<bool> online;
  for (const std::string& line : rig.LogLines())
    if (line.starts_with(std::string(kFile) + " - ")) online.push_back(line.ends_with(" - online: true"));
  return online;
}
long TimesListed(const UploaderRig& rig) { return std::ranges::count(Listings(rig), true); }

// The adapter pulled out and plugged in again; waits until the gateway has
// acknowledged its reopened channel; false when either was not logged.
bool CycleTheGateway(UploaderRig& rig, int gatewayGoneMs) {
  const int lost = static_cast<int>(std::ranges::count(rig.LogLines(), kLost));
  rig.BenchCommand("unplug");
  if (!rig.WaitForLogLine(kLost, 5000, lost + 1)) return false;
  std::this_thread::sleep_for(std::chrono::milliseconds(gatewayGoneMs));
  const int connected = static_cast<int>(std::ranges::count(rig.LogLines(), "Gateway connected"));
  rig.BenchCommand("replug");
  return rig.WaitForLogLine("Gateway connected", 5000, connected + 1);
}

// The screen is idle again after the query the gateway's return started.
bool QueryOver(const UploaderRig& rig) {
  return PollUntil([&] { return rig.LogLines().back().empty(); }, 40000, 100);
}

// Cycling the implement's power to recover a node cycles the gateway too:
// the query its return starts keeps recovery mode and its list of every file.
TEST(GatewayFault, AGatewayCycledDuringRecoveryKeepsRecoveryModeAndTheNodeIsRecovered) {
  UploaderRig rig;
  const std::string image = rig.MakeImageFile(kFile, 1024, 8);
  rig.AddHexFile("P149alpha.hex", ":00000001FF\r\n");
  rig.StartRun({std::string(kNode) + ",fault=power-cut=5"}, kFile, 0);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox("Node timeout: line count = 0", UploaderRig::kOk);
  rig.AnswerBox(kSt10Retry, UploaderRig::kNo);
  rig.AnswerBox(kNotSuccessful, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 30000));
  const long listed = TimesListed(rig);

  rig.TouchRecov();
  rig.AnswerBox(kRecoveryQuestion, UploaderRig::kYes);
  ASSERT_TRUE(CycleTheGateway(rig, 500));
  rig.BenchCommand("power-on 0x20");  // in its bootloader, it announces itself once started
  ASSERT_TRUE(PollUntil([&] { return rig.BusTrace().rfind("F1#D001") != rig.BusTrace().find("F1#D001"); }, 2000));
  rig.AnswerBox(kPowerCycle, UploaderRig::kOk);
  rig.AnswerBox(kRecoveryFound, UploaderRig::kOk);
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_TRUE(PollUntil([&] { return TimesListed(rig) == listed + 2; }, 40000, 100)) << "the query dropped the file";
  ASSERT_TRUE(QueryOver(rig));
  // "All" would program the node in its bootloader once for every node shown.
  rig.SelectFile("P149alpha.hex", kSelectNode);
  rig.TouchAll();
  const char refusedAll[] = "Recovery mode programs one node only. Touch the button of the node to recover.";
  rig.AnswerBox(refusedAll, UploaderRig::kOk);
  rig.SelectFile(kFile, kPressStart);
  rig.TouchStart();
  ASSERT_TRUE(rig.CompleteRun());
  EXPECT_TRUE(rig.FlashDump(0x20) == image) << "the flash differs from the file";

  auto lines = rig.LogLines();
  std::vector<std::string> after(std::find(lines.begin(), lines.end(), "Enter start recovery mode"), lines.end());
  EXPECT_TRUE(InOrder(after, {kRecoveryFound, refusedAll, "ST10 MODE - node is in bootloader mode",
                              "Programming... Finished"}));
  EXPECT_EQ(std::ranges::count(after, kRecoveryQuestion), 0) << "the question is never logged";
  EXPECT_FALSE(std::any_of(after.begin(), after.end(), [](const auto& l) { return l.starts_with("Sending bootloader"); }))
      << "a node in its bootloader needs no bootloader command";
}

// The run owns the node table until its wrap-up: a gateway back during the
// run is covered by the run's own query, one back during that query gets
// one more once the run has ended.
TEST(GatewayFault, AGatewayBackDuringARunIsAskedAgainOnlyAfterTheRun) {
  UploaderRig rig;
  const std::string image = rig.MakeImageFile(kFile, 1024, 9);
  rig.StartRun({kNode}, kFile, 0);
  ASSERT_TRUE(CycleTheGateway(rig, 500));
  ASSERT_TRUE(rig.CompleteRun());
  std::this_thread::sleep_for(std::chrono::seconds(3));  // time for a query that should not come
  auto lines = rig.LogLines();
  std::vector<std::string> afterReturn(std::find(lines.begin(), lines.end(), "Gateway connected"), lines.end());
  EXPECT_EQ(std::ranges::count(afterReturn, "Sending Cal Request:"), 1) << "exactly one query: the run's own";
  EXPECT_TRUE(InOrder(afterReturn, {"Programming... Please Wait", "Sending Cal Request:", "Programming... Finished"}));

  const long listed = TimesListed(rig);
  rig.SelectFile(kFile, kPressStart);
  rig.TouchStart();
  rig.CompleteRun();  // the first run's end is logged: this one's is waited for below
  ASSERT_TRUE(rig.WaitForLogLine("Initializing... Please Wait", 60000, 2));
  ASSERT_TRUE(CycleTheGateway(rig, 3000));
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000, 2));
  EXPECT_TRUE(PollUntil([&] { return TimesListed(rig) > listed && Listings(rig).back(); }, 40000, 100))
      << "the node was not asked again";
  EXPECT_TRUE(rig.FlashDump(0x20) == image);
}

// Gateways that answer InfoRequests late or stop answering them are idle
// probed without a verdict: for 25 s of idle screen nothing is lost, nothing
// asked again, and the selected file still starts its run.
class InfoRequests : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(InfoRequests, AnsweredLateOrNotAtAllNeverCostTheSelection) {
  UploaderRig rig;
  rig.MakeImageFile(kFile, 1024, 12);
  rig.StartBench(GetParam());
  rig.StartUploader();
  rig.SelectFile(kFile, kPressStart);
  std::this_thread::sleep_for(std::chrono::seconds(25));  // the time watched: there is no event to wait for
  const auto lines = rig.LogLines();
  ASSERT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& line) { return line.starts_with("Gateway"); }), 0);
  ASSERT_EQ(std::ranges::count(lines, "Sending Cal Request:"), 1);
  rig.TouchStart();
  EXPECT_TRUE(rig.CompleteRun());
}

INSTANTIATE_TEST_SUITE_P(GatewayFault, InfoRequests,
                         testing::Values(std::vector<std::string>{"--node", kNode, "--info-delay", "1200"},
                                         std::vector<std::string>{"--node", kNode, "--info-answers", "1"}),
                         [](const auto& row) { return row.index == 0 ? "Late" : "StopsAnswering"; });

// A port missing from the start shows "Gateway lost". When it comes, the
// query its return starts refuses touches and says why. A gateway that then
// restarts behind the open line is noticed while the screen is idle: its
// info request goes unanswered; once it acknowledges its reopened channels,
// the nodes are asked again. Last, the adapter is pulled out while a run is
// under way and plugged in again afterwards: the run fails, the list comes
// back on its own, and Exit works with the gateway gone. Under
// ThreadSanitizer too.
TEST(GatewayFault, ExitIsRefusedDuringAReconnectionAndHandsOverAfterARestartAndAnUnplug) {
  UploaderRig rig;
  rig.MakeImageFile(kFile, 1024, 10);
  rig.StartBench({"--node", kNode});
  rig.BenchCommand("unplug");
  rig.StartUploader();
  ASSERT_TRUE(rig.WaitForLogLine("Gateway lost", 5000)) << "the status line shows it once the screen is up";
  EXPECT_TRUE(rig.LogLines().at(1).starts_with("Gateway lost: ")) << "the missing port is logged with its reason";
  const auto noGateway = rig.Screenshot("no-gateway");  // "Firmware Version: 0"

  rig.BenchCommand("replug");
  ASSERT_TRUE(rig.WaitForLogLine("Gateway connected", 5000));
  rig.TouchExit();
  ASSERT_TRUE(rig.WaitForLogLine(kQueryUnderWay, 5000)) << "the refused touch is explained";
  ASSERT_TRUE(QueryOver(rig));
  EXPECT_EQ(TimesListed(rig), 1);
  const auto connected = rig.Screenshot("connected");
  ASSERT_TRUE(noGateway && connected);
  // The "Firmware Version" line, left of the centred status text below which it starts.
  EXPECT_GT(DifferingPixels(*noGateway, *connected, Rect{2, 619, 150, 640}), 0)
      << "the new gateway's firmware version is not shown";

  rig.BenchCommand("restart-gateway");
  ASSERT_TRUE(rig.WaitForLogLine("Gateway lost: the gateway did not answer", 15000));
  ASSERT_TRUE(rig.WaitForLogLine("Gateway connected", 5000, 2));
  ASSERT_TRUE(PollUntil([&] { return TimesListed(rig) == 2; }, 10000, 100)) << "the nodes were not asked again";
  ASSERT_TRUE(QueryOver(rig));

  rig.SelectFile(kFile, kPressStart);
  rig.TouchStart();
  rig.BenchCommand("unplug");
  ASSERT_TRUE(rig.WaitForLogLine(kLost, 5000));
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox(kNoNodeResponse, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 30000));
  rig.BenchCommand("replug");
  ASSERT_TRUE(rig.WaitForLogLine("Gateway connected", 5000, 3));
  ASSERT_TRUE(PollUntil([&] { return TimesListed(rig) == 3; }, 30000, 100)) << "the list did not come back";
  rig.BenchCommand("unplug");
  ASSERT_TRUE(rig.WaitForLogLine(kLost, 5000, 2));
  ASSERT_TRUE(PollUntil([&] { return rig.LogLines().back() == "Gateway lost"; }, 5000, 100)) << "the idle screen shows it";
  rig.TouchExit();
  EXPECT_TRUE(rig.WaitForUploaderExit(5000));
  EXPECT_TRUE(InOrder(rig.LogLines(), {kLost, kNoNodeResponse, "Programming... Failed", "Gateway lost",
                                       "Gateway connected", "Initializing... Please Wait", kLost, "Gateway lost"}));
}

}  // namespace
