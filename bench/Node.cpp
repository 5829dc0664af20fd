#include "Node.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "AtmelBootloader.h"
#include "St10Bootloader.h"

namespace {

constexpr uint32_t kRequestBase = 0x18EF0010;   // + address * 256
constexpr uint32_t kResponseBase = 0x18EF1000;  // + address
constexpr uint8_t kCalRequest = 0xBF;
constexpr uint8_t kCalReply = 0xC0;
constexpr uint8_t kBootloaderCommand = 0xF1;
constexpr uint32_t kLargestStandard = 0x7FF;

std::unique_ptr<Bootloader> MakeBootloader(Node& node, BootloaderKind kind) {
  if (kind == BootloaderKind::Atmel) return std::make_unique<AtmelBootloader>(node);
  return std::make_unique<St10Bootloader>(node);
}

std::string Hex2(uint8_t value) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

}  // namespace

Node::Node(const NodeConfig& config, VirtualBus& bus, Scheduler& scheduler, std::string dumpDir, EventLog log)
    : config_(config),
      bus_(bus),
      scheduler_(scheduler),
      dumpDir_(std::move(dumpDir)),
      log_(std::move(log)),
      bootloader_(MakeBootloader(*this, config.boot)),
      program_(config.program) {
  if (!config_.startInBootloader) return;
  applicationValid_ = false;
  EnterBootloader(false);
}

Node::~Node() = default;

void Node::OnBusFrame(const CanMessage& message) {
  if (!powered_ || config_.silent) return;
  if (inBootloader_) {
    bootloader_->OnFrame(message);
  } else {
    OnApplicationFrame(message);
  }
}

void Node::OnApplicationFrame(const CanMessage& message) {
  if (!(message.flags & CanMessage::kExtendedFlag) || message.length == 0) return;
  if (message.identifier != kRequestBase + config_.address * 256u) return;
  if (message.data[0] == kCalRequest) {
    const uint8_t high = program_ < 256 ? 0xFF : static_cast<uint8_t>(program_ >> 8);
    Send(kResponseBase + config_.address, {kCalReply, 0x00, 0x00, static_cast<uint8_t>(program_), high});
  } else if (message.data[0] == kBootloaderCommand && message.length == 1) {
    if (config_.noBootloader) {
      Note("ignores the bootloader command");
      return;
    }
    EnterBootloader(true);
  }
}

// Both kinds answer the bootloader command; only an ST10 bootloader also
// announces itself when it starts on its own (power-up, reset).
void Node::EnterBootloader(bool commanded) {
  Restart();
  inBootloader_ = true;
  bootloader_->Start();
  Note(config_.boot == BootloaderKind::St10 ? "ST10 bootloader started" : "Atmel bootloader started");
  if (commanded || config_.boot == BootloaderKind::St10) After(kBootMs, [this] { bootloader_->Announce(); });
}

void Node::PowerOff() {
  Restart();
  powered_ = false;
  inBootloader_ = false;
  Note("power off");
}

void Node::PowerOn() {
  Restart();
  powered_ = true;
  inBootloader_ = false;
  Note("power on");
  if (!applicationValid_) EnterBootloader(false);
}

void Node::CutPower() {
  Note("power lost during the update");
  PowerOff();
}

void Node::Reset() {
  if (bootloader_->UpdateComplete()) {
    program_ = config_.after.value_or(program_);
    applicationValid_ = true;
    Note("update complete, program " + std::to_string(program_));
    WriteDump();
  }
  if (!applicationValid_) {
    EnterBootloader(false);
    return;
  }
  Restart();
  inBootloader_ = false;
  Note("application running");
}

void Node::Send(uint32_t identifier, std::span<const uint8_t> data) {
  if (config_.silent) return;
  CanMessage message;
  message.identifier = identifier;
  message.flags = identifier > kLargestStandard ? CanMessage::kExtendedFlag : 0;
  message.length = static_cast<uint8_t>(data.size() < 8 ? data.size() : 8);
  std::copy_n(data.begin(), message.length, message.data);
  bus_.FromNode(message, this);
}

void Node::Send(uint32_t identifier, std::initializer_list<uint8_t> data) {
  Send(identifier, std::span<const uint8_t>(data.begin(), data.size()));
}

void Node::After(uint32_t ms, std::function<void()> action) {
  scheduler_.After(uint64_t{ms} * 1000, [this, epoch = epoch_, action = std::move(action)] {
    if (powered_ && epoch == epoch_) action();
  });
}

bool Node::WriteDump() const {
  if (dumpDir_.empty()) return false;
  const std::string path = dumpDir_ + "/node-" + Hex2(config_.address) + ".bin";
  const std::vector<uint8_t> image = bootloader_->Image();
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  if (!file) {
    Note("cannot write " + path);
    return false;
  }
  Note("flash written to " + path);
  return true;
}

void Node::Note(const std::string& event) const {
  if (log_) log_("node " + Hex2(config_.address) + ": " + event);
}
