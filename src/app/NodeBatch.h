#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The nodes one touch on "All" programs, in slot order, and what became of
// each: the texts that announce the batch and report it at its end.
class NodeBatch {
 public:
  struct Node {
    int32_t slot;
    std::string name;
    bool programmed = false;
    bool skipped = false;  // it ran the file already and was left as it was
  };

  void Add(int32_t slot, const std::string& name) { nodes_.push_back({slot, name}); }
  std::vector<Node>& Nodes() { return nodes_; }
  bool Empty() const { return nodes_.empty(); }
  bool AllProgrammed() const;
  // A line after the summary saying why the batch stopped.
  void SetNote(const std::string& note) { note_ = note; }

  // The run's warning preceded by a line naming the nodes ("Programming 3
  // nodes: Alpha Node 1, Alpha Node 2, Alpha Node 4."). Names that would push
  // the warning past what a box shows are shortened ("Alpha Node 1, 2, 4.").
  std::string Announcement(const std::string& warning) const;
  // Each node under its outcome: programmed, skipped, not programmed.
  std::string Summary() const;
  const char* SummaryTitle() const { return AllProgrammed() ? "Programming Complete" : "WARNING!!!"; }

 private:
  enum class Outcome { kAny, kProgrammed, kSkipped, kNotProgrammed };
  static Outcome OutcomeOf(const Node& node);
  std::string Names(Outcome wanted, bool shortened) const;

  std::vector<Node> nodes_;
  std::string note_;
};
