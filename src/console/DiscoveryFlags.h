#pragma once

#include <atomic>
#include <cstdint>

// Program-wide state of the node query, shared between the thread running
// the query and the link's receive thread that hands it the replies.
extern std::atomic<bool> queryInProgress;  // replies are taken
extern std::atomic<bool> program251Seen;   // some node answered with program 251

// Both back to "no query": at start-up and whenever the node table is reset.
void ResetQueryFlags();
