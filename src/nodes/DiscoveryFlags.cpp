#include "nodes/DiscoveryFlags.h"

std::atomic<bool> queryInProgress{false};
std::atomic<uint32_t> queryIndex{0};
std::atomic<bool> program251Seen{false};
