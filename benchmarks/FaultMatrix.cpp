// The fault-injection matrix: one whole programming run of each engine under
// each of the bench's line faults, driven like an operator who answers every
// box and says YES to the first retry question. A run may fail where the
// protocol cannot recover, but it must end within its bound and must never
// report "Programming... Finished" over a flash that differs from the file.
// An Atmel run over a node that holds a known old program must also leave
// that program, byte for byte, in the kept file on the drive.
// Each run leaves its row (outcome, flash, kept file, duration, the engine's
// last log lines) in <output>/row.tsv, which scripts/reliability gathers into
// docs/reliability.md. A measurement of minutes per run, not a test of the
// suite: scripts/reliability builds and runs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "BoxGeometry.h"
#include "HexText.h"
#include "OperatorTexts.h"
#include "PixelCheck.h"
#include "UploaderRig.h"

namespace {

using Clock = std::chrono::steady_clock;

const char kFinished[] = "Programming... Finished";
const char kFailed[] = "Programming... Failed";
const char kWrapUp[] = "Initializing... Please Wait";

constexpr int kRetries = 1;          // YES to this many retry questions, then NO
// Three ST10 erase give-ups fit with room to spare, and so does an Atmel run
// with every Ack lost: its read-out alone waits 200 ms for each of 4096 Acks.
constexpr auto kRunLimit = std::chrono::minutes(20);
constexpr size_t kImageBytes = 2048;
constexpr size_t kLastLines = 4;

struct Engine {
  const char* name;
  const char* file;
  const char* node;
  int address;
  const char* prompt;  // logged once the file is picked
  UploaderRig::Spot button;  // the node button or Start
};

const Engine kEngines[] = {
    {"Atmel", "P149alpha.hex", "address=0x01,program=149,boot=atmel,after=149", 0x01, kSelectNode,
     UploaderRig::NodeButton(1)},
    {"ST10", "P143beta.hex", "address=0x20,program=143,boot=st10,after=143", 0x20, kPressStart, UploaderRig::kStart},
};

struct Fault {
  const char* name;
  std::vector<std::string> options;
  size_t imageBytes = kImageBytes;
  bool oldProgram = false;  // the node starts with a known program, which the run must keep
};

// Outside the hex folder, so it is no file of the list.
const char kOldProgram[] = "e:/old.hex";
const char kKept[] = "e:/Pinecroft/Kept";
constexpr size_t kOldProgramBytes = 6000;

// The faults a field line brings together, on an image whose Atmel run ends
// in a partial frame (1025 frames) as the one they were found with.
constexpr size_t kFieldImageBytes = 0x2003;

// Naks, Reopens, noise, chatter, lost Acks and spoiled checksums together.
const std::vector<std::string> kFieldMix = {"--nak-every", "7",    "--reopen-every", "50", "--garbage",      "3",
                                            "--chatter",   "1000", "--drop-ack",     "97", "--bad-checksum", "89"};

std::vector<std::string> FieldMixAnd(std::vector<std::string> more) {
  more.insert(more.begin(), kFieldMix.begin(), kFieldMix.end());
  return more;
}

const Fault kFaults[] = {
    {"None", {}},
    {"DropAck5", {"--drop-ack", "5"}},
    {"DropAck2", {"--drop-ack", "2"}},
    {"DropAck1", {"--drop-ack", "1"}},
    {"Nak", {"--nak-every", "7"}},
    {"Reopen", {"--reopen-every", "50"}},
    {"Garbage", {"--garbage", "3"}},
    {"BadChecksum20", {"--bad-checksum", "20"}},
    {"BadChecksum5", {"--bad-checksum", "5"}},
    {"BadChecksum2", {"--bad-checksum", "2"}},
    {"BadChecksum1", {"--bad-checksum", "1"}},
    {"BadChecksum50pct", {"--bad-checksum", "50%"}},
    {"DropAck5BadChecksum20", {"--drop-ack", "5", "--bad-checksum", "20"}},
    {"DropAck3BadChecksum7", {"--drop-ack", "3", "--bad-checksum", "7"}},
    {"DropAck97BadChecksum89", {"--drop-ack", "97", "--bad-checksum", "89"}, kFieldImageBytes},
    {"DropAck20BadChecksum20", {"--drop-ack", "20", "--bad-checksum", "20"}, kFieldImageBytes},
    {"FieldMix", kFieldMix, kFieldImageBytes},
    {"SpoilConsole7", {"--spoil-console", "7"}},
    {"FieldMixSpoilConsole", FieldMixAnd({"--spoil-console", "13"}), kFieldImageBytes},
    {"Chatter", {"--chatter", "4"}},
    {"NoInfo", {"--no-info"}},
    // A node of each kind left in its bootloader by an earlier update, beside
    // the one the run is for: nothing may reach either.
    {"AtmelWaitingBeside", {"--node", "address=0x02,program=149,boot=atmel,fault=start-in-bootloader"}},
    {"St10WaitingBeside", {"--node", "address=0x21,program=143,boot=st10,fault=start-in-bootloader"}},
};

// Only the Atmel engine reads out the old program before its erase.
const Fault kReadOutFaults[] = {
    {"FieldMixReadOut", kFieldMix, kFieldImageBytes, true},
};

void PrintTo(const Engine& engine, std::ostream* out) { *out << engine.name; }
void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

struct Row {
  std::string outcome = "Not started";
  std::string flash = "none";
  std::string kept = "-";  // "-": no known old program to compare with
  double seconds = 0;
  int retries = 0;
  std::vector<std::string> lastLines;
};

bool Framed(const Surface& shot, const Rect& frame) {
  const uint32_t black = RGB(0, 0, 0);
  return shot.Pixel(frame.left + 20, frame.top) == black && shot.Pixel(frame.left, frame.top + 1) == black &&
         shot.Pixel(frame.right, frame.top + 1) == black;
}

// The box up on the screen, among those whose body might be showing: the
// fixed texts and the last logged lines (every OK box's text is logged just
// before it shows). Boxes share their side edges, so the tallest frame wins.
std::optional<BoxGeometry> BoxOnScreen(const UploaderRig& rig, const Surface& shot) {
  std::vector<std::string> texts = {kWarning,        kComplete,    kNotSuccessful, kSt10Retry,  kAtmelRetry,
                                    kNoNodeResponse, kAlreadyRuns, kPutBack,       kPutBackDone};
  const auto lines = rig.LogLines();
  const std::string unkept = "WARNING: the old program could not be kept: ";
  for (auto line = lines.end() - std::min<size_t>(lines.size(), 5); line != lines.end(); ++line) {
    texts.push_back(*line);
    // The question this warning brings is not logged itself.
    if (line->rfind(unkept, 0) == 0)
      texts.push_back("The program the node runs now could not be kept: " + line->substr(unkept.size()) +
                      ". Would you like to program the node without keeping it?");
  }
  std::optional<BoxGeometry> found;
  for (const std::string& text : texts) {
    BoxGeometry box(text);
    const Rect& frame = box.Frame();
    if (!Framed(shot, frame)) continue;
    if (!found || frame.bottom - frame.top > found->Frame().bottom - found->Frame().top) found = box;
  }
  return found;
}

// Answers the box on the screen, if any: OK, or YES/NO to a retry question.
void AnswerAnyBox(const UploaderRig& rig, Row& row) {
  auto shot = rig.Screenshot("box");
  if (!shot) return;
  auto box = BoxOnScreen(rig, *shot);
  if (!box) return;
  const bool question = ShowsButtonAt(*shot, box->ButtonX(1) - 32, box->ButtonY() - 32);
  int button = UploaderRig::kOk;  // OK, or YES
  if (question && row.retries++ >= kRetries) button = UploaderRig::kNo;  // NO
  rig.Touch(box->ButtonX(button), box->ButtonY());
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (Clock::now() < deadline) {
    auto after = rig.Screenshot("box");
    if (after && !Framed(*after, box->Frame())) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

std::string Outcome(const std::vector<std::string>& lines) {
  for (auto line = lines.rbegin(); line != lines.rend(); ++line)
    if (*line == kFinished || *line == kFailed) return *line;
  return "";
}

// The engine's last words: the lines before the run's wrap-up (or, for a run
// that sent nothing, before its file list is loaded again), then the outcome.
std::vector<std::string> LastLines(const std::vector<std::string>& lines, const std::string& outcome) {
  auto wrapUp = std::find(lines.rbegin(), lines.rend(), kWrapUp);
  if (wrapUp == lines.rend()) wrapUp = std::find(lines.rbegin(), lines.rend(), "Enter load program list");
  auto end = wrapUp == lines.rend() ? lines.end() : wrapUp.base() - 1;
  std::vector<std::string> last(end - std::min<long>(end - lines.begin(), kLastLines), end);
  if (!outcome.empty()) last.push_back(outcome);
  return last;
}

// Picks the file, touches its node button or Start and answers boxes until
// the run ends or its bound passes.
void DriveRun(UploaderRig& rig, const Engine& engine, Row& row) {
  const int listRow = rig.RowOf(engine.file, 5000);
  if (listRow < 0) {
    row.outcome = "Not listed";  // the start-up query did not find the node
    return;
  }
  rig.TouchListRow(listRow);
  ASSERT_TRUE(rig.WaitForLogLine(engine.prompt, 5000));
  const auto start = Clock::now();
  rig.TouchButton(engine.button);
  std::string outcome;
  while (outcome.empty() && Clock::now() - start < kRunLimit) {
    AnswerAnyBox(rig, row);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    outcome = Outcome(rig.LogLines());
  }
  row.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  row.outcome = outcome.empty() ? "Hung" : outcome;
  row.lastLines = LastLines(rig.LogLines(), outcome);
}

std::string FlashVerdict(UploaderRig& rig, const Engine& engine, const std::string& image) {
  rig.BenchCommand("dump");
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const std::string flash = rig.FlashDump(engine.address);
  if (flash.empty()) return "none";
  return flash == image ? "matches" : "differs";
}

// The kept files on the drive against the old program, each read as the
// memory it gives a node.
std::string KeptVerdict(const UploaderRig& rig, const std::string& oldMemory) {
  std::error_code error;
  std::string verdict = "none";
  for (const auto& entry : std::filesystem::directory_iterator(rig.Path(kKept), error)) {
    if (MemoryOf(TempDosDevices::ReadFile(entry.path().string())) != oldMemory) return "differs";
    verdict = "matches";
  }
  return verdict;
}

std::string Clean(std::string text) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
  return text;
}

void WriteRow(const UploaderRig& rig, const Fault& fault, const Engine& engine, const Row& row) {
  std::ofstream out(rig.OutputFolder() + "/row.tsv");
  out << fault.name << '\t' << engine.name << '\t' << row.outcome << '\t' << row.flash << '\t' << row.kept << '\t'
      << row.seconds << '\t' << row.retries;
  for (const std::string& line : row.lastLines) out << '\t' << Clean(line);
  out << '\n';
  std::ofstream log(rig.OutputFolder() + "/LOGFILE.txt");
  for (const std::string& line : rig.LogLines()) log << line << '\n';
}

class FaultMatrix : public testing::TestWithParam<std::tuple<Fault, Engine>> {};

TEST_P(FaultMatrix, RunEndsInTimeAndNeverFinishesOverAWrongFlash) {
  const auto& [fault, engine] = GetParam();
  UploaderRig rig;
  const std::string image = rig.MakeImageFile(engine.file, fault.imageBytes, 7);
  std::string node = engine.node;
  std::string oldMemory;
  if (fault.oldProgram) {
    const std::string old = IntelHex(RandomImage(kOldProgramBytes, 9));
    std::ofstream(rig.Path(kOldProgram)) << old;
    oldMemory = MemoryOf(old);
    node += ",flash=" + rig.Path(kOldProgram);
  }
  std::vector<std::string> options = {"--node", node};
  options.insert(options.end(), fault.options.begin(), fault.options.end());
  rig.StartBench(options);
  Row row;
  rig.StartUploader(60000);
  if (!HasFatalFailure()) DriveRun(rig, engine, row);
  if (row.outcome != "Not listed" && row.outcome != "Not started") row.flash = FlashVerdict(rig, engine, image);
  if (fault.oldProgram) row.kept = KeptVerdict(rig, oldMemory);
  WriteRow(rig, fault, engine, row);
  EXPECT_NE(row.outcome, "Hung") << "the run did not end within its bound";
  EXPECT_FALSE(row.outcome == kFinished && row.flash != "matches") << "a finished run over a flash that " << row.flash;
  EXPECT_NE(row.kept, "differs") << "the kept file is not the program the node ran";
}

std::string RunName(const testing::TestParamInfo<FaultMatrix::ParamType>& info) {
  return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(Bench, FaultMatrix, testing::Combine(testing::ValuesIn(kFaults), testing::ValuesIn(kEngines)),
                         RunName);
INSTANTIATE_TEST_SUITE_P(ReadOut, FaultMatrix,
                         testing::Combine(testing::ValuesIn(kReadOutFaults), testing::Values(kEngines[0])), RunName);

}  // namespace
