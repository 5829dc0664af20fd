#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "BoxGeometry.h"
#include "HeadlessScreen.h"
#include "TempDosDevices.h"
#include "app/MainScreen.h"
#include "atmel/AtmelProgrammer.h"
#include "firmware/HexFileTable.h"
#include "nodes/NodeDiscovery.h"
#include "system/Clock.h"
#include "st10/St10Programmer.h"

namespace {

// The main screen started on a headless display with no gateway, on the
// virtual clock so the node query takes no time. No node answers, so every
// program number is 0: files named P000... are online, P149... are not.
class MainScreenListTest : public ::testing::Test {
 protected:
  void SetUp() override { devices.MakeFolder("e:/Pinecroft"); }

  void AddFiles(const std::string& prefix, int count) {
    for (int i = 0; i < count; ++i) devices.WriteFile("e:/Pinecroft/" + prefix + std::to_string(1000 + i) + ".hex", "");
  }

  // Runs the screen until Exit, after script (on another thread) is done.
  void Run(const std::function<void()>& script = [] {}) {
    MainScreen screen(MainScreen::Services{files, discovery, st10, atmel});
    display.RunScripted(screen, [&] {
      script();
      display.Control().Touch(434, 580);
    });
  }

  std::vector<std::string> Log() const {
    std::vector<std::string> lines;
    std::ifstream log(devices.Root() + "/e:/Pinecroft/LOGFILE.txt");
    for (std::string line; std::getline(log, line);) lines.push_back(line.substr(0, line.find('\r')));
    return lines;
  }

  std::vector<std::string> FileLines() const {
    auto lines = Log();
    std::vector<std::string> files;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(files),
                 [](const std::string& l) { return l.find(" - online: ") != std::string::npos; });
    return files;
  }

  void AnswerBox(const std::string& text) {
    BoxGeometry box(text);
    for (int i = 0; i < 400; ++i) {
      auto shot = display.Control().Screenshot(display.Path("box.png"));
      if (shot && shot->Pixel(box.Frame().left, box.Frame().top + 1) == RGB(0, 0, 0)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    display.Control().Touch(box.ButtonX(0), box.ButtonY());
  }

  TempDosDevices devices;
  VirtualClock clock;
  ScopedClock installed{clock};
  HeadlessScreen display;
  HexFileTable files;
  NodeDiscovery discovery;
  St10Programmer st10;
  AtmelProgrammer atmel;
};

TEST_F(MainScreenListTest, OfflineFilesLeaveNoGapInTheRows) {
  devices.WriteFile("e:/Pinecroft/P149offline.hex", "");
  devices.WriteFile("e:/Pinecroft/P000first.hex", "");
  devices.WriteFile("e:/Pinecroft/P000second.hex", "");
  devices.WriteFile("e:/Pinecroft/notes.txt", "");
  Run();
  std::vector<std::string> online;
  for (const std::string& line : FileLines())
    if (line.find("online: true") != std::string::npos) online.push_back(line.substr(0, line.find(' ')));
  ASSERT_EQ(online.size(), 2u);
  EXPECT_EQ(files.At(0), online[0]);
  EXPECT_EQ(files.At(1), online[1]);
  EXPECT_STREQ(files.At(2), "");
  auto lines = FileLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "P149offline.hex - Alpha Node offline - online: false"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "P000first.hex - Unknown Node P000first - online: true"), lines.end());
  EXPECT_EQ(lines.size(), 3u);
}

TEST_F(MainScreenListTest, AnEmptyFolderListsNothing) {
  Run();
  auto lines = Log();
  auto pattern = std::find(lines.begin(), lines.end(), "e:\\Pinecroft\\*.hex");
  ASSERT_NE(pattern, lines.end());
  ASSERT_NE(pattern + 1, lines.end());
  EXPECT_EQ(*(pattern + 1), "no hex file found");
  EXPECT_EQ(*(pattern - 1), "Enter load program list");
}

TEST_F(MainScreenListTest, MoreThan101FilesStopAtTheWarning) {
  const std::string warning =
      "There are too many hex files in the Pinecroft directory, not all files are loaded.";
  AddFiles("P000file", 150);
  Run([&] { AnswerBox(warning); });
  EXPECT_EQ(FileLines().size(), 101u);
  EXPECT_STRNE(files.At(100), "");
  EXPECT_STREQ(files.At(101), "");
  auto lines = Log();
  auto box = std::find(lines.begin(), lines.end(), warning);
  ASSERT_NE(box, lines.end());
  EXPECT_NE((box - 1)->find("online: true"), std::string::npos) << "the box follows the 101st file";
}

TEST_F(MainScreenListTest, ExactlyOneHundredAndOneFilesStillWarn) {
  AddFiles("P000file", 101);
  Run([&] { AnswerBox("There are too many hex files in the Pinecroft directory, not all files are loaded."); });
  EXPECT_EQ(FileLines().size(), 101u);
}

}  // namespace
