#include "st10/St10Programmer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console/ProgramScreen.h"
#include "console/ProgramState.h"
#include "firmware/HexFileAccess.h"
#include "system/Clock.h"

namespace {

constexpr uint8_t kCarriageReturn = 0x0D;
constexpr uint8_t kLineFeed = 0x0A;
constexpr uint32_t kStartResendMs = 5000;
constexpr uint32_t kStartGiveUpMs = 10000;
constexpr uint32_t kEraseResendMs = 60000;
constexpr uint32_t kEraseGiveUpMs = 120000;
constexpr uint32_t kAckWaitMs = 51 * 100;
constexpr uint32_t kLineWaitMs = 2001;

// Reply codes (data[0]) and their qualifier (data[1]).
enum Reply : uint8_t {
  kAnnounce = 0xD0,
  kStartAck = 0xD1,
  kEraseAck = 0xD2,
  kProgAck = 0xD3,
  kLineAck = 0xD4,
  kFinished = 0xD5,
  kResetAck = 0xD6,
};
constexpr uint8_t kSet = 0x01;
constexpr uint8_t kClear = 0x02;

CanMessage CommandFrame(const char* command) {
  CanMessage frame;
  frame.identifier = St10Programmer::kCommandIdentifier;
  frame.length = static_cast<uint8_t>(std::min<size_t>(std::strlen(command), sizeof frame.data));
  std::memcpy(frame.data, command, frame.length);
  return frame;
}

// The bootloader writes a line number as two bytes whose "%X" texts are
// joined and read as one hexadecimal number (0x01 0x2C is line 300).
unsigned LineNumber(uint8_t high, uint8_t low) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%X%X", high, low);
  return static_cast<unsigned>(std::strtoul(digits, nullptr, 16));
}

struct PlainError {
  uint8_t code;
  uint8_t qualifier;
  const char* text;
};
constexpr PlainError kPlainErrors[] = {
    {0x00, 0x08, "Board Not Erased"},         {0x00, 0x01, "Old Board Number"},
    {0x00, 0x02, "Wrong Board Number"},       {0x00, 0x04, "Wrong Config Error"},
    {0x01, 0x00, "Old Field Assembly Error"}, {0x02, 0x00, "Wrong Field Assembly Error"},
};

// Writes the operator's text for an error report into text: the raw frame
// unless the code is one the bootloader documents.
void ComposeErrorText(const CanMessage& reply, char* text, size_t size) {
  const uint8_t* d = reply.data;
  if (d[0] == 0x00 && d[1] == 0x20) {
    std::snprintf(text, size, "Readback Error Line: %u", LineNumber(d[3], d[4]));
  } else if (d[0] == 0x00 && d[1] == 0x40) {
    std::snprintf(text, size, "Checksum Error Line: %u", LineNumber(d[2], d[3]));
  } else if (d[0] == 0x00 && d[1] == 0x80) {
    // Only a longer report carries the address's upper word.
    if (reply.length > 4)
      std::snprintf(text, size, "Invalid Address Error: 0x%X%X%X%X", d[4], d[5], d[2], d[3]);
    else
      std::snprintf(text, size, "Invalid Address Error: 0x%X%X", d[2], d[3]);
  } else {
    std::snprintf(text, size, "Unknown Error, CAN Message: ID = %u, Length = %u, Data = %u %u %u %u %u %u %u %u",
                  static_cast<unsigned>(reply.identifier), reply.length, d[0], d[1], d[2], d[3], d[4], d[5], d[6],
                  d[7]);
    for (const PlainError& known : kPlainErrors)
      if (d[0] == known.code && d[1] == known.qualifier) std::snprintf(text, size, "%s", known.text);
  }
}

void SetOrClear(std::atomic<bool>& flag, uint8_t qualifier) {
  if (qualifier == kSet) flag.store(true);
  if (qualifier == kClear) flag.store(false);
}

}  // namespace

