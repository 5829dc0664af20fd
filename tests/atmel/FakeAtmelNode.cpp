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
  switch (message.identifier) {
    case 0: {
      uint8_t state = seen_[kOpen] < static_cast<int>(openAnswers.size()) ? openAnswers[seen_[kOpen]] : 0x01;
      Answer(kOpen, 0, {0x00, state});
      break;
    }
    case 1:
      writeAddress_ = (d[1] << 8) | d[2];
      rangeLast_ = (d[3] << 8) | d[4];
      Answer(kRange, 1, {0x00});
      break;
    case 2:
      WriteData(message);
      break;
    case 3:
      if (d[0] == 0x01) {
        CanMessage answer{.identifier = 3, .length = blankAnswerLength};
        Answer(kBlank, answer);
      } else {
        CanMessage answer{.identifier = 3, .length = 8};
        std::copy_n(flash.begin() + ((d[1] << 8) | d[2]), 8, answer.data);
        Answer(kVerify, answer);
      }
      break;
    case 4:
      if (d[0] == 0x00) {
        flash.fill(0xFF);
        Answer(kErase, 4, {0x00});
      }
      break;
    case 5:
      Answer(kRegisters, 5, {0x00, 0x00});
      break;
  }
}

// The node acknowledges each data frame and reports 0x00 in the
// acknowledgement of the frame that reaches the end of the announced range.
void FakeAtmelNode::WriteData(const CanMessage& message) {
  for (uint8_t i = 0; i < message.length && writeAddress_ < flash.size(); ++i) flash[writeAddress_++] = message.data[i];
  if (dataAcks >= 0 && acksGiven_ >= dataAcks) return;
  ++acksGiven_;
  Answer(kData, 2, {static_cast<uint8_t>(reportsDone && writeAddress_ > rangeLast_ ? 0x00 : 0x01)});
}

void FakeAtmelNode::Answer(Command command, uint32_t identifier, std::initializer_list<uint8_t> data) {
  CanMessage answer{.identifier = identifier, .length = static_cast<uint8_t>(data.size())};
  std::copy(data.begin(), data.end(), answer.data);
  Answer(command, answer);
}

void FakeAtmelNode::Answer(Command command, const CanMessage& answer) {
  if (seen_[command]++ < ignoreFirst[command] || delayMs[command] == kSilent) return;
  if (delayMs[command] == 0)
    programmer_.OnReply(answer);
  else
    clock_.Schedule(static_cast<uint32_t>(delayMs[command]), [this, answer] { programmer_.OnReply(answer); });
}
