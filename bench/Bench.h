#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "BenchOptions.h"
#include "CandumpTrace.h"
#include "GatewayEmulator.h"
#include "Node.h"
#include "Scheduler.h"
#include "VirtualBus.h"

// The gateway, the bus and the nodes without any I/O of their own: bytes
// from the host go in through FromHost, bytes for the host come out through
// the writer, and time moves only when the owner advances it. The event loop
// drives it with the steady clock; tests drive it directly.
class Bench {
 public:
  using HostWriter = GatewayEmulator::HostWriter;

  Bench(const BenchOptions& options, HostWriter writer, Node::EventLog log = {});
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  bool StartTrace(const std::string& path, std::string& error) { return trace_.Open(path, error); }
  void FlushTrace() { trace_.Flush(); }
  void FromHost(const uint8_t* bytes, size_t count) { gateway_.FromHost(bytes, count); }
  void RestartGateway() { gateway_.Restart(); }
  void Advance(uint64_t us) { scheduler_.Advance(us); }
  void AdvanceMs(uint64_t ms) { scheduler_.Advance(ms * 1000); }
  Scheduler& scheduler() { return scheduler_; }
  const Scheduler& scheduler() const { return scheduler_; }

  // Handles a control line: "power-off ADDR", "power-on ADDR" or "dump".
  // False, with the reason, for anything else.
  bool Control(const std::string& line, std::string& error);
  Node* FindNode(uint8_t address);

 private:
  Scheduler scheduler_;
  CandumpTrace trace_;
  VirtualBus bus_;
  GatewayEmulator gateway_;
  std::vector<std::unique_ptr<Node>> nodes_;
};
