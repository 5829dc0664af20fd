#include "atmel/AtmelProgrammer.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "console/ProgramScreen.h"
#include "console/ProgramState.h"
#include "firmware/HexFileAccess.h"
#include "system/Clock.h"

namespace {

// The bootloader's identifiers, one per command family.
enum Identifier : uint32_t {
  kPortId = 0,
  kRangeId = 1,
  kDataId = 2,
  kCheckId = MemoryReadOut::kDisplayId,
  kMemoryId = 4,
  kRegistersId = 5,
};

constexpr uint8_t kFrameBytes = 8;
constexpr uint32_t kDataAckWaitMs = 1001 * 5;
constexpr uint32_t kCommandSleepMs = 100;
constexpr uint32_t kDataPauseMs = 10;
constexpr uint32_t kResetPauseMs = 2000;

void Send(uint32_t identifier, std::initializer_list<uint8_t> data) {
  CanMessage message;
  message.identifier = identifier;
  std::copy(data.begin(), data.end(), message.data);
  SendCan(message, false, static_cast<uint8_t>(data.size()));
}

void ShowBox(const char* title, const char* text) {
  if (ProgramScreen* screen = TheScreen()) screen->ShowMessage(title, text);
}

void ShowError(const char* text) { ShowBox("ERROR!!!", text); }

// Moves the progress bar about a hundred times over one pass of frames; a
// small image still moves it once per frame. Each pass starts from an empty
// bar, not from where the pass before it ended.
class ProgressSteps {
 public:
  explicit ProgressSteps(uint32_t frames) : step_(std::max<uint32_t>(frames / 100, 1)) {
    if (ProgramScreen* screen = TheScreen()) screen->SetProgress(0);
  }
  // True when the bar moved.
  bool Count(uint32_t framesDone) {
    if (framesDone % step_ != 0) return false;
    if (ProgramScreen* screen = TheScreen()) screen->SetProgress(value_);
    ++value_;
    return true;
  }

 private:
  uint32_t step_;
  int value_ = 0;
};

}  // namespace

AtmelProgrammer::Result AtmelProgrammer::Program(const std::string& fileName, bool openPort, bool confirmSuccess,
                                                 ProgramKeeper* keeper) {
  for (;;) {
    const Result result = Attempt(fileName, openPort, keeper);
    if (result != Result::kFailed) return Conclude(result, confirmSuccess);
    ProgramScreen* screen = TheScreen();
    if (!screen || !screen->AskYesNo("ERROR!!!",
                                     "An error occurred during programming, check all your connections to node. \n"
                                     "Would you like to try again?")) {
      ResetNode();
      ShowBox("Warning", "Programming was not successful, node may not be usable. Contact Alder for support.");
      return Result::kFailed;
    }
    // The retry parses the file again into an erased image; the node's port is open already.
    ResetState();
    openPort = false;
  }
}

AtmelProgrammer::Result AtmelProgrammer::Conclude(Result result, bool confirmSuccess) {
  if (result == Result::kAlreadyRuns) WriteLog("The node already runs this file: nothing was erased or written.");
  ResetNode();
  if (!confirmSuccess || result == Result::kUntouched) return result;
  ShowBox("Programming Complete",
          result == Result::kAlreadyRuns
              ? "The node already runs this file, so nothing was erased or written. Press OK to program another "
                "node.  When finished, press Exit and remove USB drive."
              : "Press OK to program another node.  When finished, press Exit and remove USB drive.");
  return result;
}

// A file that cannot be read still lets the open and register frames go out,
// but nothing is erased: the node is only reset.
AtmelProgrammer::Result AtmelProgrammer::Attempt(const std::string& fileName, bool openPort, ProgramKeeper* keeper) {
  if (ProgramScreen* screen = TheScreen()) {
    screen->SetProgressVisible(true);
    screen->SetProgress(0);
  }
  readsMemory_ = openPort && keeper;
  bool ok = AccessFile(fileName);
  ok = ReadHexFile() && ok;
  ShowTimeLeft(openPort ? Stage::kOpening : Stage::kErasing);
  if (openPort) {
    ok = OpenPort() && ok;
    if (!ReadRegisters()) return Result::kUntouched;
  }
  if (!ok) return Result::kUntouched;
  if (readsMemory_) {
    if (const Result settled = SettleOldProgram(*keeper); settled != Result::kProgrammed) return settled;
  }
  const uint32_t erasing = TickCount();
  if (!EraseMemory() || !BlankCheck() || !SetAddressRange()) return Result::kFailed;
  commandsMs_ = TickCount() - erasing;
  return ProgramMemory() && VerifyMemory() ? Result::kProgrammed : Result::kFailed;
}

// A full update leaves the file's image with 0xFF beyond its end, so a node
// that holds exactly that needs nothing done.
AtmelProgrammer::Result AtmelProgrammer::SettleOldProgram(ProgramKeeper& keeper) {
  if (!ReadMemory()) return keeper.GoOnUnread() ? Result::kProgrammed : Result::kUntouched;
  if (memory_.SameBytes(image_)) return Result::kAlreadyRuns;
  return keeper.Keep(memory_) ? Result::kProgrammed : Result::kUntouched;
}

