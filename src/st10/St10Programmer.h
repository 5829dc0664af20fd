#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "console/ReplyRouting.h"
#include "system/Waker.h"

// Programs a node whose ST10 bootloader is running: ASCII commands, then the
// hex file's text streamed line by line, each line accepted by the node before
// the next goes out. OnReply runs on the link's receive thread, records and
// wakes the waiting step; Program and its steps run on the programming thread.
class St10Programmer : public ReplyConsumer {
 public:
  static constexpr uint32_t kCommandIdentifier = 0x18EFF110;

  // One whole run, retries included; true when the node was programmed.
  // Without confirmSuccess the "Programming Complete" box is left to the
  // caller, which programs further nodes and reports them all at once.
  bool Program(const std::string& fileName, bool confirmSuccess = true);
  void OnReply(CanMessage message) override;
  void ResetState();

  // Sends "<Start>", which a waiting ST10 bootloader answers and which only
  // opens its port (every run sends it first, and again while unanswered).
  // BootloaderAnswered: it answered, or one announced itself since the last
  // reset of the run state.
  void AskForBootloader();
  bool BootloaderAnswered() const;
  // The node acknowledged the last "<Reset>": it left its bootloader.
  bool ResetAnswered() const { return resetFlag_; }

  // The steps of Program, in the order it runs them.
  bool AccessFile(const std::string& fileName);
  bool LoadFile();
  bool SendStart();
  bool SendErase();
  bool SendProg();
  bool StreamFile();
  bool SendReset();

  // The first error since the last reset (a node report or the stream's
  // time-out); empty while there is none.
  std::string ErrorText() const;

 private:
  enum ErrorState : uint8_t { kNoError, kComposing, kRaised };

  void Record(const CanMessage& message);
  // Start, erase and prog, timed for the next estimate, then the file's text.
  bool WriteFile();
  // Measures the pace of the stream begun at the given tick, then reports.
  void TrackPace(uint32_t begun, size_t streamed);
  void ShowTimeLeft(bool streaming, size_t streamed);
  uint32_t MsLeft(bool streaming, size_t streamed) const;
  bool SendAndResend(const char* status, const char* command, const std::atomic<bool>& flag, uint32_t resendMs,
                     uint32_t giveUpMs);
  bool SendAndAwait(const char* status, const char* command, const std::atomic<bool>& flag);
  // Waits until flag is set or limitMs have passed; the result is flag.
  bool Await(const std::atomic<bool>& flag, uint32_t limitMs);
  void AwaitLineAccepted(int lineCount);
  bool ErrorRaised() const;
  // Records the first error since the last reset; later ones are dropped.
  void RaiseError(const char* text);

  std::atomic<bool> startFlag_{false};
  std::atomic<bool> eraseFlag_{false};
  std::atomic<bool> programFlag_{false};
  std::atomic<bool> resetFlag_{false};
  std::atomic<bool> finishedFlag_{false};
  std::atomic<bool> lineFlag_{false};
  // The first error wins: whoever moves it from kNoError to kComposing writes
  // the text, then publishes it with kRaised, so a reader that sees kRaised
  // reads a complete text that no later report overwrites.
  std::atomic<uint8_t> errorState_{kNoError};
  char errorText_[256] = {};
  Waker answered_;

  std::string fileName_;
  std::vector<uint8_t> fileCopy_;
  size_t fileBytes_ = 0;
  // Measured by each run and kept for the next, so the nodes of a batch after
  // the first are estimated from the first. Before any run: the node answers
  // each command within a poll, and the text goes as fast as a 250 kbit/s bus
  // carries a line's frames and its answer.
  uint32_t commandsMs_ = 300;  // start, erase and prog
  double byteMs_ = 0.08;       // a byte of the file's text, its line's answer included
};
