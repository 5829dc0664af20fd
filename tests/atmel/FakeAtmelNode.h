#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "FakeScreen.h"
#include "atmel/AtmelProgrammer.h"
#include "system/Clock.h"

// An Atmel bootloader played through FakeScreen::onSend: it answers each
// command on its own identifier, keeps a 32 KB flash written by the data
// frames, and can be made slow per command. Answers with a delay of
// 0 arrive before the send returns, later ones on the virtual clock. Replies
// end where the gateway cuts them: at the last byte that is not 0xFF.
class FakeAtmelNode {
 public:
  enum Command { kOpen, kRegisters, kErase, kBlank, kRange, kData, kVerify, kCommandCount };

  FakeAtmelNode(FakeScreen& screen, AtmelProgrammer& programmer, VirtualClock& clock);

  std::array<int, kCommandCount> delayMs{};
  bool reportsDone = true;        // the frame reaching the range's end is acknowledged with 0x00
  uint8_t blankAnswerLength = 0;  // 0 means blank
  std::map<uint16_t, uint8_t> misreadOnce;  // bytes the first display of their address shows instead
  // By window: how its next displays are answered: 1 once (also once these run out), 2 twice, the second 1 ms
  // after the first, 0 only after the engine stopped waiting.
  std::map<uint16_t, std::deque<int>> displayAnswers;

  std::array<uint8_t, kNodeMemorySize> flash{};
  std::vector<CanMessage> frames;  // as sent

 private:
  void Receive(const CanMessage& message);
  void Answer(Command command, const CanMessage& answer);
  CanMessage Display(uint16_t first);
  void AnswerDisplay(uint16_t first);

  AtmelProgrammer& programmer_;
  VirtualClock& clock_;
  uint32_t writeAddress_ = 0;
  uint32_t rangeLast_ = 0xFFFF;
};
