#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "FakeScreen.h"
#include "system/Clock.h"
#include "st10/St10Programmer.h"

// A scripted ST10 bootloader behind the fake screen. It sees every frame the
// engine queues, records it with the virtual time, and answers through the
// virtual clock, so its replies arrive while the engine waits.
class FakeSt10Node {
 public:
  struct Reply {
    uint32_t delayMs;
    std::vector<uint8_t> data;
  };
  struct Frame {
    uint32_t time;
    std::string text;  // the frame's first length data bytes
  };

  FakeSt10Node(FakeScreen& screen, VirtualClock& clock, St10Programmer& programmer);

  // Times at which the given text went out.
  std::vector<uint32_t> TimesOf(const std::string& text) const;

  // Answers to each command; a command without an entry is never answered.
  std::map<std::string, std::vector<Reply>> commandReplies{
      {"<Start>", {{0, {0xD1, 0x01}}}},
      {"<Erase>", {{0, {0xD2, 0x01}}}},
      {"<Prog>", {{0, {0xD3, 0x01}}}},
      {"<Reset>", {{0, {0xD6, 0x01}}}},
  };
  // Answers to the streamed lines, by line number from 1; lines not listed
  // get lineReply.
  std::map<int, std::vector<Reply>> lineReplies;
  std::vector<Reply> lineReply{{0, {0xD4, 0x01}}};

  std::vector<Frame> frames;
  std::string streamed;  // the text of every non-command frame
  int lines = 0;

 private:
  void OnFrame(const CanMessage& message);
  void Answer(const Reply& reply);

  VirtualClock& clock_;
  St10Programmer& programmer_;
};