bool St10Programmer::Program(const std::string& fileName, bool confirmSuccess) {
  ProgramScreen& screen = *TheScreen();
  for (;;) {
    screen.SetProgressVisible(true);
    screen.SetProgress(0);
    if (!AccessFile(fileName) || !LoadFile()) {
      SendReset();
      return false;
    }
    ShowTimeLeft(false, 0);
    if (WriteFile()) {
      SendReset();
      if (confirmSuccess)
        screen.ShowMessage("Programming Complete",
                           "Press OK to program another node.  When finished, press Exit and remove USB drive.");
      return true;
    }
    // The node is still in its bootloader, so a retry starts again at the file.
    if (!screen.AskYesNo("ERROR!!!",
                         "An error occurred during programming, check your CAN connections. \n"
                         "Would you like to try again?")) {
      SendReset();
      screen.ShowMessage("Warning",
                         "Programming was not successful, node may not be usable. Contact Alder for support.");
      return false;
    }
    ResetState();
  }
}

void St10Programmer::OnReply(CanMessage message) {
  Record(message);
  answered_.Notify();
}

void St10Programmer::Record(const CanMessage& message) {
  const uint8_t qualifier = message.data[1];
  switch (message.data[0]) {
    case kAnnounce:
      if (qualifier == kSet) {
        BootloaderAnnounced.store(true);
        BootloaderType.store(kSt10Bootloader);
      }
      return;
    case kStartAck:
      SetOrClear(startFlag_, qualifier);
      return;
    case kEraseAck:
      SetOrClear(eraseFlag_, qualifier);
      return;
    case kProgAck:
      programFlag_.store(true);
      return;
    case kLineAck:
      if (qualifier == kSet) lineFlag_.store(true);
      return;
    case kFinished:
      if (qualifier == kSet) {
        finishedFlag_.store(true);
        lineFlag_.store(true);
      }
      return;
    case kResetAck:
      resetFlag_.store(true);
      return;
    default: {
      char text[sizeof errorText_];
      ComposeErrorText(message, text, sizeof text);
      RaiseError(text);
    }
  }
}

void St10Programmer::ResetState() {
  for (std::atomic<bool>* flag : {&startFlag_, &eraseFlag_, &programFlag_, &resetFlag_, &finishedFlag_, &lineFlag_})
    flag->store(false);
  // A report still being composed counts as one that arrived after the reset.
  uint8_t raised = kRaised;
  errorState_.compare_exchange_strong(raised, kNoError, std::memory_order_acq_rel);
}

bool St10Programmer::AccessFile(const std::string& fileName) {
  WriteLog("Accessing File");
  fileName_ = fileName;
  return AccessHexFile(fileName_);
}

// A file that vanished since the access check (drive pulled) ends the run
// like one that never opened.
bool St10Programmer::LoadFile() {
  WriteLog("Loading File");
  if (LoadHexFile(fileName_, fileCopy_)) {
    fileBytes_ = fileCopy_.size();
    return true;
  }
  TheScreen()->ShowMessage("ERROR!!!", "Cannot open selected hex file.");
  return false;
}

void St10Programmer::AskForBootloader() {
  startFlag_ = false;  // only an answer to this question counts
  CanMessage frame = CommandFrame("<Start>");
  SendCan(frame, false, frame.length);
}

bool St10Programmer::BootloaderAnswered() const { return startFlag_ || BootloaderAnnounced; }

bool St10Programmer::SendStart() {
  return SendAndResend("Opening Port", "<Start>", startFlag_, kStartResendMs, kStartGiveUpMs);
}

bool St10Programmer::SendErase() {
  return SendAndResend("Erasing... Please Wait", "<Erase>", eraseFlag_, kEraseResendMs, kEraseGiveUpMs);
}

bool St10Programmer::SendProg() { return SendAndAwait("Programming", "<Prog>", programFlag_); }

bool St10Programmer::SendReset() { return SendAndAwait("Resetting", "<Reset>", resetFlag_); }

bool St10Programmer::WriteFile() {
  const uint32_t starting = TickCount();
  if (!SendStart() || !SendErase() || !SendProg()) return false;
  commandsMs_ = TickCount() - starting;
  return StreamFile();
}

