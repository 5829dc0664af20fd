#include "St10Session.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

BenchOptions NodeOptions(const std::string& nodeText, const std::string& dumpDir) {
  BenchOptions options;
  std::string error;
  options.nodes.push_back(*NodeConfig::Parse(nodeText, error));
  options.dumpDir = dumpDir;
  return options;
}

std::string FreshDir(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / ("canbench-" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

HostLine::Bytes ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string Record(uint8_t type, uint16_t offset, const HostLine::Bytes& data) {
  HostLine::Bytes bytes = {uint8_t(data.size()), uint8_t(offset >> 8), uint8_t(offset), type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  uint8_t sum = 0;
  for (uint8_t byte : bytes) sum = static_cast<uint8_t>(sum - byte);
  bytes.push_back(sum);
  std::string text = ":";
  char hex[3];
  for (uint8_t byte : bytes) {
    std::snprintf(hex, sizeof hex, "%02X", byte);
    text += hex;
  }
  return text;
}

std::string Lines(const std::vector<std::string>& records) {
  std::string text;
  for (const std::string& record : records) text += record + "\r\n";
  return text;
}

St10Session::St10Session(const std::string& nodeText, const std::string& dumpDir)
    : host(NodeOptions(nodeText, dumpDir)) {
  host.OpenChannel();
  host.SendCan(0x18EF3010, {0xF1});
  host.AdvanceMs(Node::kBootMs);
  TakeReplies();
}

St10Session::Replies St10Session::TakeReplies() {
  Replies replies;
  for (const CanMessage& frame : host.TakeCanFrames()) {
    if (frame.identifier == 0x18EF10F1) replies.push_back(DataOf(frame));
  }
  return replies;
}

void St10Session::Stream(const std::string& hexText) {
  std::string chunk;
  for (char c : hexText) {
    if (c == '\r') continue;
    chunk += c;
    if (chunk.size() == 8 || c == '\n') {
      Send(chunk);
      chunk.clear();
    }
  }
}

St10Session::Replies St10Session::Program(const std::string& hexText) {
  Send("<Start>");
  Send("<Erase>");
  Send("<Prog>");
  Stream(hexText);
  return TakeReplies();
}
