#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "FakeScreen.h"
#include "atmel/AtmelProgrammer.h"
#include "platform/Clock.h"

// An Atmel bootloader played through FakeScreen::onSend: it answers each
// command on its own identifier, keeps a 32 KB flash written by the data
// frames, and can be made slow or silent per command. Answers with a delay of
// 0 arrive before the send returns; later ones on the virtual clock.
class FakeAtmelNode {
 public:
  enum Command { kOpen, kRegisters, kErase, kBlank, kRange, kData, kVerify, kCommandCount };
  static constexpr int kSilent = -1;

  struct Frame {
    uint32_t at;  // virtual time of the send
    CanMessage message;
  };

  FakeAtmelNode(FakeScreen& screen, AtmelProgrammer& programmer, VirtualClock& clock);

  // Delay of the answer to each command, kSilent for none.
  std::array<int, kCommandCount> delayMs{};
  // Commands of a kind that go unanswered before the node answers again.
  std::array<int, kCommandCount> ignoreFirst{};
  // Data frames acknowledged before the node falls silent; -1 for all.
  int dataAcks = -1;
  // Whether the acknowledgement of the frame reaching the range's end says so.
  bool reportsDone = true;
  // Length of the blank-check answer; 0 means blank.
  uint8_t blankAnswerLength = 0;
  // data[1] of the answers to the first open frames, then 0x01.
  std::vector<uint8_t> openAnswers;

  std::array<uint8_t, 32768> flash{};
  std::vector<Frame> frames;

 private:
  void Receive(const CanMessage& message);
  void Answer(Command command, uint32_t identifier, std::initializer_list<uint8_t> data);
  void Answer(Command command, const CanMessage& answer);
  void WriteData(const CanMessage& message);

  AtmelProgrammer& programmer_;
  VirtualClock& clock_;
  std::array<int, kCommandCount> seen_{};
  uint32_t writeAddress_ = 0;
  uint32_t rangeLast_ = 0xFFFF;
  int acksGiven_ = 0;
};
