#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "firmware/IntelHexReader.h"

// The program an Atmel node ran before an update, kept on the removable drive
// as an Intel HEX file in a folder of its own beside the hex files, so that a
// failed update can put it back. A kept file's name is relative to the hex
// folder ("Kept\P149 Alpha Node 1 slot01 2026-12-07 01-30-15.hex"), so the
// engines reach it as any listed file, and its bare name begins as a hex
// file's does, with "P" and the program number. Kept files are never removed
// by the program.
class KeptProgram {
 public:
  struct Saved {
    std::string name;    // the name the file got
    std::string reason;  // why the program is not kept, for the operator; empty once it is
  };
  struct Listed {
    std::string name;     // "Kept\<file>"
    std::string rowText;  // "<node label> kept YYYY-MM-DD HH:MM", or the bare file name
  };

  // The name for the program that the node of slot runs, kept at local time when.
  static std::string NameFor(int32_t program, const std::string& label, int32_t slot, std::time_t when);

  // Writes memory as Intel HEX under name, or under name with " 2", " 3", ...
  // before ".hex" when a file has it already: durably, then read back from the
  // drive and compared. A file that reads back otherwise is removed again.
  static Saved Save(const std::string& name, std::span<const uint8_t, kNodeMemorySize> memory);

  // Every kept file, the newest first by the time in its name; names that do
  // not follow NameFor come last, in the folder's order. No folder: none.
  static std::vector<Listed> List();

  // A name of the kept folder, as NameFor and List give them.
  static bool IsKept(const std::string& name);
  // A kept name without its folder: the file's name, which begins as a hex file's does.
  static std::string FileName(const std::string& name) { return name.substr(sizeof kFolder - 1); }

  // The kept files' folder, relative to the hex folder.
  static constexpr char kFolder[] = "Kept\\";
};
