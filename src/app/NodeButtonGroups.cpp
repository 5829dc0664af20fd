#include "app/NodeButtonGroups.h"

#include <cstdlib>

#include "nodes/NodeDiscovery.h"

namespace {

std::vector<std::string> Numbered(const char* prefix, int first, int last) {
  std::vector<std::string> keys;
  for (int i = first; i <= last; ++i) keys.push_back(prefix + std::to_string(i));
  return keys;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

int TrailingNumber(const std::string& key) {
  size_t start = key.find_last_not_of("0123456789") + 1;
  return start < key.size() ? std::atoi(key.c_str() + start) : -1;
}

}  // namespace

bool NodeButtonGroups::IsGroupCode(int code) {
  return code == 1 || code == 23 || code == 28 || code == 34 || code == 44 || code == NodeDiscovery::kUnknownNodeType;
}

std::vector<std::string> NodeButtonGroups::KeysFor(int code, bool program251Seen) {
  std::vector<std::string> keys = NodeKeysFor(code, program251Seen);
  if (IsGroupCode(code)) keys.push_back("All");
  return keys;
}

std::vector<std::string> NodeButtonGroups::NodeKeysFor(int code, bool program251Seen) {
  switch (code) {
    case 1:
    case 34:
    case NodeDiscovery::kUnknownNodeType:
      return Numbered("Node", program251Seen ? 3 : 0, 9);
    case 23:
      return Numbered("XiNode", 1, 2);
    case 28:
      return Numbered("Rho", 1, 5);
    case 44:
      return Numbered("Psi", 1, 5);
    case kStartOnly:
      return {"Start"};
    default:
      return {};
  }
}

const std::vector<std::string>& NodeButtonGroups::AllKeys() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> all = Numbered("Node", 0, 9);
    for (auto group : {Numbered("XiNode", 1, 2), Numbered("Rho", 1, 5), Numbered("Psi", 1, 5)})
      all.insert(all.end(), group.begin(), group.end());
    all.push_back("Start");
    all.push_back("All");
    return all;
  }();
  return keys;
}

int NodeButtonGroups::SlotOffset(const std::string& key) {
  int number = TrailingNumber(key);
  if (number < 0) return -1;
  if (StartsWith(key, "Node")) return number;
  if (StartsWith(key, "XiNode") || StartsWith(key, "Rho") || StartsWith(key, "Psi")) return number - 1;
  return -1;
}
