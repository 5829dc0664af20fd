#include "nodes/DiscoveryFlags.h"

std::atomic<bool> queryInProgress{false};
std::atomic<bool> program251Seen{false};
