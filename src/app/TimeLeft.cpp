#include "app/TimeLeft.h"

#include <algorithm>
#include <cctype>

#include "app/Format.h"

namespace {

// Seconds while under a minute; beyond it a figure that moves every ten
// seconds, which is as exact as an operator needs and keeps the label calm.
std::string Duration(uint64_t ms) {
  if (ms < 500) return "almost done";
  if (ms < 59500) return Format("about %d s left", static_cast<int>((ms + 500) / 1000));
  const uint64_t tens = (ms + 5000) / 10000;
  const int minutes = static_cast<int>(tens / 6), seconds = static_cast<int>(tens % 6 * 10);
  return seconds ? Format("about %d min %d s left", minutes, seconds) : Format("about %d min left", minutes);
}

}  // namespace

void TimeLeft::StartBatch(int nodes) {
  node_ = 0;
  nodes_ = nodes;
}

std::string TimeLeft::Text(uint32_t nodeMs, uint32_t perNodeMs) const {
  const uint64_t later = static_cast<uint64_t>(std::max(nodes_ - node_, 0));
  std::string text = Duration(nodeMs + later * perNodeMs);
  if (nodes_ > 1) return Format("Node %d of %d, ", node_, nodes_) + text;
  text[0] = static_cast<char>(std::toupper(text[0]));
  return text;
}
