#include "UploaderRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "BoxGeometry.h"
#include "HexText.h"
#include "OperatorTexts.h"
#include "PixelCheck.h"
#include "PollUntil.h"

namespace fs = std::filesystem;

namespace {

// Log files and screenshots are read whole: look every 50 ms, not more often.
constexpr int kRigStepMs = 50;
constexpr int kListWaitMs = 5000;
// A run on a busy machine may take minutes; one that neither logs nor sends
// anything for a minute hangs.
constexpr int kQuietLimitMs = 60000;
constexpr int kBusyLimitMs = 600000;

std::string TestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  return name;
}

// Next to this file, in the source tree.
std::string GoldenPath(const std::string& name) { return (fs::path(GOLDEN_DIR) / name).string(); }

bool WritingGolden() {
  const char* write = std::getenv("UPLOADER_GOLDEN_WRITE");
  return write && std::string(write) == "1";
}

// The header line and a kept program's name hold the run's date and time;
// the rest must not vary.
std::string WithoutDate(const std::string& log) {
  static const std::regex header("^Date: .*? - Ver: "), keptTime(R"(\d{4}-\d\d-\d\d \d\d-\d\d-\d\d)");
  return std::regex_replace(std::regex_replace(log, header, "Date: * - Ver: "), keptTime, "*");
}

}  // namespace

UploaderRig::UploaderRig()
    : output_((fs::current_path() / "e2e-output" / TestName()).string()), control_(devices_.Root() + "/control") {
  fs::remove_all(output_);
  fs::create_directories(output_);
  devices_.MakeFolder("e:/Pinecroft");
  devices_.WriteFile("d:/lumen/bin/menu.exe", "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/started-with\"\n");
  fs::permissions(Path("d:/lumen/bin/menu.exe"), fs::perms::owner_all);
  devices_.MakeFolder("flash");
}

UploaderRig::~UploaderRig() {
  if (::testing::Test::HasFailure()) Screenshot("at-failure");
  uploader_.Stop();
  bench_.Stop();
  // A sanitizer build reports into the programs' output: any report fails the test.
  for (const char* output : {"/uploader.txt", "/canbench.txt"}) {
    std::string text = TempDosDevices::ReadFile(output_ + output);
    for (const char* report : {"Sanitizer", "runtime error:"})
      EXPECT_EQ(text.find(report), std::string::npos) << output << ":\n" << text;
  }
  if (::testing::Test::HasFailure()) {
    std::error_code ignored;
    fs::copy_file(Path("e:/Pinecroft/LOGFILE.txt"), output_ + "/LOGFILE.txt", fs::copy_options::overwrite_existing,
                  ignored);
  }
}

void UploaderRig::AddHexFile(const std::string& name, const std::string& content) const {
  devices_.WriteFile("e:/Pinecroft/" + name, content);
}

std::string UploaderRig::MakeImageFile(const std::string& name, size_t bytes, unsigned seed) const {
  std::string image = RandomImage(bytes, seed);
  AddHexFile(name, IntelHex(image));
  return image;
}

void UploaderRig::StartBench(const std::vector<std::string>& options) {
  std::vector<std::string> argv{CANBENCH_BIN, "--link", Path("com1"), "--dump-dir", Path("flash"),
                                "--control",   Path("bench-control"), "--trace", output_ + "/can.log"};
  argv.insert(argv.end(), options.begin(), options.end());
  ASSERT_TRUE(bench_.Start(argv, {}, output_ + "/canbench.txt"));
  ASSERT_TRUE(PollUntil([&] { return fs::exists(Path("com1")); }, 10000, kRigStepMs)) << "canbench did not come up";
}

void UploaderRig::BenchCommand(const std::string& line) const {
  ASSERT_TRUE(ControlClient(Path("bench-control")).Send(line)) << line;
}

