#pragma once

#include <istream>
#include <string>
#include <string_view>

// Decides, before anything reaches a node, whether a hex file can be
// programmed at all. Every line that starts with ":" must be one whole record
// (hex digits in either case; line ends aside, and nothing after them) whose
// byte count, length and checksum agree. Text is allowed only before the
// first record: after it, a line without ":" is a record whose ":" was lost on
// the way (a flipped bit, a cut copy), and a reader would skip its bytes.
// Before it too, a line that is hex digits but for its first character is
// such a record, the file's first. Blank lines are allowed anywhere. A ":" further into a line is refused, since a
// reader that looks for the next ":" would take a record from there. The
// first record without data must be the end record, and at least one data
// record must come before it.
class HexFileCheck {
 public:
  // Checks the named file of the hex folder; false also when it does not open.
  static bool Accepts(const std::string& name);
  static bool Accepts(std::istream& in);

 private:
  enum class Line { kBlank, kText, kData, kOtherRecord, kEnd, kBroken };
  static Line Classify(std::string_view line);
  static Line ClassifyRecord(std::string_view digits);
  static bool IsDamagedRecord(std::string_view line);
};
