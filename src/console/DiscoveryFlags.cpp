#include "console/DiscoveryFlags.h"

std::atomic<bool> queryInProgress{false};
std::atomic<bool> program251Seen{false};

void ResetQueryFlags() {
  queryInProgress = false;
  program251Seen = false;
}
