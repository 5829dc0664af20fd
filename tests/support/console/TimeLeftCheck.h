#pragma once

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <vector>

#include "FakeScreen.h"

// Runs an engine that has already programmed one node and checks each
// estimate it shows against the time the run then took, by the test's
// clock: within half a second, for the node and for a whole node alike.
inline void ExpectTimeLeftIsTheTimeItTakes(const std::function<uint32_t()>& now, FakeScreen& screen,
                                           const std::function<bool()>& run, size_t atLeast) {
  std::vector<std::array<uint32_t, 3>> reports;  // when, this node, a whole node
  screen.onTimeLeft = [&](uint32_t nodeMs, uint32_t wholeMs) { reports.push_back({now(), nodeMs, wholeMs}); };
  const uint32_t start = now();
  ASSERT_TRUE(run());
  const uint32_t end = now();
  ASSERT_GT(reports.size(), atLeast);
  for (const auto& [at, nodeMs, wholeMs] : reports) {
    EXPECT_NEAR(nodeMs, end - at, 500) << "at " << at - start << " ms";
    EXPECT_NEAR(wholeMs, end - start, 500) << "at " << at - start << " ms";
  }
}