void AtmelProgrammer::OnReply(CanMessage message) {
  Record(message);
  answered_.Notify();
}

void AtmelProgrammer::Record(const CanMessage& message) {
  switch (message.identifier) {
    case kPortId:
      if (message.data[1] == 0x01) {
        portFlag_ = 1;
        BootloaderType = kAtmelBootloader;
      } else if (message.data[1] == 0x00) {
        portFlag_ = 0;
      }
      break;
    case kRangeId:
      rangeFlag_ = 1;
      break;
    case kDataId:
      // Done before ready: whoever sees the acknowledgement also sees the end.
      if (message.data[0] == 0x00) doneFlag_ = 1;
      readyFlag_ = 1;
      break;
    case kCheckId:
      readOut_.OnReply(message);
      if (message.length == 0) blankFlag_ = 1;
      break;
    case kMemoryId:
      if (message.data[0] == 0x00) eraseFlag_ = 1;
      break;
    case kRegistersId:
      registersFlag_ = 1;
      break;
    default:
      break;
  }
}

void AtmelProgrammer::ResetState() {
  portFlag_ = 0;
  eraseFlag_ = 0;
  blankFlag_ = 0;
  rangeFlag_ = 0;
  registersFlag_ = 0;
  doneFlag_ = 0;
  readyFlag_ = 0;
  image_.Erase();
}

bool AtmelProgrammer::AccessFile(const std::string& fileName) {
  fileName_ = fileName;
  return AccessHexFile(fileName_);
}

bool AtmelProgrammer::ReadHexFile() { return image_.Read(fileName_); }

// A port already open (as the detection reply leaves it) gets the open frame
// at once; a reply that closes it gets a second one 100 ms later.
bool AtmelProgrammer::OpenPort() {
  WriteLog("Opening Port");
  if (portFlag_) Send(kPortId, {0xFF});
  Sleep(kCommandSleepMs);
  if (!portFlag_) Send(kPortId, {0xFF});
  Sleep(kCommandSleepMs);
  if (portFlag_) return true;
  ShowError("Failed at OpenPort().");
  return false;
}

bool AtmelProgrammer::FindBootloader() {
  WriteLog("Looking for an Atmel bootloader");
  AskForBootloader();
  return answered_.WaitFor([this] { return portFlag_ != 0; }, 2 * kCommandSleepMs);
}

void AtmelProgrammer::AskForBootloader() {
  portFlag_ = 0;  // only an answer to this question counts
  Send(kPortId, {0xFF});
}

bool AtmelProgrammer::ReadRegisters() {
  WriteLog("Reading Registers");
  Send(kRegistersId, {0x00, 0x00});
  Sleep(kCommandSleepMs);
  if (registersFlag_) return true;
  ShowError("Failed at ReadRegisters().");
  return false;
}

bool AtmelProgrammer::ReadMemory() {
  WriteLog("Reading Memory");
  ProgressSteps progress(MemoryReadOut::kWindows);
  const uint32_t begun = TickCount();
  memory_.Erase();
  return readOut_.ReadAll(memory_, [&](uint32_t windows) {
    if (progress.Count(windows)) TrackPace(Stage::kReading, begun, windows - 1);
  });
}

bool AtmelProgrammer::EraseMemory() {
  return CommandStep("Erasing", kMemoryId, {0x00, 0xFF}, eraseFlag_, 601, "Failed at EraseMemory().");
}

bool AtmelProgrammer::BlankCheck() {
  return CommandStep("Blank Check", kCheckId, {0x01, 0x00, 0x00, 0x7F, 0xFF}, blankFlag_, 201,
                     "Failed at BlankCheck().");
}

// The range ends at image end - 1 in 16 bits, so an empty image announces 0x0000 to 0xFFFF.
bool AtmelProgrammer::SetAddressRange() {
  const uint16_t last = static_cast<uint16_t>(image_.End() - 1);
  return CommandStep("Set Address", kRangeId,
                     {0x00, 0x00, 0x00, static_cast<uint8_t>(last >> 8), static_cast<uint8_t>(last & 0xFF)},
                     rangeFlag_, 201, "Failed at SetAddressRange().");
}

bool AtmelProgrammer::CommandStep(const char* status, uint32_t identifier, std::initializer_list<uint8_t> data,
                                  std::atomic<uint32_t>& flag, int maxSleeps, const char* failure) {
  WriteLog(status);
  flag = 0;  // only an answer to this command counts: a late display reply of erased bytes looks blank
  Send(identifier, data);
  if (answered_.WaitFor([&flag] { return flag != 0; }, maxSleeps * kCommandSleepMs)) return true;
  ShowError(failure);
  return false;
}

