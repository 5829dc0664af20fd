#include "Bench.h"

#include <sstream>

Bench::Bench(const BenchOptions& options, HostWriter writer, Node::EventLog log)
    : bus_(scheduler_, options.busBitrate, trace_), gateway_(options.gateway, scheduler_, bus_, std::move(writer)) {
  bus_.SetGateway([this](const CanMessage& message) { gateway_.FromBus(message); });
  for (const NodeConfig& config : options.nodes) {
    nodes_.push_back(std::make_unique<Node>(config, bus_, scheduler_, options.dumpDir, log));
    bus_.AddNode([node = nodes_.back().get()](const CanMessage& message) { node->OnBusFrame(message); });
  }
}

bool Bench::Control(const std::string& line, std::string& error) {
  std::istringstream words(line);
  std::string command;
  std::string address;
  std::string extra;
  words >> command >> address >> extra;
  if (command == "dump" && address.empty()) {
    bool written = true;
    for (const auto& node : nodes_) written &= node->WriteDump();
    if (!written) error = "not every dump could be written (is --dump-dir given?)";
    return written;
  }
  if (command == "restart-gateway" && address.empty()) {
    RestartGateway();
    return true;
  }
  if ((command == "power-off" || command == "power-on") && extra.empty()) {
    uint32_t value = 0;
    Node* node = ParseBenchNumber(address, 0xFF, value) ? FindNode(static_cast<uint8_t>(value)) : nullptr;
    if (!node) {
      error = "no node at address '" + address + "'";
      return false;
    }
    command == "power-on" ? node->PowerOn() : node->PowerOff();
    return true;
  }
  error = "unknown control line '" + line + "'";
  return false;
}

Node* Bench::FindNode(uint8_t address) {
  for (const auto& node : nodes_) {
    if (node->Address() == address) return node.get();
  }
  return nullptr;
}
