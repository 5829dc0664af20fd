#pragma once

#include <functional>
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
  // A message box's buttons, counted from the right.
  enum BoxButton { kOk = 0, kYes = 0, kNo = 1 };
  // The top-left corner of a 64 x 64 button of the main screen.
  struct Spot {
    int x;
    int y;
  };
  // "All" stands where Start does; the two are never shown together.
  static constexpr Spot kStart{403, 485}, kAll{403, 485}, kExit{403, 550}, kRecov{7, 550};
  // "Node 1" .. "Node 10": the upper row holds 1 to 5.
  static constexpr Spot NodeButton(int n) { return {73 + 66 * ((n - 1) % 5), n <= 5 ? 410 : 480}; }

  UploaderRig();
  ~UploaderRig();

  // Hex files on drive E. MakeImageFile writes a random image of the given
  // size as Intel HEX and returns the image's bytes.
  void AddHexFile(const std::string& name, const std::string& content) const;
  std::string MakeImageFile(const std::string& name, size_t bytes, unsigned seed) const;

  // Starts canbench with these options (link, dumps, control and trace are
  // added) and waits until its pseudo-terminal is there.
  void StartBench(const std::vector<std::string>& options);
  void BenchCommand(const std::string& line) const;
  // Starts the uploader and waits for its main screen (the file list logged).
  // The log of an earlier start is set aside (LOGFILE-n.txt in the output
  // folder), so the log read from here on is this start's.
  void StartUploader(int timeoutMs = 40000);
  // Ends the uploader at once, as a power cut would.
  void KillUploader();
  // The update record a run keeps on drive d: for the slot.
  bool HasUpdateRecord(int slot) const;
  // Where a dosdevices path ("d:/lumen/...") lies on the host.
  std::string Path(const std::string& relative) const { return devices_.Root() + "/" + relative; }
  // The usual start of a run: canbench with these nodes (each one "--node")
  // and further options, the uploader, the file touched in the list, then
  // "Node n" (0: Start, -1: All).
  void StartRun(const std::vector<std::string>& nodes, const std::string& file, int node,
                std::vector<std::string> options = {});

  // The log file's lines, and waits for one (whole-line match) to appear
  // count times.
  std::vector<std::string> LogLines() const;
  bool WaitForLogLine(const std::string& line, int timeoutMs, int count = 1) const;
  // The log file as it is on the drive, line ends included.
  std::string LogBytes() const;

  // Touches: at a pixel, and the main screen's buttons by name.
  void Touch(int x, int y) const;
  void TouchButton(Spot button) const { Touch(button.x + 32, button.y + 32); }
  void TouchNode(int n) const { TouchButton(NodeButton(n)); }
  void TouchStart() const { TouchButton(kStart); }
  void TouchAll() const { TouchButton(kAll); }
  void TouchExit() const { TouchButton(kExit); }
  void TouchRecov() const { TouchButton(kRecov); }
  // A row of the program list's page shown; the arrows turn the page.
  void TouchListRow(int row) const { Touch(120, 176 + 30 * row + 15); }
  void TouchPageDown() const { Touch(450, 380); }
  // Touches the button the moment the line is logged, as a finger that waits
  // for it would; false when the line does not come.
  bool TouchWhenLogged(Spot button, const std::string& line, int timeoutMs) const;

  std::optional<Surface> Screenshot(const std::string& name) const;
  // Waits until the box whose body is text is up, however long the run before
  // it takes while it makes progress, then touches one of its
  // buttons and waits for it to go.
  void AnswerBox(const std::string& text, BoxButton button) const;
  // Answers the run's warning and, once the node is written, its completion
  // box; true when the run then logs that it finished.
  bool CompleteRun(int timeoutMs = 60000) const;
  // Touches the file's row and waits for the status it brings.
  void SelectFile(const std::string& fileName, const std::string& status) const;
  // The log from the first run's start on, the node queries' lines left out.
  std::vector<std::string> RunLines() const;
  // The program-list row of a file: its place among the files logged online;
  // -1 when it is not listed. The list may still be loading: its rows are
  // known once their lines are logged, which is waited for up to waitMs.
  int RowOf(const std::string& fileName, int waitMs = 0) const;

  // Compare with the golden files in tests/e2e/golden: the log file byte for
  // byte (the header's date and time left out) and a screenshot pixel for
  // pixel. scripts/golden sets UPLOADER_GOLDEN_WRITE=1 to write them instead.
  void ExpectGoldenLog(const std::string& name) const;
  void ExpectGoldenScreen(const std::string& name) const;

  bool WaitForUploaderExit(int timeoutMs);
  std::string MenuArguments() const;
  std::string FlashDump(int address) const;
  // The bench's trace of every CAN frame so far (candump log lines).
  std::string BusTrace() const;
  // Where the benchmarks leave their measurements beside the run's files.
  const std::string& OutputFolder() const { return output_; }

 private:
  // Polls until the condition holds, as long as the uploader keeps logging or
  // the bus keeps carrying frames: the run it waits for is under way.
  bool PollWhileBusy(const std::function<bool()>& condition) const;
  // Whether the line is logged count times.
  bool Logged(const std::string& line, int count = 1) const;
  // The file at a dosdevices path once it holds something.
  std::string ReadOnceWritten(const std::string& relative) const;

  TempDosDevices devices_;
  std::string output_;
  ControlClient control_;
  ChildProcess bench_;
  ChildProcess uploader_;
  int starts_ = 0;
};
