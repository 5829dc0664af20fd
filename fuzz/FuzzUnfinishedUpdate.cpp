// Any text as the record of an unfinished update, as drive d: may hold it
// after a power cut or a hand edit: a record it accepts names a plain file in
// the hex folder, holds its fields in range, and reads back the same.
#include <cstdlib>
#include <string>

#include "can/ProgramState.h"
#include "firmware/UnfinishedUpdate.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<UnfinishedUpdate> record = UnfinishedUpdate::Parse(text);
  if (!record) return 0;
  const std::string& name = record->fileName;
  Require(!name.empty() && name != "." && name != ".." && name.find_first_of("/\\:") == std::string::npos);
  Require(record->slot >= 1 && record->slot <= 99 && record->size > 0);
  Require(record->bootloader >= kNoBootloader && record->bootloader <= kAtmelBootloader);
  const std::optional<UnfinishedUpdate> again = UnfinishedUpdate::Parse(record->Text());
  Require(again && again->Text() == record->Text());
  return 0;
}
