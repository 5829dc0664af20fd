#include "FakeAtmelNode.h"

#include <algorithm>

FakeAtmelNode::FakeAtmelNode(FakeScreen& screen, AtmelProgrammer& programmer, VirtualClock& clock)
    : programmer_(programmer), clock_(clock) {
  flash.fill(0xFF);
  screen.onSend = [this](const CanMessage& message) { Receive(message); };
}

void FakeAtmelNode::Receive(const CanMessage& message) {
  frames.push_back({clock_.TickCount(), message});
  const uint8_t* d = message.data;
  CanMessage answer{.identifier = message.identifier, .length = 1};
  switch (message.identifier) {
    case 0:
      answer.length = 2;
      answer.data[1] = seen_[kOpen] < openAnswers.size() ? openAnswers[seen_[kOpen]] : 0x01;
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
      answer.length = 8;
      std::copy_n(flash.begin() + ((d[1] << 8) | d[2]), 8, answer.data);
      return Answer(kVerify, answer);
    case 4:
      if (d[0] != 0x00) return;
      flash.fill(0xFF);
      return Answer(kErase, answer);
    case 5:
      answer.length = 2;
      return Answer(kRegisters, answer);
  }
}

void FakeAtmelNode::Answer(Command command, const CanMessage& answer) {
  if (seen_[command]++ < static_cast<size_t>(ignoreFirst[command]) || delayMs[command] == kSilent) return;
  if (answerOnThreads)
    answerThreads_.emplace_back([this, answer] { programmer_.OnReply(answer); });
  else if (delayMs[command] == 0)
    programmer_.OnReply(answer);
  else
    clock_.Schedule(static_cast<uint32_t>(delayMs[command]), [this, answer] { programmer_.OnReply(answer); });
}
