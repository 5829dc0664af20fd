#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The node types the hex files are for and the buttons that choose a node of
// each, in one table. A shown name's node type gives a code: the one slot of
// a type that exists once (offered with Start), or the first slot of a group
// (offered with its node buttons and "All"), to which a touched button adds
// its offset.
class NodeTypeCatalogue {
 public:
  // A node button: its widget key, its caption, what it adds to the group's
  // code, and its place on the screen (0 to 4 the upper row, 5 to 9 the lower).
  struct Button {
    std::string_view key;
    std::string_view caption;
    int32_t offset;
    int place;
  };

  // A name whose node type is not in the table gives this group code: its
  // buttons give 99..108, which the run turns into slots 1..10.
  static constexpr int32_t kUnknownType = 99;
  static constexpr int32_t kUnknownTypeToSlot = kUnknownType - 1;
  static constexpr int32_t kStartOnly = 0;  // a single slot: Start alone
  static constexpr int32_t kNoButtons = 5;  // every node button and Start hidden

  // The code of the first node type the shown name begins with.
  static int32_t CodeFor(std::string_view displayName);
  static bool IsGroupCode(int32_t code);
  // The keys shown for a code: a group's buttons and "All", "Start" for
  // kStartOnly, nothing for any other code. A node that reported program 251
  // hides the first three of the ten generic node buttons.
  static std::vector<std::string> KeysFor(int32_t code, bool program251Seen);
  // Every button of every group once, as the screen creates them.
  static std::vector<Button> EveryNodeButton();
  // Every key that hiding the node buttons hides: theirs, Start's and All's.
  static std::vector<std::string> AllKeys();
  // What the key's button adds to the group's code; -1 for a key that is no
  // node button.
  static int32_t SlotOffset(std::string_view key);
};
