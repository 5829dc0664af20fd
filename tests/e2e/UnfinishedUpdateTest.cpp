#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <tuple>

#include "OperatorTexts.h"
#include "PollUntil.h"
#include "UploaderRig.h"

namespace {

std::string Offer(const std::string& label, const std::string& file) {
  return "The update of " + label + " with " + file +
         " did not finish. Would you like to program that node with that file now?";
}

std::string FileChanged(const std::string& file) {
  return "The hex file " + file + " is missing or has changed since the update began. The node was not changed.";
}

TEST(UnfinishedUpdate, AnAtmelUpdateCutByAPowerLossIsFinishedAtTheNextStart) {
  UploaderRig rig;
  std::string image = rig.MakeImageFile("P266rho.hex", 0x2003, 21);
  rig.StartRun({"address=0x69,program=266,boot=atmel"}, "P266rho.hex", 1);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming", 30000));
  rig.KillUploader();
  rig.BenchCommand("power-off 0x69");
  rig.BenchCommand("power-on 0x69");  // erased: back in its bootloader, silent

  rig.StartUploader();
  ASSERT_TRUE(rig.WaitForLogLine("Unfinished update: Rho Node 1, P266rho.hex", 5000));
  rig.AnswerBox(Offer("Rho Node 1", "P266rho.hex"), UploaderRig::kYes);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox(kComplete, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 90000));
  EXPECT_TRUE(rig.FlashDump(0x69) == image) << "the flash differs from the file";
  EXPECT_TRUE(rig.WaitForLogLine("P266rho.hex - Rho Node rho - online: true", 1000)) << "the node runs its program";
  EXPECT_FALSE(rig.HasUpdateRecord(28));
}

TEST(UnfinishedUpdate, AnSt10UpdateCutByAPowerLossIsFinishedAfterAPowerCycle) {
  UploaderRig rig;
  std::string image = rig.MakeImageFile("P279tau.hex", 32768, 22);
  rig.StartRun({"address=0x30,program=279,boot=st10"}, "P279tau.hex", 1);  // "Tau 1": slot 34
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming...", 30000));
  rig.KillUploader();

  rig.StartUploader();
  ASSERT_TRUE(rig.WaitForLogLine("Unfinished update: Tau Node 1, P279tau.hex", 5000));
  rig.AnswerBox(Offer("Tau Node 1", "P279tau.hex"), UploaderRig::kYes);
  rig.BenchCommand("power-on 0x30");  // asked for by the power-cycle box; the bootloader announces itself
  const auto announced = [&] { return rig.BusTrace().rfind("F1#D001") != rig.BusTrace().find("F1#D001"); };
  ASSERT_TRUE(PollUntil(announced, 5000));
  rig.AnswerBox(kPowerCycle, UploaderRig::kOk);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox(kComplete, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 240000));
  EXPECT_TRUE(rig.FlashDump(0x30) == image) << "the flash differs from the file";
  EXPECT_TRUE(rig.WaitForLogLine("P279tau.hex - Tau Node tau - online: true", 1000)) << "the node runs its program";
  EXPECT_FALSE(rig.HasUpdateRecord(34));
}

// A declined offer comes back at every start; a file that changed meanwhile
// is refused before anything reaches the node.
TEST(UnfinishedUpdate, NoKeepsTheRecordAndAChangedFileIsRefused) {
  UploaderRig rig;
  rig.MakeImageFile("P266rho.hex", 0x2003, 23);
  rig.StartRun({"address=0x69,program=266,boot=atmel,fault=stop-after=20"}, "P266rho.hex", 1);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox(kAtmelRetry, UploaderRig::kNo);
  rig.AnswerBox(kNotSuccessful, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 30000));
  EXPECT_TRUE(rig.HasUpdateRecord(28));

  rig.KillUploader();
  rig.StartUploader();
  ASSERT_TRUE(rig.WaitForLogLine("Unfinished update: Rho Node 1, P266rho.hex", 5000));
  rig.AnswerBox(Offer("Rho Node 1", "P266rho.hex"), UploaderRig::kNo);
  EXPECT_TRUE(rig.HasUpdateRecord(28));

  rig.KillUploader();
  rig.MakeImageFile("P266rho.hex", 0x2003, 24);
  const size_t sent = rig.BusTrace().size();
  rig.StartUploader();
  ASSERT_TRUE(rig.WaitForLogLine("Unfinished update: Rho Node 1, P266rho.hex", 5000)) << "offered again";
  rig.AnswerBox(Offer("Rho Node 1", "P266rho.hex"), UploaderRig::kYes);
  rig.AnswerBox(FileChanged("P266rho.hex"), UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine(FileChanged("P266rho.hex"), 5000));
  // The Atmel bootloader's identifiers 0 to 5 are the console's only 11-bit ones.
  EXPECT_EQ(rig.BusTrace().find(" can0 00", sent), std::string::npos) << "the node was asked or written";
  EXPECT_TRUE(rig.HasUpdateRecord(28));
}

