#include "link/ChannelTable.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

// An Ack time-out with none in the 500 ms before it means the gateway lost
// its channels; time-outs in a row leave them open. The first one, whenever
// it comes, is isolated.
TEST(ChannelTableTest, OnlyAnIsolatedAckTimeOutClosesTheChannels) {
  ChannelTable channels;
  const uint8_t number = channels.Create(0, nullptr);
  const std::pair<uint32_t, bool> timeouts[] = {{100, true}, {400, false}, {900, false}, {1401, true}};
  for (const auto& [at, closes] : timeouts) {
    channels.Acknowledge(number);
    channels.AckTimedOut(at);
    EXPECT_EQ(channels.Acknowledged(number), !closes) << "time-out at " << at << " ms";
  }
}

}  // namespace
