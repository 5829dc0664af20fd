// Any sequence of received frames (identifier, length 0 to 8, eight data
// bytes) through the ST10 engine's reply decoder: the error text it composes
// must stay a short, complete operator text, and an error report must raise
// one. Each frame is 13 input bytes: identifier (big-endian), length, data.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "st10/St10Programmer.h"

namespace {

constexpr size_t kFrameBytes = 13;
constexpr size_t kLongestText = 100;  // the unknown-error text with every number at its widest stays below

bool IsErrorReport(const CanMessage& message) {
  return message.data[0] < 0xD0 || message.data[0] > 0xD6;
}

CanMessage FrameAt(const uint8_t* bytes) {
  CanMessage message;
  message.identifier = static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
                       static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
  message.length = bytes[4] % 9;
  for (size_t i = 0; i < 8; ++i) message.data[i] = bytes[5 + i];
  return message;
}

void Check(bool condition, const char* what, const std::string& text) {
  if (condition) return;
  std::fprintf(stderr, "%s: \"%s\"\n", what, text.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static St10Programmer engine;
  engine.ResetState();
  std::string first;
  for (size_t at = 0; at + kFrameBytes <= size; at += kFrameBytes) {
    const CanMessage message = FrameAt(data + at);
    engine.OnReply(message);
    const std::string text = engine.ErrorText();
    Check(text.size() < kLongestText, "error text too long", text);
    for (char c : text) Check(c >= ' ' && c <= '~', "error text not printable", text);
    if (IsErrorReport(message)) Check(!text.empty(), "error report without text", text);
    if (!first.empty()) Check(text == first, "a later report replaced the first", text);
    first = text;
  }
  return 0;
}
