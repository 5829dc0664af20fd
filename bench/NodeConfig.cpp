#include "NodeConfig.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

bool ParseBenchNumber(const std::string& text, uint32_t max, uint32_t& value) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos) {
    return false;
  }
  errno = 0;
  const unsigned long long parsed = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
  if (errno != 0 || parsed > max) return false;
  value = static_cast<uint32_t>(parsed);
  return true;
}

namespace {

bool SetNumber(const std::string& key, const std::string& text, uint32_t max, uint32_t& value, std::string& error) {
  if (ParseBenchNumber(text, max, value)) return true;
  error = key + ": '" + text + "' is not a number from 0 to " + std::to_string(max);
  return false;
}

bool SetCount(const std::string& key, const std::string& text, std::optional<uint32_t>& value, std::string& error) {
  uint32_t number = 0;
  if (!SetNumber(key, text, 0xFFFFFFFF, number, error)) return false;
  value = number;
  return true;
}

bool ApplyFault(const std::string& fault, NodeConfig& node, std::string& error) {
  const size_t equals = fault.find('=');
  const std::string name = fault.substr(0, equals);
  const std::string value = equals == std::string::npos ? "" : fault.substr(equals + 1);
  if (equals == std::string::npos) {
    if (name == "silent") return node.silent = true;
    if (name == "no-bootloader") return node.noBootloader = true;
    if (name == "blank-nonzero") return node.blankNonzero = true;
    if (name == "stuck-reset") return node.stuckReset = true;
    if (name == "start-in-bootloader") return node.startInBootloader = true;
    if (name == "no-display") return node.noDisplay = true;
  } else {
    if (name == "slow-erase") return SetNumber(name, value, 0xFFFFFFFF, node.slowEraseMs, error);
    if (name == "late-start") return SetNumber(name, value, 0xFFFFFFFF, node.lateStartMs, error);
    if (name == "stop-after") return SetCount(name, value, node.stopAfter, error);
    if (name == "line-error") return SetCount(name, value, node.lineError, error);
    if (name == "power-cut") return SetCount(name, value, node.powerCut, error);
    if (name == "bad-byte") return SetCount(name, value, node.badByte, error);
  }
  error = "unknown fault '" + fault + "'";
  return false;
}

bool ApplyField(const std::string& key, const std::string& value, NodeConfig& node, std::string& error) {
  uint32_t number = 0;
  if (key == "address") {
    if (!SetNumber(key, value, 0xFF, number, error)) return false;
    node.address = static_cast<uint8_t>(number);
  } else if (key == "program") {
    if (!SetNumber(key, value, 0xFFFF, number, error)) return false;
    node.program = static_cast<uint16_t>(number);
  } else if (key == "after") {
    if (!SetNumber(key, value, 0xFFFF, number, error)) return false;
    node.after = static_cast<uint16_t>(number);
  } else if (key == "boot") {
    if (value != "st10" && value != "atmel") {
      error = "boot: '" + value + "' is neither st10 nor atmel";
      return false;
    }
    node.boot = value == "st10" ? BootloaderKind::St10 : BootloaderKind::Atmel;
  } else if (key == "flash") {
    node.flash = InitialFlash::Read(value, error);
    return node.flash.has_value();
  } else if (key == "fault") {
    return ApplyFault(value, node, error);
  } else {
    error = "unknown field '" + key + "'";
    return false;
  }
  return true;
}

}  // namespace

std::optional<NodeConfig> NodeConfig::Parse(const std::string& text, std::string& error) {
  NodeConfig node;
  bool hasAddress = false;
  bool hasProgram = false;
  std::istringstream fields(text);
  std::string field;
  while (std::getline(fields, field, ',')) {
    const size_t equals = field.find('=');
    if (equals == std::string::npos) {
      error = "'" + field + "' is not key=value";
      return std::nullopt;
    }
    const std::string key = field.substr(0, equals);
    if (!ApplyField(key, field.substr(equals + 1), node, error)) return std::nullopt;
    hasAddress |= key == "address";
    hasProgram |= key == "program";
  }
  if (!hasAddress || !hasProgram) {
    error = "a node needs address= and program=";
    return std::nullopt;
  }
  if (node.flash && node.boot != BootloaderKind::Atmel) {
    error = "flash= needs boot=atmel";
    return std::nullopt;
  }
  return node;
}