void UploaderRig::StartUploader(int timeoutMs) {
  // The last start's log is set aside, so that no wait below is answered by it.
  std::error_code ignored;
  if (fs::exists(Path("e:/Pinecroft/LOGFILE.txt")))
    fs::rename(Path("e:/Pinecroft/LOGFILE.txt"), output_ + "/LOGFILE-" + std::to_string(++starts_) + ".txt", ignored);
  std::vector<std::string> env{"LUMEN_DOSDEVICES=" + devices_.Root(), "LUMEN_DISPLAY=headless",
                               "LUMEN_CONTROL=" + Path("control")};
  ASSERT_TRUE(uploader_.Start({UPLOADER_BIN}, env, output_ + "/uploader.txt"));
  ASSERT_TRUE(WaitForLogLine("Enter load program list", timeoutMs)) << "the main screen did not come up";
  ASSERT_TRUE(PollUntil([&] { return fs::exists(Path("control")); }, 5000, kRigStepMs));
}

void UploaderRig::KillUploader() { uploader_.Kill(); }

bool UploaderRig::HasUpdateRecord(int slot) const {
  return fs::exists(Path("d:/lumen/uploader/slot" + std::string(slot < 10, '0') + std::to_string(slot) + ".txt"));
}

void UploaderRig::StartRun(const std::vector<std::string>& nodes, const std::string& file, int node,
                           std::vector<std::string> options) {
  for (const std::string& each : nodes) options.insert(options.end(), {"--node", each});
  StartBench(options);
  StartUploader();
  SelectFile(file, node == 0 ? kPressStart : kSelectNode);
  TouchButton(node <= 0 ? kStart : NodeButton(node));  // All stands where Start does
}

std::string UploaderRig::LogBytes() const { return TempDosDevices::ReadFile(Path("e:/Pinecroft/LOGFILE.txt")); }

std::vector<std::string> UploaderRig::LogLines() const {
  std::vector<std::string> lines;
  std::istringstream log(LogBytes());
  for (std::string line; std::getline(log, line);) lines.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
  return lines;
}

bool UploaderRig::Logged(const std::string& line, int count) const {
  return std::ranges::count(LogLines(), line) >= count;
}

bool UploaderRig::WaitForLogLine(const std::string& line, int timeoutMs, int count) const {
  return PollUntil([&] { return Logged(line, count); }, timeoutMs, kRigStepMs);
}

int UploaderRig::RowOf(const std::string& fileName, int waitMs) const {
  int found = -1;
  PollUntil(
      [&] {
        int row = 0;
        found = -1;
        for (const std::string& line : LogLines()) {
          if (line == "Enter load program list") row = 0, found = -1;  // the list shown is the last one loaded
          if (!line.ends_with(" - online: true")) continue;
          if (line.starts_with(fileName + " - ")) found = row;
          ++row;
        }
        return found >= 0;
      },
      waitMs, kRigStepMs);
  return found;
}

void UploaderRig::SelectFile(const std::string& fileName, const std::string& status) const {
  const int seen = static_cast<int>(std::ranges::count(LogLines(), status));
  const int row = RowOf(fileName, kListWaitMs);
  ASSERT_GE(row, 0) << fileName << " is not listed";
  TouchListRow(row);
  ASSERT_TRUE(WaitForLogLine(status, 5000, seen + 1)) << status;
}

std::vector<std::string> UploaderRig::RunLines() const {
  std::vector<std::string> lines = LogLines();
  lines.erase(lines.begin(), std::ranges::find_if(lines, [](const auto& l) { return l.starts_with("Enter Programming"); }));
  std::erase_if(lines, [](const std::string& l) { return l.starts_with("Tx - ") || l.starts_with("Rx - "); });
  return lines;
}

void UploaderRig::Touch(int x, int y) const { ASSERT_TRUE(control_.Touch(x, y)); }

