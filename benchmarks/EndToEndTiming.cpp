// Whole programming runs of a 32 KB image, the real uploader (headless)
// against canbench on a 250 kbit/s bus, driven like an operator with the
// end-to-end tests' rig; and the uploader idling on its main screen.
//
// Each run leaves its raw figures in the rig's output folder
// (e2e-output/EndToEndTiming.<Test>/ below the working directory), which
// scripts/benchmark reads:
//   log-times.txt      every log line with the wall-clock time it appeared
//   can.log            the bench's candump trace, same clock
//   image.hex          the programmed file (AtmelAlreadyRuns: the file the
//                      node already runs)
//   measurements.txt   name=value lines: peak memory, idle CPU
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "LogTimeline.h"
#include "OperatorTexts.h"
#include "StallProbe.h"
#include "UploaderRig.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kImageBytes = 32768;
constexpr int kIdleSeconds = 20;

std::string DrivePath(const std::string& relative) {
  const char* root = std::getenv("LUMEN_DOSDEVICES");
  return std::string(root ? root : "") + "/" + relative;
}

// The uploader started by this process (the rig does not hand out its id).
pid_t UploaderPid() {
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const pid_t pid = static_cast<pid_t>(std::atol(entry.path().filename().c_str()));
    std::ifstream stat(entry.path() / "stat");
    std::string pidField, comm, state;
    pid_t parent = 0;
    if (pid > 0 && stat >> pidField >> comm >> state >> parent && comm == "(uploader)" && parent == getpid())
      return pid;
  }
  return -1;
}

// Fields 14 and 15 of /proc/PID/stat: user and system time of all threads.
long CpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));  // after the command name
  std::string field;
  long utime = 0, stime = 0;
  for (int number = 3; number <= 15 && fields >> field; ++number) {
    if (number == 14) utime = std::atol(field.c_str());
    if (number == 15) stime = std::atol(field.c_str());
  }
  return utime + stime;
}

// The number in a "Name:  value" line of a /proc status file.
long StatusField(const std::string& statusPath, const std::string& name) {
  std::ifstream status(statusPath);
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(name + ":", 0) == 0) return std::atol(line.c_str() + name.size() + 1);
  return 0;
}

// Voluntary context switches (wake-ups) of each thread, by thread id.
std::map<std::string, long> VoluntarySwitches(pid_t pid) {
  std::map<std::string, long> switches;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task"))
    switches[task.path().filename()] = StatusField(task.path().string() + "/status", "voluntary_ctxt_switches");
  return switches;
}

// Wake-ups since the counts before: of all threads, and of the thread that woke most.
std::pair<long, long> WakeupsSince(pid_t pid, const std::map<std::string, long>& before) {
  long all = 0, most = 0;
  for (const auto& [thread, switches] : VoluntarySwitches(pid)) {
    const auto earlier = before.find(thread);
    const long woke = switches - (earlier == before.end() ? 0 : earlier->second);
    all += woke;
    most = std::max(most, woke);
  }
  return {all, most};
}

long PeakRssKb(pid_t pid) { return StatusField("/proc/" + std::to_string(pid) + "/status", "VmHWM"); }

// canbench with one node, every frame taking its time on the line and the bus.
std::vector<std::string> OnTheWire(const std::string& node) {
  return {"--bus-bitrate", "250000", "--line-baud", "1500000", "--node", node};
}

void SaveMeasurements(const UploaderRig& rig, const std::string& text) {
  std::ofstream(rig.OutputFolder() + "/measurements.txt") << text;
}

// One node to program: its file, canbench's description of it, its address
// and where its button (or Start) stands.
struct Target {
  const char* fileName;
  const char* node;
  int address;
  int x, y;
  unsigned seed;
  bool alreadyRuns = false;  // the node starts with the file's image, so nothing is written
};

