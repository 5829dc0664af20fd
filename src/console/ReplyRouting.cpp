#include "console/ReplyRouting.h"

void RouteReply(const CanMessage& message, bool queryInProgress, ReplyConsumer& discovery, ReplyConsumer& st10,
                ReplyConsumer& atmel) {
  if (queryInProgress) discovery.OnReply(message);
  if (message.identifier == kSt10ReplyIdentifier)
    st10.OnReply(message);
  else
    atmel.OnReply(message);
}
