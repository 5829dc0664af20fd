#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>

#include "Bootloader.h"
#include "NodeConfig.h"
#include "Scheduler.h"
#include "VirtualBus.h"
#include "link/CanMessage.h"

// One node on the bus: its application answers the Cal Request and the
// bootloader command; its bootloader (ST10 or Atmel) takes over from there.
// A node whose update was erased but never completed has no application
// left, so at power-up it starts its bootloader; an ST10 one announces
// itself then, an Atmel one waits silently until it is asked.
class Node {
 public:
  static constexpr uint32_t kBootMs = 100;  // from the restart to the announcement
  using EventLog = std::function<void(const std::string&)>;

  Node(const NodeConfig& config, VirtualBus& bus, Scheduler& scheduler, std::string dumpDir, EventLog log);
  ~Node();
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  void OnBusFrame(const CanMessage& message);
  void PowerOff();
  // Power comes (back) on: the node restarts even if it was running.
  void PowerOn();
  // Writes <dump dir>/node-XX.bin; false without a dump folder or on failure.
  bool WriteDump() const;

  uint8_t Address() const { return config_.address; }
  uint16_t Program() const { return program_; }
  bool Powered() const { return powered_; }
  bool InBootloader() const { return inBootloader_; }
  bool HasApplication() const { return applicationValid_; }
  const Bootloader& bootloader() const { return *bootloader_; }

  // For the bootloader:
  const NodeConfig& Config() const { return config_; }
  void Send(uint32_t identifier, std::span<const uint8_t> data);
  void Send(uint32_t identifier, std::initializer_list<uint8_t> data);
  // Runs the action ms later unless the node restarts or loses power first.
  void After(uint32_t ms, std::function<void()> action);
  void ApplicationErased() { applicationValid_ = false; }
  void CutPower();
  // The bootloader's reset command.
  void Reset();
  void Note(const std::string& event) const;

 private:
  void OnApplicationFrame(const CanMessage& message);
  void EnterBootloader(bool commanded);
  void Restart() { ++epoch_; }

  NodeConfig config_;
  VirtualBus& bus_;
  Scheduler& scheduler_;
  std::string dumpDir_;
  EventLog log_;
  std::unique_ptr<Bootloader> bootloader_;
  uint16_t program_;
  bool powered_ = true;
  bool inBootloader_ = false;
  bool applicationValid_ = true;
  uint32_t epoch_ = 0;  // counts restarts; pending actions of an older one are void
};
