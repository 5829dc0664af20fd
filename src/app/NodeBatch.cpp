#include "app/NodeBatch.h"

#include <algorithm>

#include "ui/Widget.h"

namespace {

// "Alpha Node" of "Alpha Node 4": everything before the last blank.
std::string Family(const std::string& name) {
  size_t blank = name.rfind(' ');
  return blank == std::string::npos ? std::string() : name.substr(0, blank);
}

}  // namespace

bool NodeBatch::AllProgrammed() const {
  return std::all_of(nodes_.begin(), nodes_.end(), [](const Node& node) { return node.programmed; });
}

std::string NodeBatch::Announcement(const std::string& warning) const {
  const size_t count = nodes_.size();
  auto line = [&](bool shortened) {
    return "Programming " + std::to_string(count) + (count == 1 ? " node: " : " nodes: ") +
           Names(Outcome::kAny, shortened) + ".\n" + warning;
  };
  std::string full = line(false);
  return full.size() < Widget::kTextSize ? full : line(true);
}

std::string NodeBatch::Summary() const {
  std::string summary;
  const auto add = [&](Outcome outcome, const char* heading) {
    const std::string names = Names(outcome, false);
    if (names.empty()) return;
    if (!summary.empty()) summary += "\n";
    summary += heading + names + ".";
  };
  add(Outcome::kProgrammed, "Programmed: ");
  add(Outcome::kSkipped, "Already running this file, left as they were: ");
  add(Outcome::kNotProgrammed, "Not programmed: ");
  if (!note_.empty()) summary += "\n" + note_;
  return summary;
}

NodeBatch::Outcome NodeBatch::OutcomeOf(const Node& node) {
  if (!node.programmed) return Outcome::kNotProgrammed;
  return node.skipped ? Outcome::kSkipped : Outcome::kProgrammed;
}

// The names of the nodes with the wanted outcome, joined by commas.
// Shortened, a name of the same family as the one before it keeps only its
// number.
std::string NodeBatch::Names(Outcome wanted, bool shortened) const {
  std::string names, family;
  for (const Node& node : nodes_) {
    if (wanted != Outcome::kAny && OutcomeOf(node) != wanted) continue;
    if (!names.empty()) names += ", ";
    bool sameFamily = shortened && !family.empty() && Family(node.name) == family;
    names += sameFamily ? node.name.substr(family.size() + 1) : node.name;
    family = Family(node.name);
  }
  return names;
}
