#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "ControlClient.h"
#include "TempDosDevices.h"
#include "graphics/Surface.h"

// The whole console on a test bench: a dosdevices folder with drive E (the
// hex folder) and drive D (a stand-in menu program that records how it was
// started), canbench on the pseudo-terminal behind COM1, and the real
// uploader, headless, driven through its control FIFO like an operator.
class UploaderRig {
 public:
  // Where a message box's buttons stand, counted from the right.
  enum BoxButton { kRightmost = 0, kSecondFromRight = 1 };

  UploaderRig();
  ~UploaderRig();

  // Hex files on drive E. MakeImageFile writes a random image of the given
  // size as Intel HEX made by objcopy and returns the image's bytes.
  void AddHexFile(const std::string& name, const std::string& content) const;
  std::string MakeImageFile(const std::string& name, size_t bytes, unsigned seed) const;

  // Starts canbench with these options (link, dumps, control and trace are
  // added) and waits until its pseudo-terminal is there.
  void StartBench(const std::vector<std::string>& options);
  void BenchCommand(const std::string& line) const;
  // Starts the uploader and waits for its main screen (the file list logged).
  void StartUploader(int timeoutMs = 40000);

  // The log file's lines, and waits for one (whole-line match) to appear
  // count times.
  std::vector<std::string> LogLines() const;
  bool WaitForLogLine(const std::string& line, int timeoutMs, int count = 1) const;

  void Touch(int x, int y) const;
  std::optional<Surface> Screenshot(const std::string& name) const;
  // Waits until the box whose body is text is up, then touches one of its
  // buttons.
  void AnswerBox(const std::string& text, BoxButton button) const;
  // Touches a row of the program list's first page.
  void TouchRow(int row) const { Touch(120, 176 + 30 * row + 15); }
  // Touches the file's row and waits for the status it brings.
  void SelectFile(const std::string& fileName, const std::string& status) const;
  // The log from the first run's start on, the node queries' lines left out.
  std::vector<std::string> RunLines() const;
  // The program-list row of a file: its place among the files logged online;
  // -1 when it is not listed.
  int RowOf(const std::string& fileName) const;

  // True when a 64 x 64 button face is drawn with its corner at (x, y).
  static bool ShowsButtonAt(const Surface& shot, int x, int y);

  bool WaitForUploaderExit(int timeoutMs);
  std::string MenuArguments() const;
  std::string FlashDump(int address) const;
  const std::string& OutputFolder() const { return output_; }

 private:
  std::string Path(const std::string& relative) const { return devices_.Root() + "/" + relative; }

  TempDosDevices devices_;
  std::string output_;
  ControlClient control_;
  ChildProcess bench_;
  ChildProcess uploader_;
};
