#include "app/NodeBatch.h"

#include <gtest/gtest.h>

#include "ui/Widget.h"

namespace {

const std::string kWarning = "Press OK to continue.";

NodeBatch Batch(const std::vector<std::pair<const char*, bool>>& nodes) {
  NodeBatch batch;
  int32_t slot = 1;
  for (const auto& [name, programmed] : nodes) {
    batch.Add(slot++, name);
    batch.Nodes().back().programmed = programmed;
  }
  return batch;
}

TEST(NodeBatchTest, TheAnnouncementNamesEachNodeInFullWhileTheBoxShowsItAll) {
  NodeBatch three = Batch({{"Alpha Node 1", false}, {"Alpha Node 2", false}, {"Alpha Node 4", false}});
  EXPECT_EQ(three.Announcement(kWarning),
            "Programming 3 nodes: Alpha Node 1, Alpha Node 2, Alpha Node 4.\nPress OK to continue.");
  EXPECT_EQ(Batch({{"Omicron Node", false}}).Announcement(kWarning), "Programming 1 node: Omicron Node.\n" + kWarning);
}

// Ten full names and the whole warning do not fit in a box: shortened, the
// warning's last words, the ones that ask for OK, must still be shown.
TEST(NodeBatchTest, ALongBatchIsNamedShortSoTheWholeWarningFitsTheBox) {
  std::vector<std::pair<const char*, bool>> nodes;
  const char* names[] = {"Nu Node 1", "Nu Node 2", "Nu Node 3", "Nu Node 4", "Omicron Node"};
  for (const char* name : names) nodes.push_back({name, false});
  const std::string warning(190, 'w');
  std::string text = Batch(nodes).Announcement(warning);
  EXPECT_EQ(text, "Programming 5 nodes: Nu Node 1, 2, 3, 4, Omicron Node.\n" + warning);
  EXPECT_LT(text.size(), Widget::kTextSize);
}

TEST(NodeBatchTest, TheSummaryListsEachNodeUnderItsOutcome) {
  NodeBatch mixed = Batch({{"Tau Node 1", true}, {"Tau Node 2", false}, {"Tau Node 3", true}});
  EXPECT_EQ(mixed.Summary(), "Programmed: Tau Node 1, Tau Node 3.\nNot programmed: Tau Node 2.");
  EXPECT_STREQ(mixed.SummaryTitle(), "WARNING!!!");
  NodeBatch done = Batch({{"Rho Node 1", true}, {"Rho Node 2", true}});
  EXPECT_EQ(done.Summary(), "Programmed: Rho Node 1, Rho Node 2.");
  EXPECT_STREQ(done.SummaryTitle(), "Programming Complete");
}

}  // namespace
