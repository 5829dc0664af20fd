#include "app/RunController.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>

#include "FakeScreen.h"
#include "HexText.h"
#include "OperatorTexts.h"
#include "RowName.h"
#include "TempDosDevices.h"
#include "app/RecoveryDialogue.h"
#include "app/RunEngines.h"
#include "app/RunHost.h"
#include "app/TimeLeft.h"
#include "app/UpdateOffer.h"
#include "app/WaitingNodes.h"
#include "console/ProgramState.h"
#include "firmware/KeptProgram.h"
#include "nodes/NodeTable.h"
#include "system/Clock.h"

namespace {

struct Node {
  int32_t slot, program, bootloader;  // the kind that answers the bootloader command
};
using Record = std::pair<int32_t, int32_t>;  // an unfinished update: slot, bootloader
using Looks = std::deque<RunEngines::Answered>;
using Result = AtmelProgrammer::Result;
constexpr Result kOk = Result::kProgrammed, kBad = Result::kFailed;

constexpr int32_t kAtmel = kAtmelBootloader, kSt10 = kSt10Bootloader;
const RunEngines::Answered kAtmelWaits{true, false}, kSt10Waits{false, true};
const char* const kFinished = "Programming... Finished";
const char* const kFailed = "Programming... Failed";

// A run's world on the virtual clock, the test playing the screen's host and
// both engines: nodes in the table that answer the bootloader command, each
// look for a waiting bootloader and each engine's result from a script
// (nothing waits, every node takes its file once it runs out), hex files
// and update records in a dosdevices folder of their own.
class Run : public ::testing::Test, public RunHost, public RunEngines {
 protected:
  void SetUp() override {
    InitNodeTable();
    ResetRunState();
    screen.onSend = [this](const CanMessage& message) {
      commands.push_back(message.identifier);
      for (const Node& node : nodes)
        if (FindNodeSlot(node.slot)->requestIdentifier == message.identifier) BootloaderType = node.bootloader;
    };
  }

  void QueryNodes() override { ++queries; }
  void LoadProgramList() override { ++lists; }
  void HideNodeButtons() override {}
  bool ClaimWork() override { return true; }
  void FinishWork(const char* finalStatus) override { finished = finalStatus ? finalStatus : ""; }

  void ResetState() override {}
  Answered AskForBootloaders() override { return NextOf(looks, Answered{}); }
  bool ProgramSt10(const std::string&, bool) override { return Program() == kOk; }
  // A run that reads the node keeps the program it found.
  Result ProgramAtmel(const std::string& file, bool, ProgramKeeper* keeper) override {
    atmelRuns.push_back({file, keeper != nullptr});
    FirmwareImage old;
    old.Store(0, {1, 2, 3, 4, 5, 6, 7, 8});
    return keeper && !keeper->Keep(old) ? Result::kUntouched : Program();
  }
  bool St10ResetAnswered() override { return resetAnswered; }
  bool FindAtmelBootloader() override {
    if (atmelFound) BootloaderType = kAtmel;
    return atmelFound;
  }
  Result Program() {
    ++programs;
    return NextOf(results, kOk);
  }

  void Place(const std::vector<Node>& placed, const std::vector<Record>& records = {}) {
    nodes = placed;
    for (const Node& node : nodes) FindNodeSlot(node.slot)->program = node.program;
    for (const auto& [slot, bootloader] : records) {
      UnfinishedUpdate record{slot, FindNodeSlot(slot)->name, "", 0, 0, bootloader, ""};
      ASSERT_TRUE(record.TakeFile(AddFile("P149alpha.hex")) && record.Save());
    }
  }
  std::string AddFile(const std::string& name, const std::string& text = IntelHex(RandomImage(64, 1))) {
    devices.WriteFile("e:/Pinecroft/" + name, text);
    return name;
  }

