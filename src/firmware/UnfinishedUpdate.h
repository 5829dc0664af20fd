#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What a run was writing to which node, kept on the console's own drive from
// just before the node leaves its program until the node is programmed. A
// power cut or a failed run leaves it behind, so that the next start can
// offer to finish the update. One record per slot, as a text file of
// "key=value" lines that ends with "end", so a record cut short is never
// taken for a whole one.
class UnfinishedUpdate {
 public:
  int32_t slot = 0;
  std::string label;     // the slot's node label
  std::string fileName;  // bare name in the hex folder, or a kept program's name
  uint64_t size = 0;
  uint32_t checksum = 0;  // CRC-32 of the file's bytes
  int32_t bootloader = 0;  // BootloaderKind; none until the node answered
  std::string kept;        // the node's old program's kept name; empty when none was kept

  // Takes the hex file's name, size and checksum; false when it cannot be read.
  bool TakeFile(const std::string& name);
  // The hex folder holds the file with the recorded size and checksum.
  bool FileUnchanged() const;

  bool Save() const;
  // A record is input like any file on a drive: one that is not whole, names
  // a file outside the hex folder or holds a field out of range is refused,
  // with a log line.
  static std::optional<UnfinishedUpdate> Load(int32_t slot);
  static bool Exists(int32_t slot);
  static bool Remove(int32_t slot);

  std::string Text() const;
  static std::optional<UnfinishedUpdate> Parse(const std::string& text);

 private:
  bool InRange() const;
};