// A drive d: that cannot take the record is told before the node leaves its
// program; stopping there leaves the node running it.
TEST(UnfinishedUpdate, ARecordThatCannotBeWrittenIsToldAndTheOperatorMayStop) {
  UploaderRig rig;
  rig.MakeImageFile("P149alpha.hex", 256, 26);
  std::ofstream(rig.Path("d:/lumen/uploader")) << "a file where the folder belongs";
  rig.StartRun({"address=0x01,program=149,boot=atmel"}, "P149alpha.hex", 1);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox("The update could not be recorded on drive d:. If it is cut short, the console cannot offer to finish "
                "it at the next start. Would you like to program the node all the same?",
                UploaderRig::kNo);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 30000));
  const auto lines = rig.LogLines();
  const auto listed = std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.starts_with("P149alpha.hex - ") && line.ends_with(" - online: true");
  });
  EXPECT_EQ(listed, 2) << "the node left its program";
}

TEST(UnfinishedUpdate, ARecordWhoseNodeAnswersTheQueryIsDropped) {
  UploaderRig rig;
  rig.MakeImageFile("P149alpha.hex", 256, 25);
  rig.StartRun({"address=0x01,program=149,boot=atmel,fault=no-bootloader"}, "P149alpha.hex", 1);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox(kNoNodeResponse, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 30000));
  EXPECT_TRUE(rig.HasUpdateRecord(1)) << "no answer is no proof that the node still runs its program";

  rig.KillUploader();
  rig.StartUploader();
  ASSERT_TRUE(rig.WaitForLogLine("Unfinished update finished elsewhere: Alpha Node 1, P149alpha.hex", 5000));
  EXPECT_TRUE(PollUntil([&] { return !rig.HasUpdateRecord(1); }, 2000));
  EXPECT_FALSE(rig.WaitForLogLine("Unfinished update: Alpha Node 1, P149alpha.hex", 500)) << "nothing is offered";
}

// Alpha Node 1 and Rho Node 1 both wait in Atmel bootloaders, each cut
// while the other was off: their answers are alike, so neither update is
// offered, and a recovery asks before anything is erased.
TEST(UnfinishedUpdate, TwoNodesWaitingInOneKindOfBootloaderAreNamedAndLeftAlone) {
  UploaderRig rig;
  rig.MakeImageFile("P149alpha.hex", 512, 26);
  rig.MakeImageFile("P266rho.hex", 512, 27);
  rig.StartRun({"address=0x01,program=149,boot=atmel", "address=0x69,program=266,boot=atmel"}, "P149alpha.hex", 1);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming", 30000));
  rig.KillUploader();
  rig.BenchCommand("power-off 0x01");
  rig.StartUploader();
  rig.AnswerBox(Offer("Alpha Node 1", "P149alpha.hex"), UploaderRig::kNo);
  rig.SelectFile("P266rho.hex", kSelectNode);
  rig.TouchNode(1);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming", 30000));
  rig.KillUploader();
  rig.BenchCommand("power-on 0x01");

  const size_t sent = rig.BusTrace().size();
  rig.StartUploader();
  for (const auto& [label, file, other] : {std::tuple{"Alpha Node 1", "P149alpha.hex", "Rho Node 1"},
                                           std::tuple{"Rho Node 1", "P266rho.hex", "Alpha Node 1"}})
    rig.AnswerBox(std::string("The update of ") + label + " with " + file +
                      " did not finish, but more nodes may be waiting in their bootloaders: " + other +
                      ". They would all take this file, so nothing was sent. Recover one node at a time with "
                      "Recov., with the other nodes unplugged.",
                  UploaderRig::kOk);
  EXPECT_EQ(rig.BusTrace().find(" can0 00", sent), std::string::npos) << "a bootloader was asked or written";

  rig.TouchRecov();
  rig.AnswerBox(kRecoveryQuestion, UploaderRig::kYes);
  rig.AnswerBox(kPowerCycle, UploaderRig::kOk);
  rig.AnswerBox(kRecoveryFound, UploaderRig::kOk);
  rig.SelectFile("P149alpha.hex", kSelectNode);
  rig.TouchNode(1);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox("More than one node may be waiting in its bootloader: Alpha Node 1, Rho Node 1. All of them would be "
                "erased and given this file. Unplug or power off all but the node to recover first. Would you like "
                "to continue?",
                UploaderRig::kNo);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 10000));
  const std::string trace = rig.BusTrace().substr(sent);
  EXPECT_EQ(Count(trace, "can0 004#00FF"), 0u) << "a bootloader was erased";
  EXPECT_EQ(Count(trace, "can1 000#0001"), Count(trace, "can0 000#FF")) << "alike answers are one frame on a bus";
  EXPECT_TRUE(rig.HasUpdateRecord(1) && rig.HasUpdateRecord(28));
}

}  // namespace