  TempDosDevices devices;
  VirtualClock clock;
  ScopedClock installed{clock};
  FakeScreen screen;
  WaitingNodes waiting;
  TimeLeft timeLeft;
  RunController run{{screen, *this, *this, waiting, timeLeft}};
  RecoveryDialogue recovery{screen, *this, *this};
  std::vector<Node> nodes;
  std::vector<uint32_t> commands;  // the request identifiers sent the bootloader command
  Looks looks;
  std::deque<Result> results;
  std::vector<std::pair<std::string, bool>> atmelRuns;  // the file, and whether the node was read first
  bool resetAnswered = true, atmelFound = false;
  int programs = 0, queries = 0, lists = 0;
  std::string finished;
};

// Which node one touch writes, and whether the run asks the nodes again.
struct SingleCase {
  const char* name;
  std::vector<Node> nodes;
  int32_t selected;
  std::string file;
  std::vector<uint32_t> commands;  // the bootloader commands sent
  int programs;
  const char* status;
  bool queried;
  bool recovery = false;
  std::vector<Record> records = {};
  Looks looks = {};
  std::deque<bool> answers = {};  // YES/NO, in order
  bool driveFull = false;
};

class Single : public Run, public ::testing::WithParamInterface<SingleCase> {};

TEST_P(Single, WritesOnlyTheNodeTheRulesAllow) {
  const SingleCase& c = GetParam();
  Place(c.nodes, c.records);
  AddFile(c.file, c.file.ends_with("bad.hex") ? "release notes\r\n" : IntelHex(RandomImage(64, 2)));
  if (c.driveFull) devices.WriteFile("d:/lumen/uploader", "a file where the folder belongs");
  RecoveryMode = c.recovery;
  if (c.recovery) BootloaderType = c.nodes.front().bootloader;  // announced or found before the run
  looks = c.looks;
  screen.answers = c.answers;
  run.RunSingle(c.selected, c.file);
  EXPECT_EQ(commands, c.commands);
  EXPECT_EQ(programs, c.programs);
  EXPECT_EQ(finished, c.status);
  EXPECT_EQ(queries, c.queried ? 1 : 0);
  EXPECT_FALSE(RecoveryMode) << "recovery mode outlived its run";
}

const std::vector<Node> kAlpha{{1, 149, kAtmel}};
const std::vector<Node> kRho{{28, 0, kAtmel}};
const std::vector<Record> kTwoCut{{1, kAtmel}, {28, kAtmel}};
INSTANTIATE_TEST_SUITE_P(
    Rules, Single,
    ::testing::Values(
        SingleCase{"SameProgram", kAlpha, 1, "P149alpha.hex", {0x18EF0110}, 1, kFinished, true},
        SingleCase{"OtherProgramRefused", kAlpha, 1, "P150alpha.hex", {}, 0, kFailed, false},
        // Tau Node 1 reported 279 at slot 12 first; Tau Node 2 runs 322.
        SingleCase{"File279ForASlotWithout279", {{12, 279, kSt10}, {35, 322, kSt10}}, 35, "P279tau.hex",
                   {0x18EF3110}, 1, kFinished, true},
        SingleCase{"File279NoneReported", {{35, 322, kSt10}}, 35, "P279tau.hex", {}, 0, kFailed, false},
        SingleCase{"UnknownTypeNode3IsSlot3", {{3, 999, kSt10}}, 101, "P999x.hex", {0x18EF0310}, 1, kFinished, true},
        SingleCase{"UnknownTypeNode4IsSlot4", {{3, 999, kSt10}}, 102, "P999x.hex", {}, 0, kFailed, false},
        SingleCase{"RecoveryTakesAnyFile", kRho, 28, "P150x.hex", {}, 1, kFinished, true, true},
        SingleCase{"RecoveryOfTwoWaitingDeclined", kRho, 28, "P266rho.hex", {}, 0, kFailed, false, true, kTwoCut,
                   {}, {false}},
        SingleCase{"RecoveryOfTwoWaitingConfirmed", kRho, 28, "P266rho.hex", {}, 1, kFinished, true, true, kTwoCut,
                   {}, {true}},
        SingleCase{"AnAtmelNodeWaits", kAlpha, 1, "P149alpha.hex", {}, 0, kFailed, false, false, {}, {kAtmelWaits}},
        SingleCase{"AnSt10NodeWaits", kAlpha, 1, "P149alpha.hex", {}, 0, kFailed, false, false, {}, {kSt10Waits}},
        SingleCase{"NoBootloaderAnswers", {{1, 149, kNoBootloader}}, 1, "P149alpha.hex", {0x18EF0110}, 0, kFailed,
                   true},
        SingleCase{"ADamagedFile", kAlpha, 1, "P149bad.hex", {}, 0, kFailed, false},
        SingleCase{"NoRecordAndNo", kAlpha, 1, "P149alpha.hex", {}, 0, kFailed, false, false, {}, {}, {false}, true},
        SingleCase{"NoRecordButYes", kAlpha, 1, "P149alpha.hex", {0x18EF0110}, 1, kFinished, true, false, {}, {},
                   {true}, true}),
    RowName());

// A record that drive d: will not let go once the node is programmed is
// logged each time and shown once.
TEST_F(Run, ARecordThatStaysIsLoggedEachTimeAndShownOnce) {
  AddFile("P149alpha.hex");
  std::filesystem::create_directories(devices.Root() + "/d:/lumen/uploader/slot01.txt/kept");
  screen.answers = {true, true};  // to go on without a record
  for (int again = 0; again < 2; ++again) {
    Place(kAlpha);
    run.RunSingle(1, "P149alpha.hex");
  }
  const char* const kKept = "WARNING: the record of the update could not be removed from drive d:.";
  EXPECT_EQ(std::ranges::count(screen.Logs(), kKept), 2);
  EXPECT_EQ(std::ranges::count(screen.Messages(), "WARNING", &FakeScreen::Box::title), 1);
}

// The record is written before the node leaves its program, with the kind
// that answered and the program kept before its erase, and lasts until the
// node is programmed. After a failed update that the operator did not put
// back at once, the next start offers to finish it or, failing that, to put
// the kept program back; neither reads the node, which holds part of the
// update.
struct KeptCase {
  const char* name;
  std::deque<bool> answers;  // at the next start
  bool keptGoesBack;
};

class Kept : public Run, public ::testing::WithParamInterface<KeptCase> {};

TEST_P(Kept, IsOfferedAtTheNextStartAndNotReadOver) {
  Place(kAlpha);
  AddFile("P149alpha.hex");
  results = {kBad};
  screen.answers = {false};  // not put back now
  run.RunSingle(1, "P149alpha.hex");
  const UnfinishedUpdate record = UnfinishedUpdate::Load(1).value_or(UnfinishedUpdate{});
  ASSERT_TRUE(record.bootloader == kAtmel && KeptProgram::IsKept(record.kept));
  Place({});
  atmelFound = true;
  screen.answers = GetParam().answers;
  UpdateOffer({screen, *this, *this, waiting, recovery, run}).OfferAll();
  EXPECT_EQ(atmelRuns, (decltype(atmelRuns){{"P149alpha.hex", true},
                                             {GetParam().keptGoesBack ? record.kept : "P149alpha.hex", false}}));
  EXPECT_FALSE(UnfinishedUpdate::Exists(1));
}

INSTANTIATE_TEST_SUITE_P(Offer, Kept,
                         ::testing::Values(KeptCase{"Finished", {true}, false},
                                           KeptCase{"PutBack", {false, true}, true}),
                         RowName());

// "All": the group's nodes that answered with the file's own program, each
// once and in slot order, until a node waits in a bootloader.
struct BatchCase {
  const char* name;
  std::vector<Node> nodes;
  int32_t group;
  std::string file;
  Looks looks;
  std::deque<Result> results;
  std::vector<uint32_t> commands;
  std::string summary;  // empty: the run is refused
  const char* status;
  bool resetAnswered = true;
};

class Batch : public Run, public ::testing::WithParamInterface<BatchCase> {};

TEST_P(Batch, TakesTheGroupsNodesThatRunTheFilesProgram) {
  const BatchCase& c = GetParam();
  Place(c.nodes);
  AddFile(c.file);
  looks = c.looks;
  results = c.results;
  resetAnswered = c.resetAnswered;
  std::vector<int32_t> shown;
  for (int32_t offset = 0; offset < 10; ++offset) shown.push_back(c.group + offset);
  run.RunBatch(c.group, shown, c.file);
  EXPECT_EQ(commands, c.commands);
  EXPECT_EQ(screen.Messages().back().text, c.summary.empty() ? std::string(kRefused) : c.summary);
  EXPECT_EQ(finished, c.status);
}

const std::string kStopped = "\nA node waits in its bootloader: recover it first with Recov.";
const std::vector<Node> kAlphas{{1, 149, kAtmel}, {2, 149, kAtmel}, {4, 149, kAtmel}};
INSTANTIATE_TEST_SUITE_P(
    Rules, Batch,
    ::testing::Values(
        BatchCase{"NoNodeSuits", {{1, 322, kSt10}, {34, 323, kSt10}}, 34, "P322tau.hex", {}, {}, {}, "", kFailed},
        BatchCase{"UnknownTypeTakesTheFirstTenSlots", {{2, 999, kSt10}, {3, 998, kSt10}}, 99, "P999x.hex", {}, {},
                  {0x18EF0210}, "Programmed: Alpha Node 2.", kFinished},
        BatchCase{"ANodeWaitingStopsTheBatch", kAlphas, 1, "P149alpha.hex", {{}, {}, kAtmelWaits}, {kOk, kBad},
                  {0x18EF0110, 0x18EF0210},
                  "Programmed: Alpha Node 1.\nNot programmed: Alpha Node 2, Alpha Node 4." + kStopped, kFailed},
        BatchCase{"AFailureWithNoneWaitingGoesOn", kAlphas, 1, "P149alpha.hex", {}, {kOk, kBad, kOk},
                  {0x18EF0110, 0x18EF0210, 0x18EF0410},
                  "Programmed: Alpha Node 1, Alpha Node 4.\nNot programmed: Alpha Node 2.", kFailed},
        BatchCase{"ANodeRunningTheFileIsSkipped", kAlphas, 1, "P149alpha.hex", {}, {kOk, Result::kAlreadyRuns},
                  {0x18EF0110, 0x18EF0210, 0x18EF0410},
                  "Programmed: Alpha Node 1, Alpha Node 4.\nAlready running this file, left as they were: Alpha Node "
                  "2.",
                  kFinished},
        BatchCase{"AnUnansweredResetWithABootloaderAnswering", {{34, 279, kSt10}, {35, 279, kSt10}}, 34,
                  "P279tau.hex", {{}, kSt10Waits, kSt10Waits}, {}, {0x18EF3010},
                  "Not programmed: Tau Node 1, Tau Node 2." + kStopped, kFailed, false}),
    RowName());

// Recovery mode stays on only when a node was found in its bootloader.
struct RecoveryCase {
  const char* name;
  bool yes, announced, atmelFound, on;
};

class Recovery : public Run, public ::testing::WithParamInterface<RecoveryCase> {};

TEST_P(Recovery, IsOnOnlyWithANodeFound) {
  const RecoveryCase& c = GetParam();
  screen.answers = {c.yes};
  BootloaderAnnounced = c.announced;
  atmelFound = c.atmelFound;
  recovery.Start();
  EXPECT_EQ(RecoveryMode.load(), c.on);
  EXPECT_EQ(lists, c.on ? 1 : 0) << "the list shows every file only in recovery mode";
  EXPECT_EQ(screen.Logs().back(), "") << "the status line is cleared";
}

INSTANTIATE_TEST_SUITE_P(Nodes, Recovery,
                         ::testing::Values(RecoveryCase{"No", false, true, true, false},
                                           RecoveryCase{"NothingFound", true, false, false, false},
                                           RecoveryCase{"AnnouncedBeforehand", true, true, false, true},
                                           RecoveryCase{"AtmelAnswers", true, false, true, true}),
                         RowName());

// Start-up's offer: only for a silent node that no other node may answer
// for, only with its file unchanged, and then as a recovery run.
struct OfferCase {
  const char* name;
  std::vector<Node> nodes;
  std::vector<Record> records;
  std::deque<bool> answers;
  bool fileChanged, atmelFound;
  size_t questions;
  int programs;
  bool kept;  // slot 1's record
};

class Offer : public Run, public ::testing::WithParamInterface<OfferCase> {};

TEST_P(Offer, IsMadeOnlyForANodeThatAloneMayWait) {
  const OfferCase& c = GetParam();
  Place(c.nodes, c.records);
  if (c.fileChanged) AddFile("P149alpha.hex", IntelHex(RandomImage(64, 3)));
  screen.answers = c.answers;
  atmelFound = c.atmelFound;
  UpdateOffer offer({screen, *this, *this, waiting, recovery, run});
  ASSERT_TRUE(UpdateOffer::AnyRecord());
  offer.OfferAll();
  EXPECT_EQ(screen.Questions().size(), c.questions);
  EXPECT_EQ(programs, c.programs);
  EXPECT_EQ(UnfinishedUpdate::Exists(1), c.kept);
  EXPECT_FALSE(RecoveryMode);
}

const std::vector<Record> kAlphaCut{{1, kAtmel}};
INSTANTIATE_TEST_SUITE_P(
    Records, Offer,
    ::testing::Values(OfferCase{"FinishedElsewhere", kAlpha, kAlphaCut, {}, false, true, 0, 0, false},
                      OfferCase{"OthersMayWait", {}, kTwoCut, {}, false, true, 0, 0, true},
                      OfferCase{"OthersOfTheOtherKind", {}, {{1, kAtmel}, {34, kSt10}}, {true, false}, false, true, 2,
                                1, false},
                      OfferCase{"Declined", {}, kAlphaCut, {false}, false, true, 1, 0, true},
                      OfferCase{"FileChanged", {}, kAlphaCut, {true}, true, true, 1, 0, true},
                      OfferCase{"NoNodeFound", {}, kAlphaCut, {true}, false, false, 1, 0, true},
                      OfferCase{"Accepted", {}, kAlphaCut, {true}, false, true, 1, 1, false}),
    RowName());

}  // namespace
