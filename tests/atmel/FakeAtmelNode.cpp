#include "FakeAtmelNode.h"

FakeAtmelNode::FakeAtmelNode(FakeScreen& screen, AtmelProgrammer& programmer, VirtualClock& clock)
    : programmer_(programmer), clock_(clock) {
  flash.fill(0xFF);
  screen.onSend = [this](const CanMessage& message) { Receive(message); };
}

void FakeAtmelNode::Receive(const CanMessage& message) {
  frames.push_back(message);
  const uint8_t* d = message.data;
  CanMessage answer{.identifier = message.identifier, .length = 1};
  switch (message.identifier) {
    case 0:
      answer.length = 2;
      answer.data[1] = 0x01;
      return Answer(kOpen, answer);
    case 1:
      writeAddress_ = (d[1] << 8) | d[2];
      rangeLast_ = (d[3] << 8) | d[4];
      return Answer(kRange, answer);
    case 2:
      for (uint8_t i = 0; i < message.length && writeAddress_ < flash.size(); ++i) flash[writeAddress_++] = d[i];
      answer.data[0] = reportsDone && writeAddress_ > rangeLast_ ? 0x00 : 0x01;
      return Answer(kData, answer);
    case 3:
      if (d[0] == 0x01) {
        answer.length = blankAnswerLength;
        return Answer(kBlank, answer);
      }
      return AnswerDisplay(static_cast<uint16_t>((d[1] << 8) | d[2]));
    case 4:
      if (d[0] != 0x00) return;
      flash.fill(0xFF);
      return Answer(kErase, answer);
    case 5:
      answer.length = 2;
      return Answer(kRegisters, answer);
  }
}

CanMessage FakeAtmelNode::Display(uint16_t first) {
  CanMessage answer{.identifier = 3};
  for (uint8_t i = 0; i < 8; ++i) {
    answer.data[i] = flash[first + i];
    if (const auto misread = misreadOnce.find(static_cast<uint16_t>(first + i)); misread != misreadOnce.end()) {
      answer.data[i] = misread->second;
      misreadOnce.erase(misread);
    }
    if (answer.data[i] != 0xFF) answer.length = i + 1;
  }
  return answer;
}

void FakeAtmelNode::AnswerDisplay(uint16_t first) {
  const CanMessage shown = Display(first);
  const int answers = NextOf(displayAnswers[first], 1);
  if (answers == 1 || answers == 2) Answer(kVerify, shown);
  const uint32_t lateMs = answers == 0 ? MemoryReadOut::kWindowWaitMs + 1 : delayMs[kVerify] + 1u;
  if (answers != 1) clock_.Schedule(lateMs, [this, shown] { programmer_.OnReply(shown); });
}

void FakeAtmelNode::Answer(Command command, const CanMessage& answer) {
  if (delayMs[command] == 0) {
    programmer_.OnReply(answer);
  } else {
    clock_.Schedule(static_cast<uint32_t>(delayMs[command]), [this, answer] { programmer_.OnReply(answer); });
  }
}
