#include "app/RunRules.h"

#include <gtest/gtest.h>

#include "RowName.h"
#include "console/ProgramState.h"

namespace {

// The file's own program everywhere; the any-slot rule and recovery only
// where the operator touched the node.
struct TakesCase {
  const char* name;
  int32_t file, node;
  bool anySlotFound, recovery, single, batch;
};

class Takes : public ::testing::TestWithParam<TakesCase> {};

TEST_P(Takes, TheFileOnlyGoesWhereItsProgramIsAllowed) {
  const TakesCase& c = GetParam();
  EXPECT_EQ(RunRules::SingleRunTakes(c.file, c.node, c.anySlotFound, c.recovery), c.single);
  EXPECT_EQ(RunRules::BatchTakes(c.file, c.node), c.batch);
}

INSTANTIATE_TEST_SUITE_P(Programs, Takes,
                         ::testing::Values(TakesCase{"Same", 149, 149, false, false, true, true},
                                           TakesCase{"AnySlotFile", 279, 322, true, false, true, false},
                                           TakesCase{"AnySlotFileNoneReported", 279, 322, false, false, false, false},
                                           TakesCase{"OnlyTheAnySlotProgram", 280, 322, true, false, false, false},
                                           TakesCase{"Recovery", 150, 0, false, true, true, false}),
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
