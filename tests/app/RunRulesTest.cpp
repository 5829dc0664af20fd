#include "app/RunRules.h"

#include <gtest/gtest.h>

#include "RowName.h"
#include "console/ProgramState.h"

namespace {

// What the operator picked: the file's program number from its name, the
// slot a node button of a file of no known node type stands for, and the
// rows Start takes.
struct PickCase {
  const char* name;
  const char* file;
  int32_t program;
  int32_t selected, slot;
  int row;
  bool started;
};

class Pick : public ::testing::TestWithParam<PickCase> {};

TEST_P(Pick, NamesTheProgramTheSlotAndTheRowsStartTakes) {
  const PickCase& c = GetParam();
  EXPECT_EQ(RunRules::FileProgramNumber(c.file), c.program);
  EXPECT_EQ(RunRules::TargetSlot(c.selected), c.slot);
  EXPECT_EQ(RunRules::StartTakes(c.row, c.selected), c.started);
}

INSTANTIATE_TEST_SUITE_P(Operator, Pick,
                         ::testing::Values(PickCase{"KnownSlot", "P149alpha.hex", 149, 98, 98, 0, true},
                                           PickCase{"UnknownTypeNode1", "P279.hex", 279, 99, 1, 50, true},
                                           PickCase{"UnknownTypeNode10", "P27", 27, 108, 10, 51, false},
                                           PickCase{"NoRow", "P", 0, 1, 1, -1, false},
                                           PickCase{"NoNodeChosen", "x", 0, 0, 0, 3, false}),
                         RowName());

// An ST10 node whose reset went unanswered, with a bootloader answering
// after it, is not reported programmed.
TEST(RunRules, AnUnansweredResetWithABootloaderAnsweringIsNotProgrammed) {
  EXPECT_TRUE(RunRules::ReportedProgrammed(true, true, true));
  EXPECT_TRUE(RunRules::ReportedProgrammed(true, false, false));
  EXPECT_FALSE(RunRules::ReportedProgrammed(true, false, true));
}

struct OthersCase {
  const char* name;
  int32_t slot, bootloader;
  std::vector<RunRules::Pending> pending;
  std::vector<int32_t> stopped, others;
};

class Others : public ::testing::TestWithParam<OthersCase> {};

TEST_P(Others, EveryOtherNodeThatMayShareTheBootloadersIdentifiersIsNamed) {
  const OthersCase& c = GetParam();
  EXPECT_EQ(RunRules::OthersThatMayWait(c.slot, c.bootloader, c.pending, c.stopped), c.others);
}

constexpr int32_t kAtmel = kAtmelBootloader, kSt10 = kSt10Bootloader;
INSTANTIATE_TEST_SUITE_P(
    Nodes, Others,
    ::testing::Values(OthersCase{"AloneWithItsRecord", 1, kAtmel, {{1, kAtmel}}, {1}, {}},
                      OthersCase{"TwoAtmelRecords", 1, kAtmel, {{1, kAtmel}, {28, kAtmel}}, {}, {28}},
                      OthersCase{"TheOtherKind", 1, kAtmel, {{1, kAtmel}, {34, kSt10}}, {}, {}},
                      OthersCase{"ARecordCutBeforeAnAnswer", 34, kSt10, {{1, kNoBootloader}}, {}, {1}},
                      OthersCase{"ANodeThatStoppedAnswering", 1, kAtmel, {}, {5, 1}, {5}},
                      OthersCase{"RecoveryCountsEveryone", 0, kAtmel, {{28, kAtmel}, {34, kSt10}}, {28, 2}, {2, 28}}),
    RowName());

}  // namespace
