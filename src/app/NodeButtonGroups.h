#pragma once

#include <string>
#include <vector>

// Which node buttons a selection offers and which slot each button stands
// for. A list row gives either a slot number, shown with Start, or one of six
// group codes, each the first slot of a group of buttons.
class NodeButtonGroups {
 public:
  static constexpr int kStartOnly = 0;  // a single slot: Start alone
  static constexpr int kNoButtons = 5;  // no group and not Start: every node button hidden

  static bool IsGroupCode(int code);
  // The keys of the buttons shown for a code: a group's buttons and "All",
  // "Start" for kStartOnly, nothing for any other code (kNoButtons). A node
  // that reported program 251 hides the first three generic node buttons.
  static std::vector<std::string> KeysFor(int code, bool program251Seen);
  // Every key that HideNodeButtons hides.
  static const std::vector<std::string>& AllKeys();
  // What touching a node button adds to the group code: the digit of
  // "Node0".."Node9", the number less one of "XiNode1", "Rho1".., "Psi1"..;
  // -1 for a key that is no node button.
  static int SlotOffset(const std::string& key);

 private:
  static std::vector<std::string> NodeKeysFor(int code, bool program251Seen);
};
