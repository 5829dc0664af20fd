#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "HostLine.h"

// Plays the console's ST10 engine against one bench node at address 0x30:
// commands on 0x18EFF110 and the hex text cut as the console cuts it.
class St10Session {
 public:
  using Replies = std::vector<HostLine::Bytes>;

  // Starts a bench with the node and puts it in its bootloader.
  explicit St10Session(const std::string& nodeText, const std::string& dumpDir = "");

  void Send(const std::string& text) { host.SendCan(HostLine::kMarker | 0x18EFF110, {text.begin(), text.end()}); }
  // What arrived on 0x18EF10F1 since the last call.
  Replies TakeReplies();
  // CR removed, at most 8 characters per frame, never two lines in one frame.
  void Stream(const std::string& hexText);
  // "<Start>", "<Erase>", "<Prog>", the file; the replies to all of it.
  Replies Program(const std::string& hexText);

  HostLine host;
};

// ":LLAAAATT<data>CC" with a correct checksum.
std::string Record(uint8_t type, uint16_t offset, const HostLine::Bytes& data);
// The records as lines of a file, CR LF after each.
std::string Lines(const std::vector<std::string>& records);
BenchOptions NodeOptions(const std::string& nodeText, const std::string& dumpDir = "");
std::string FreshDir(const std::string& name);
HostLine::Bytes ReadFile(const std::string& path);
