#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "atmel/FirmwareImage.h"
#include "atmel/MemoryReadOut.h"
#include "atmel/ProgramKeeper.h"
#include "console/ReplyRouting.h"
#include "system/Waker.h"

// Programs a node whose bootloader is of the Atmel kind: binary commands on
// identifiers 0 to 5, one per command family, and the 32 KB image parsed from
// the hex file sent as 8-byte frames, each only after the node acknowledged
// the one before. Program runs on the programming thread; OnReply runs on the
// link's receive thread, records in atomics and wakes the waiting step.
class AtmelProgrammer : public ReplyConsumer {
 public:
  // How a run ended. kFailed: the node was erased and is not programmed (the
  // retry was declined). kUntouched: the run stopped before the erase and the
  // node was reset into its unchanged program.
  enum class Result { kProgrammed, kAlreadyRuns, kFailed, kUntouched };

  AtmelProgrammer() { ResetState(); }

  // One whole run, possibly with retries the operator asked for. openPort is
  // on for a run after the bootloader command and off for a retry, whose node
  // has its port open already. Without confirmSuccess the "Programming
  // Complete" box is left to the caller, which programs further nodes and
  // reports them all at once. With a keeper, a run that opens the port reads
  // the node's memory before erasing it: a node that already holds the
  // file's image is only reset, any other program goes to the keeper first.
  Result Program(const std::string& fileName, bool openPort, bool confirmSuccess = true,
                 ProgramKeeper* keeper = nullptr);

  void OnReply(CanMessage message) override;

  // Asks, with the open command, whether an Atmel bootloader waits on the bus
  // (it never announces itself after a power cycle); true when one answered
  // within OpenPort's time, which also sets BootloaderType.
  bool FindBootloader();
  // The same question without the wait: the open command changes nothing in
  // a bootloader, which only answers it. BootloaderAnswered tells the answer.
  void AskForBootloader();
  bool BootloaderAnswered() const { return portFlag_ != 0; }

  // Clears every flag and the image end, and erases the image to 0xFF.
  void ResetState();

  // The steps of Program, each showing its own status and error box.
  bool AccessFile(const std::string& fileName);
  bool ReadHexFile();
  bool OpenPort();
  bool ReadRegisters();
  // The whole memory into Memory(); false when a window could not be read for sure.
  bool ReadMemory();
  bool EraseMemory();
  bool BlankCheck();
  bool SetAddressRange();
  bool ProgramMemory();
  bool VerifyMemory();
  void ResetNode();

  const FirmwareImage& Image() const { return image_; }
  const FirmwareImage& Memory() const { return memory_; }

 private:
  // Where a run stands, for the estimate of the time it still takes.
  enum class Stage { kOpening, kReading, kErasing, kWriting, kVerifying, kResetting };

  // kFailed asks the retry question; the others end the run.
  Result Attempt(const std::string& fileName, bool openPort, ProgramKeeper* keeper);
  // What the node's old program asks of the run: kProgrammed to go on to the erase.
  Result SettleOldProgram(ProgramKeeper& keeper);
  // Resets the node and tells the operator how the run ended.
  Result Conclude(Result result, bool confirmSuccess);
  bool CommandStep(const char* status, uint32_t identifier, std::initializer_list<uint8_t> data,
                   std::atomic<uint32_t>& flag, int maxSleeps, const char* failure);
  void SendDataFrame(uint16_t address, uint8_t length);
  void Record(const CanMessage& message);
  // Reads the window from first and compares it with the image.
  bool WindowMatches(uint16_t first);
  bool AwaitReady();
  // Measures the time per frame or window of the pass begun at the given
  // tick, then reports the time left.
  void TrackPace(Stage stage, uint32_t begun, uint32_t done);
  void ShowTimeLeft(Stage stage, uint32_t done = 0);
  // The milliseconds from the stage (done frames or windows into it) to the end.
  uint32_t MsFrom(Stage stage, uint32_t done) const;

  std::atomic<uint32_t> portFlag_{0};
  std::atomic<uint32_t> eraseFlag_{0};
  std::atomic<uint32_t> blankFlag_{0};
  std::atomic<uint32_t> rangeFlag_{0};
  std::atomic<uint32_t> registersFlag_{0};
  std::atomic<uint32_t> doneFlag_{0};
  std::atomic<uint16_t> readyFlag_{0};  // a data frame was acknowledged
  Waker answered_;
  MemoryReadOut readOut_{answered_};
  std::string fileName_;
  FirmwareImage image_;
  FirmwareImage memory_;  // what the node held before the erase
  bool readsMemory_ = false;  // this run reads the memory before erasing it
  // Measured by each run and kept for the next, so the nodes of a batch after
  // the first are estimated from the first. Before any run: the node answers
  // each command within its first sleep and each frame within its pause, and
  // a window takes what a 250 kbit/s bus needs for a frame and its answer.
  uint32_t commandsMs_ = 300;  // erase, blank check and address range
  double frameMs_ = 11.0;      // a data frame, its pause and its answer
  double windowMs_ = 1.0;      // a display frame and its answer
};
