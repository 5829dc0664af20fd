#include "app/NodeBatch.h"

#include <gtest/gtest.h>

namespace {

// Names of another family stay whole when a long batch is named short.
TEST(NodeBatchTest, ALongBatchIsNamedShort) {
  NodeBatch batch;
  for (const char* name : {"Nu Node 1", "Nu Node 2", "Nu Node 3", "Nu Node 4", "Omicron Node"}) batch.Add(44, name);
  const std::string warning(190, 'w');
  EXPECT_EQ(batch.Announcement(warning), "Programming 5 nodes: Nu Node 1, 2, 3, 4, Omicron Node.\n" + warning);
}

}  // namespace