// The node ends programming with a data acknowledgement whose first byte is 0.
// Without a partial last frame the done flag is not cleared, so a done reply to
// the last whole frame ends the wait at once.
bool AtmelProgrammer::ProgramMemory() {
  WriteLog("Programming");
  const uint32_t frames = image_.End() / kFrameBytes;
  ProgressSteps progress(frames);
  const uint32_t begun = TickCount();
  readyFlag_ = 1;
  for (uint32_t k = 0; k < frames; ++k) {
    if (progress.Count(k + 1)) TrackPace(Stage::kWriting, begun, k);
    if (!AwaitReady()) return false;
    readyFlag_ = 0;
    SendDataFrame(static_cast<uint16_t>(k * kFrameBytes), kFrameBytes);
    Sleep(kDataPauseMs);
  }
  if (!answered_.WaitFor([this] { return readyFlag_ != 0 || doneFlag_ != 0; }, kDataAckWaitMs)) return false;
  if (const uint8_t rest = image_.End() % kFrameBytes; rest != 0) {
    doneFlag_ = 0;
    SendDataFrame(static_cast<uint16_t>(frames * kFrameBytes), rest);
  }
  if (!answered_.WaitFor([this] { return doneFlag_ != 0; }, kDataAckWaitMs)) return false;
  eraseFlag_ = 0;
  Send(kMemoryId, {0x01, 0x00, 0x00});
  Sleep(kCommandSleepMs);
  return true;
}

// Each display reply must hold its window's eight image bytes.
bool AtmelProgrammer::VerifyMemory() {
  WriteLog("Verifying");
  const uint32_t windows = (image_.End() + kFrameBytes - 1) / kFrameBytes;
  ProgressSteps progress(windows);
  const uint32_t begun = TickCount();
  for (uint32_t window = 0; window < windows; ++window) {
    if (progress.Count(window + 1)) TrackPace(Stage::kVerifying, begun, window);
    if (!WindowMatches(static_cast<uint16_t>(window * kFrameBytes))) return false;
  }
  return true;
}

// A missing reply fails without a box of its own; a differing byte names its
// address. Only a display reply counts: a late data acknowledgement (a copy
// after a spoiled frame, say) holds no window.
bool AtmelProgrammer::WindowMatches(uint16_t first) {
  const MemoryReadOut::Reply reply = readOut_.Exchange(first);
  if (!reply.answered) return false;
  const std::optional<uint16_t> differs = image_.FirstDifference(first, reply.bytes);
  if (!differs) return true;
  char text[48];
  std::snprintf(text, sizeof text, "Verify failed at address 0x%04X.", *differs);
  ShowError(text);
  return false;
}

bool AtmelProgrammer::AwaitReady() {
  return answered_.WaitFor([this] { return readyFlag_ != 0; }, kDataAckWaitMs);
}

void AtmelProgrammer::ResetNode() {
  ShowTimeLeft(Stage::kResetting);
  WriteLog("Resetting");
  Sleep(kResetPauseMs);
  Send(kMemoryId, {0x03, 0x00});
}

void AtmelProgrammer::TrackPace(Stage stage, uint32_t begun, uint32_t done) {
  // Reading and verifying exchange the same display windows.
  if (done > 0) (stage == Stage::kWriting ? frameMs_ : windowMs_) = static_cast<double>(TickCount() - begun) / done;
  ShowTimeLeft(stage, done);
}

void AtmelProgrammer::ShowTimeLeft(Stage stage, uint32_t done) {
  if (ProgramScreen* screen = TheScreen()) screen->ShowTimeLeft(MsFrom(stage, done), MsFrom(Stage::kOpening, 0));
}

// The pauses the protocol fixes, the commands' answers as long as they took
// last, and each frame and window still to go at the pace the line showed.
uint32_t AtmelProgrammer::MsFrom(Stage stage, uint32_t done) const {
  const uint32_t units = (image_.End() + kFrameBytes - 1) / kFrameBytes;
  const auto left = [&](Stage pass) { return units - (stage == pass ? std::min(done, units) : 0); };
  double ms = kResetPauseMs;
  if (stage <= Stage::kVerifying) ms += left(Stage::kVerifying) * windowMs_;
  if (stage <= Stage::kWriting) ms += left(Stage::kWriting) * frameMs_ + kCommandSleepMs;
  if (stage <= Stage::kErasing) ms += commandsMs_;
  if (stage <= Stage::kReading && readsMemory_)
    ms += (MemoryReadOut::kWindows - (stage == Stage::kReading ? std::min(done, MemoryReadOut::kWindows) : 0)) *
          windowMs_;
  if (stage <= Stage::kOpening) ms += 3 * kCommandSleepMs;  // OpenPort's two sleeps and ReadRegisters' one
  return static_cast<uint32_t>(ms);
}

// A partial last frame still carries the eight image bytes from its address;
// only length of them count.
void AtmelProgrammer::SendDataFrame(uint16_t address, uint8_t length) {
  CanMessage message;
  message.identifier = kDataId;
  std::copy_n(image_.At(address), kFrameBytes, message.data);
  SendCan(message, false, length);
}
