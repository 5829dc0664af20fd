#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "atmel/ProgramKeeper.h"
#include "firmware/UnfinishedUpdate.h"

class ProgramScreen;

// Keeps the program an Atmel node runs on the USB drive before the node is
// erased, and names the kept file in the update's record, so that a failed
// update or a power cut can give the node its old program back. When the
// node cannot be read or the drive cannot take the file, the operator
// decides whether the update goes on without it.
class OldProgramKeeper : public ProgramKeeper {
 public:
  // program: what the node answered before it left its program, which names
  // the kept file. record: the update's record, which recordAgain writes
  // again once it names the kept file.
  OldProgramKeeper(ProgramScreen& screen, UnfinishedUpdate& record, int32_t program, std::function<void()> recordAgain)
      : screen_(screen), record_(record), program_(program), recordAgain_(std::move(recordAgain)) {}

  bool Keep(const FirmwareImage& old) override;
  bool GoOnUnread() override;

 private:
  bool GoOnWithout(const std::string& why);

  ProgramScreen& screen_;
  UnfinishedUpdate& record_;
  int32_t program_;
  std::function<void()> recordAgain_;
};
