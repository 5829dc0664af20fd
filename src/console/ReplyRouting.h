#pragma once

#include "link/CanMessage.h"

// A consumer of received frames: node discovery and the two engines.
class ReplyConsumer {
 public:
  virtual ~ReplyConsumer() = default;
  virtual void OnReply(CanMessage message) = 0;
};

constexpr uint32_t kSt10ReplyIdentifier = 0x18EF10F1;

// Hands one received frame to its consumers: discovery while a node query
// runs, then the ST10 engine for its reply identifier, the Atmel engine for
// any other identifier.
void RouteReply(const CanMessage& message, bool queryInProgress, ReplyConsumer& discovery, ReplyConsumer& st10,
                ReplyConsumer& atmel);