// Programs a 32 KB image into the target and keeps the timeline of the run.
// The engine's part ends with the completion box's text, logged as the box
// goes up.
void TimeRun(const Target& target) {
  UploaderRig rig;
  const std::string image = rig.MakeImageFile(target.fileName, kImageBytes, target.seed);
  const std::string file = DrivePath(std::string("e:/Pinecroft/") + target.fileName);
  fs::copy_file(file, rig.OutputFolder() + "/image.hex");
  rig.StartBench(OnTheWire(std::string(target.node) + (target.alreadyRuns ? ",flash=" + file : "")));
  rig.StartUploader();
  LogTimeline timeline(DrivePath("e:/Pinecroft/LOGFILE.txt"));
  rig.TouchListRow(0);
  rig.WaitForLogLine("Select Node To Program", 2000);  // or "Press Start To Program"
  rig.Touch(target.x, target.y);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  const char* completion = target.alreadyRuns ? kAlreadyRuns : kComplete;
  {
    StallProbe probe;
    ASSERT_TRUE(rig.WaitForLogLine(completion, 300000)) << "the run did not complete";
    SaveMeasurements(rig, "peak_rss_kb=" + std::to_string(PeakRssKb(UploaderPid())) +
                              "\nprobe_stalls=" + std::to_string(probe.Stalls()) +
                              "\nprobe_stall_ms=" + std::to_string(probe.LostMs()) + "\n");
  }
  timeline.Save(rig.OutputFolder() + "/log-times.txt");
  rig.AnswerBox(completion, UploaderRig::kOk);
  // A node that was not written leaves no dump of its own; a dump asked for
  // while the written node's is being read would cut that one short.
  if (target.alreadyRuns) rig.BenchCommand("dump");
  for (int tries = 0; tries < 100 && rig.FlashDump(target.address) != image; ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(rig.FlashDump(target.address), image) << "the flash differs from the file";
}

TEST(EndToEndTiming, Atmel) {
  TimeRun({"P149alpha.hex", "address=0x01,program=149,boot=atmel,after=149", 0x01, 73 + 32, 410 + 32, 11});
}

TEST(EndToEndTiming, AtmelAlreadyRuns) {
  TimeRun({"P149alpha.hex", "address=0x01,program=149,boot=atmel,after=149", 0x01, 73 + 32, 410 + 32, 11, true});
}

TEST(EndToEndTiming, St10) {
  TimeRun({"P143beta.hex", "address=0x20,program=143,boot=st10,after=143", 0x20, 435, 517, 12});
}

// Starts canbench and the uploader, with the log's timeline following from
// the first line; the start's wall-clock time goes to measurements.txt.
std::unique_ptr<LogTimeline> StartTimed(UploaderRig& rig, const std::vector<std::string>& options) {
  rig.StartBench(options);
  auto timeline = std::make_unique<LogTimeline>(DrivePath("e:/Pinecroft/LOGFILE.txt"));
  const auto started =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch());
  rig.StartUploader();
  SaveMeasurements(rig, "start_unix_us=" + std::to_string(started.count()) + "\n");
  return timeline;
}

// Start-up with a gateway and 4 nodes, then a short run for its closing query.
TEST(EndToEndTiming, Queries) {
  UploaderRig rig;
  rig.MakeImageFile("P149alpha.hex", 1024, 14);
  std::vector<std::string> options = OnTheWire("address=0x01,program=149,boot=atmel,after=149");
  for (const char* node : {"address=0x20,program=143", "address=0x30,program=279", "address=0x35,program=253"})
    options.insert(options.end(), {"--node", node});
  const auto timeline = StartTimed(rig, options);
  rig.TouchListRow(0);
  rig.WaitForLogLine("Select Node To Program", 2000);
  rig.TouchNode(1);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox(kComplete, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  timeline->Save(rig.OutputFolder() + "/log-times.txt");
}

// Start-up with a node at every distinct address, all answering at once.
TEST(EndToEndTiming, EveryAddress) {
  UploaderRig rig;
  std::vector<std::string> options = {"--bus-bitrate", "250000", "--line-baud", "1500000"};
  for (int address : {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x20, 0x22, 0x30, 0x31, 0x32, 0x33,
                      0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x40, 0x60, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x70, 0x72, 0x90})
    options.insert(options.end(), {"--node", "address=" + std::to_string(address) + ",program=" +
                                                 std::to_string(100 + address)});
  StartTimed(rig, options)->Save(rig.OutputFolder() + "/log-times.txt");
}

// After start-up, with nothing touched: every thread should sleep until
// something arrives.
TEST(EndToEndTiming, Idle) {
  UploaderRig rig;
  rig.MakeImageFile("P149alpha.hex", 1024, 13);
  rig.StartBench(OnTheWire("address=0x01,program=149,boot=atmel"));
  rig.StartUploader();
  const pid_t uploader = UploaderPid();
  ASSERT_GT(uploader, 0);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const long ticksBefore = CpuTicks(uploader);
  const std::map<std::string, long> switchesBefore = VoluntarySwitches(uploader);
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(kIdleSeconds));
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  const double cpuSeconds = static_cast<double>(CpuTicks(uploader) - ticksBefore) / sysconf(_SC_CLK_TCK);
  const auto [wakeups, busiest] = WakeupsSince(uploader, switchesBefore);
  std::ostringstream text;
  text << "idle_seconds=" << took.count() << "\nidle_cpu_seconds=" << cpuSeconds << "\nidle_wakeups=" << wakeups
       << "\nidle_busiest_wakeups=" << busiest << "\npeak_rss_kb=" << PeakRssKb(uploader) << "\n";
  SaveMeasurements(rig, text.str());
}

}  // namespace