bool UploaderRig::TouchWhenLogged(Spot button, const std::string& line, int timeoutMs) const {
  if (!PollUntil([&] { return Logged(line); }, timeoutMs, 1)) return false;
  TouchButton(button);
  return true;
}

std::optional<Surface> UploaderRig::Screenshot(const std::string& name) const {
  return control_.Screenshot(output_ + "/" + name + ".png");
}

void UploaderRig::AnswerBox(const std::string& text, BoxButton button) const {
  BoxGeometry box(text);
  const Rect& frame = box.Frame();
  // The box is up once its frame stands where the main screen is white.
  auto framed = [&](bool up) {
    auto shot = Screenshot("box");
    bool shown = shot && shot->Pixel(frame.left, frame.top + 1) == RGB(0, 0, 0) &&
                 shot->Pixel(frame.right, frame.top + 1) == RGB(0, 0, 0);
    return shown == up;
  };
  ASSERT_TRUE(PollWhileBusy([&] { return framed(true); })) << "the box did not show: " << text;
  Touch(box.ButtonX(button), box.ButtonY());
  PollUntil([&] { return framed(false); }, 5000, kRigStepMs);
}

bool UploaderRig::CompleteRun(int timeoutMs) const {
  AnswerBox(kWarning, kOk);
  AnswerBox(kComplete, kOk);
  return WaitForLogLine("Programming... Finished", timeoutMs);
}

bool UploaderRig::PollWhileBusy(const std::function<bool()>& condition) const {
  size_t seen = 0;
  auto lastChange = std::chrono::steady_clock::now();
  return PollUntil(
      [&] {
        if (condition()) return true;
        const size_t now = LogBytes().size() + BusTrace().size();
        if (now != seen) lastChange = std::chrono::steady_clock::now();
        seen = now;
        return std::chrono::steady_clock::now() - lastChange > std::chrono::milliseconds(kQuietLimitMs);
      },
      kBusyLimitMs, kRigStepMs) &&
         condition();
}

void UploaderRig::ExpectGoldenLog(const std::string& name) const {
  const std::string golden = GoldenPath(name + ".log");
  const std::string log = WithoutDate(LogBytes());
  if (WritingGolden()) std::ofstream(golden, std::ios::binary) << log;
  EXPECT_TRUE(log == TempDosDevices::ReadFile(golden)) << "the log differs from " << golden << ": see LOGFILE.txt in "
                                                        << output_;
}

void UploaderRig::ExpectGoldenScreen(const std::string& name) const {
  const std::string golden = GoldenPath(name + ".png");
  auto shot = Screenshot(name);
  ASSERT_TRUE(shot);
  if (WritingGolden()) fs::copy_file(output_ + "/" + name + ".png", golden, fs::copy_options::overwrite_existing);
  auto expected = ControlClient::ReadPng(golden);
  ASSERT_TRUE(expected) << golden;
  EXPECT_EQ(DifferingPixels(*shot, *expected, Rect{0, 0, 480, 640}), 0) << "the screen differs from " << golden;
}

bool UploaderRig::WaitForUploaderExit(int timeoutMs) { return uploader_.WaitForExit(timeoutMs); }

// The menu program is started, not waited for, and the bench writes a dump
// when the node takes its reset, which the engine sends without waiting for
// an answer: give either a moment to write.
std::string UploaderRig::ReadOnceWritten(const std::string& relative) const {
  std::string content;
  PollUntil([&] { return !(content = TempDosDevices::ReadFile(Path(relative))).empty(); }, 5000, kRigStepMs);
  return content;
}

std::string UploaderRig::MenuArguments() const { return ReadOnceWritten("d:/lumen/bin/started-with"); }

std::string UploaderRig::FlashDump(int address) const {
  char name[32];
  std::snprintf(name, sizeof name, "flash/node-%02X.bin", address);
  return ReadOnceWritten(name);
}

std::string UploaderRig::BusTrace() const { return TempDosDevices::ReadFile(output_ + "/can.log"); }
