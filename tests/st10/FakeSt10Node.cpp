#include "FakeSt10Node.h"

#include "console/ReplyRouting.h"

namespace {
const char* const kCommands[] = {"<Start>", "<Erase>", "<Prog>", "<Reset>"};
}

FakeSt10Node::FakeSt10Node(FakeScreen& screen, VirtualClock& clock, St10Programmer& programmer)
    : clock_(clock), programmer_(programmer) {
  screen.onSend = [this](const CanMessage& message) { OnFrame(message); };
}

void FakeSt10Node::Answer(const Reply& reply) {
  const CanMessage message = FakeScreen::Received(kSt10ReplyIdentifier, reply.data);
  clock_.Schedule(reply.delayMs, [this, message] { programmer_.OnReply(message); });
}

std::vector<uint32_t> FakeSt10Node::TimesOf(const std::string& text) const {
  std::vector<uint32_t> times;
  for (const Frame& frame : frames)
    if (frame.text == text) times.push_back(frame.time);
  return times;
}

void FakeSt10Node::OnFrame(const CanMessage& message) {
  const std::string text(reinterpret_cast<const char*>(message.data), std::min<size_t>(message.length, 8));
  frames.push_back({clock_.TickCount(), text});
  for (const char* command : kCommands) {
    if (text != command) continue;
    for (const Reply& reply : commandReplies[text]) Answer(reply);
    return;
  }
  streamed += text;
  if (text.empty() || text.back() != '\n') return;
  ++lines;
  auto script = lineReplies.find(lines);
  for (const Reply& reply : script != lineReplies.end() ? script->second : lineReply) Answer(reply);
}