bool St10Programmer::StreamFile() {
  WriteLog("Programming...");
  const uint32_t begun = TickCount();
  CanMessage frame;
  frame.identifier = kCommandIdentifier;
  uint8_t fill = 0;
  int lineCount = 0;
  int progress = 0;
  const size_t progressStep = std::max<size_t>(fileCopy_.size() / 100, 1);
  bool result = true;
  for (size_t i = 0; i < fileCopy_.size(); ++i) {
    const uint8_t c = fileCopy_[i];
    if (c == ':') ++lineCount;
    if (i % progressStep == 0) {
      TheScreen()->SetProgress(progress++);
      TrackPace(begun, i);
    }
    if (c != kCarriageReturn) frame.data[fill++] = c;
    if (fill == sizeof frame.data) {
      // A full frame goes out without waiting, even when it ends a line.
      SendCan(frame, false, fill);
      fill = 0;
      Sleep(0);
    } else if (c == kLineFeed) {
      std::fill(frame.data + fill, std::end(frame.data), 0);
      SendCan(frame, false, fill);
      fill = 0;
      if (!lineFlag_.load()) AwaitLineAccepted(lineCount);
    }
    lineFlag_.store(false);
    if (ErrorRaised()) {
      TheScreen()->ShowMessage("ERROR!!!", errorText_);
      result = false;
      break;
    }
    if (finishedFlag_.load()) break;
  }
  fileCopy_ = {};
  return result;
}

void St10Programmer::TrackPace(uint32_t begun, size_t streamed) {
  if (streamed > 0) byteMs_ = static_cast<double>(TickCount() - begun) / streamed;
  ShowTimeLeft(true, streamed);
}

void St10Programmer::ShowTimeLeft(bool streaming, size_t streamed) {
  TheScreen()->ShowTimeLeft(MsLeft(streaming, streamed), MsLeft(false, 0));
}

// The commands' answers as long as they took last, and each byte of text
// still to go at the pace the node accepts its lines.
uint32_t St10Programmer::MsLeft(bool streaming, size_t streamed) const {
  const size_t left = fileBytes_ - std::min(streamed, fileBytes_);
  return static_cast<uint32_t>(left * byteMs_) + (streaming ? 0 : commandsMs_);
}

std::string St10Programmer::ErrorText() const { return ErrorRaised() ? errorText_ : ""; }

// The frame goes out again each resendMs without an answer, the last time at
// giveUpMs; a failed send ends the wait at once.
bool St10Programmer::SendAndResend(const char* status, const char* command, const std::atomic<bool>& flag,
                                   uint32_t resendMs, uint32_t giveUpMs) {
  WriteLog(status);
  CanMessage frame = CommandFrame(command);
  bool sent = SendCan(frame, false, frame.length);
  for (uint32_t elapsed = 0; sent && !Await(flag, resendMs);) {
    elapsed += resendMs;
    sent = SendCan(frame, false, frame.length) && elapsed < giveUpMs;
  }
  return flag.load();
}

bool St10Programmer::SendAndAwait(const char* status, const char* command, const std::atomic<bool>& flag) {
  WriteLog(status);
  CanMessage frame = CommandFrame(command);
  SendCan(frame, false, frame.length);
  return Await(flag, kAckWaitMs);
}

bool St10Programmer::Await(const std::atomic<bool>& flag, uint32_t limitMs) {
  return answered_.WaitFor([&flag] { return flag.load(); }, limitMs);
}

// Until the node accepts the line or reports an error; silence is an error too.
void St10Programmer::AwaitLineAccepted(int lineCount) {
  if (answered_.WaitFor([this] { return lineFlag_.load() || ErrorRaised(); }, kLineWaitMs)) return;
  char text[sizeof errorText_];
  std::snprintf(text, sizeof text, "Node timeout: line count = %d", lineCount);
  RaiseError(text);
}

bool St10Programmer::ErrorRaised() const { return errorState_.load(std::memory_order_acquire) == kRaised; }

void St10Programmer::RaiseError(const char* text) {
  uint8_t none = kNoError;
  if (!errorState_.compare_exchange_strong(none, kComposing, std::memory_order_acquire)) return;
  std::snprintf(errorText_, sizeof errorText_, "%s", text);
  errorState_.store(kRaised, std::memory_order_release);
}
