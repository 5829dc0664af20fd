#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "console/ReplyRouting.h"
#include "link/CanMessage.h"

// Finds out which program each node on the bus runs, and knows which hex
// files belong to which kind of node. One program-wide instance; it works on
// NodeTable and the flags of DiscoveryFlags.h and keeps nothing of its own.
class NodeDiscovery : public ReplyConsumer {
 public:
  static constexpr uint8_t kCalRequest = 0xBF;
  static constexpr uint8_t kCalReply = 0xC0;
  static constexpr uint32_t kReplyWindowMs = 300;  // a node's time to answer its request
  static constexpr uint32_t kRequestGapMs = 1;      // between two requests, for the bus's sake
  // A file for this program suits any slot while some slot reports it.
  static constexpr int32_t kAnySlotProgram = 279;

  // Fills NodeTable from its built-in rows.
  NodeDiscovery();

  // Asks every node address of the 48 slots for its program number, all
  // requests back to back, and returns one reply window after the last of
  // them left on the line.
  void SendCalRequests();

  // Returns once windowMs passed since the last frame on the line, for the
  // answers to the requests just queued; no later than windowMs plus a lost
  // Ack for each of them.
  static void AwaitReplies(uint32_t requests, uint32_t windowMs = kReplyWindowMs);

  // While a query runs, credits a Cal Reply to every slot that answers on its
  // identifier; anything else is ignored. Runs on the link's receive thread
  // and only records.
  void OnCalReply(CanMessage message);
  void OnReply(CanMessage message) override;

  // True when some slot reported this program, or always in recovery mode.
  bool IsProgramOnline(int32_t program) const;

  // The name to show for a hex file (its node type's label followed by the
  // rest of the name before ".hex") and whether a node for it is online.
  void DescribeHexFile(std::string_view fileName, std::string& displayName, bool& online) const;

  // The slot number or slot-group code that a shown name's node type offers
  // (NodeTypeCatalogue).
  int32_t SlotForNodeType(std::string_view displayName) const;

 private:
  // One Cal Request to each distinct request identifier, in slot order of
  // first use; returns how many went.
  uint32_t SendToEveryAddress();
};
