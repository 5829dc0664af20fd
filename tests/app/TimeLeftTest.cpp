#include "app/TimeLeft.h"

#include <gtest/gtest.h>

#include "RowName.h"

namespace {

struct TimeLeftCase {
  const char* name;
  int node;
  int nodes;
  uint32_t nodeMs;
  uint32_t perNodeMs;
  const char* text;
};

class TimeLeftTest : public ::testing::TestWithParam<TimeLeftCase> {};

// Seconds below a minute, then steps of ten seconds; each node still to come
// of a batch counts as a whole one.
TEST_P(TimeLeftTest, TellsTheOperatorWhatIsLeft) {
  const TimeLeftCase& row = GetParam();
  TimeLeft timeLeft;
  timeLeft.StartBatch(row.nodes);
  for (int node = 0; node < row.node; ++node) timeLeft.NextNode();
  EXPECT_EQ(timeLeft.Text(row.nodeMs, row.perNodeMs), row.text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TimeLeftTest,
    ::testing::Values(TimeLeftCase{"Nothing", 1, 1, 0, 9000, "Almost done"},
                      TimeLeftCase{"UnderHalfASecond", 1, 1, 499, 9000, "Almost done"},
                      TimeLeftCase{"HalfASecond", 1, 1, 500, 9000, "About 1 s left"},
                      TimeLeftCase{"UnderAMinute", 1, 1, 59499, 9000, "About 59 s left"},
                      TimeLeftCase{"AMinute", 1, 1, 59500, 9000, "About 1 min left"},
                      TimeLeftCase{"UnderTenSecondsMore", 1, 1, 64999, 9000, "About 1 min left"},
                      TimeLeftCase{"TenSecondsMore", 1, 1, 65000, 9000, "About 1 min 10 s left"},
                      TimeLeftCase{"FirstOfThree", 1, 3, 10000, 20000, "Node 1 of 3, about 50 s left"},
                      TimeLeftCase{"LastOfTen", 10, 10, 440000, 50000, "Node 10 of 10, about 7 min 20 s left"},
                      TimeLeftCase{"LastOfTwoAlmostDone", 2, 2, 0, 50000, "Node 2 of 2, almost done"}),
    RowName());

}  // namespace
