// Three Alpha nodes programmed with one file: by one touch on "All", and by
// three single runs one after the other, every box answered as soon as it is
// up. Times each from the first touch of a node button (or "All") to the
// last "Programming... Finished". scripts/benchmark runs it and reads, in the
// rig's output folder (e2e-output/BatchTiming.<Test>/ below the working
// directory):
//   measurements.txt   seconds=the wall-clock time
//   LOGFILE.txt        the uploader's log, which counts the node queries
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>

#include "UploaderRig.h"

namespace {

const char kWarning[] =
    "Wait for programming to complete before removing USB drive or turning off Lumen, doing so will cause node to "
    "fail and node will have to be sent to Alder for repair. Press OK to continue.";
const char kComplete[] = "Press OK to program another node.  When finished, press Exit and remove USB drive.";
const char kFile[] = "P149alpha.hex";
constexpr int kNodes[] = {1, 2, 4};
constexpr size_t kImageBytes = 8192;

// canbench with the three nodes on a 250 kbit/s bus behind a 1.5 Mbaud line.
void StartConsole(UploaderRig& rig) {
  rig.MakeImageFile(kFile, kImageBytes, 21);
  std::vector<std::string> options{"--bus-bitrate", "250000", "--line-baud", "1500000"};
  for (int node : kNodes)
    options.insert(options.end(), {"--node", "address=0x0" + std::to_string(node) + ",program=149,boot=atmel"});
  rig.StartBench(options);
  rig.StartUploader();
}

void Report(const UploaderRig& rig, const char* what, std::chrono::steady_clock::time_point start) {
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%s: %.1f s\n", what, took.count());
  std::ofstream(rig.OutputFolder() + "/measurements.txt") << "seconds=" << took.count() << "\n";
  std::ofstream(rig.OutputFolder() + "/LOGFILE.txt") << rig.LogBytes();
}

TEST(BatchTiming, OneTouchOnAll) {
  UploaderRig rig;
  StartConsole(rig);
  rig.SelectFile(kFile, "Select Node To Program");
  const auto start = std::chrono::steady_clock::now();
  rig.TouchAll();
  rig.AnswerBox("Programming 3 nodes: Alpha Node 1, Alpha Node 2, Alpha Node 4.\n" + std::string(kWarning),
                UploaderRig::kOk);
  rig.AnswerBox("Programmed: Alpha Node 1, Alpha Node 2, Alpha Node 4.", UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 300000));
  Report(rig, "three nodes by \"All\"", start);
}

TEST(BatchTiming, ThreeSingleRuns) {
  UploaderRig rig;
  StartConsole(rig);
  std::chrono::steady_clock::time_point start;
  int finished = 0;
  for (int node : kNodes) {
    rig.SelectFile(kFile, "Select Node To Program");
    if (finished == 0) start = std::chrono::steady_clock::now();
    rig.TouchNode(node);
    rig.AnswerBox(kWarning, UploaderRig::kOk);
    rig.AnswerBox(kComplete, UploaderRig::kOk);
    ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 300000, ++finished));
  }
  Report(rig, "three single runs", start);
}

}  // namespace
