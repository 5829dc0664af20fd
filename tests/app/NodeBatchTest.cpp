#include "app/NodeBatch.h"

#include <gtest/gtest.h>

namespace {

// The summary's title, not logged, says whether every node was programmed;
// names of another family stay whole when a long batch is named short.
TEST(NodeBatchTest, ALongBatchIsNamedShortAndTheSummaryTitleTellsTheOutcome) {
  NodeBatch batch;
  for (const char* name : {"Nu Node 1", "Nu Node 2", "Nu Node 3", "Nu Node 4", "Omicron Node"}) batch.Add(44, name);
  const std::string warning(190, 'w');
  EXPECT_EQ(batch.Announcement(warning), "Programming 5 nodes: Nu Node 1, 2, 3, 4, Omicron Node.\n" + warning);
  for (NodeBatch::Node& node : batch.Nodes()) node.programmed = node.name != "Nu Node 3";
  EXPECT_STREQ(batch.SummaryTitle(), "WARNING!!!");
  batch.Nodes()[2].programmed = true;
  EXPECT_STREQ(batch.SummaryTitle(), "Programming Complete");
}

}  // namespace
