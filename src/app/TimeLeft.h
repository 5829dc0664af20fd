#pragma once

#include <cstdint>
#include <string>

// What the operator reads beside the progress bar: the time the whole run
// still takes and, in a run over several nodes, which node is under way. Used
// on the run's thread only.
class TimeLeft {
 public:
  // A run over several nodes: no node under way yet, then NextNode before each.
  void StartBatch(int nodes);
  void NextNode() { ++node_; }
  // Back to a run over one node.
  void EndBatch() { node_ = nodes_ = 1; }

  // The text for an engine's estimate of its node; each node still to come
  // adds perNodeMs. "About 48 s left", "Node 3 of 10, about 7 min 20 s left".
  std::string Text(uint32_t nodeMs, uint32_t perNodeMs) const;

 private:
  int node_ = 1;
  int nodes_ = 1;
};
