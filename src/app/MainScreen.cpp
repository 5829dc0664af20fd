#include "app/MainScreen.h"

#include "app/NodeButtonGroups.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include "atmel/AtmelProgrammer.h"
#include "can/ProgramState.h"
#include "can/ReplyRouting.h"
#include "firmware/HexFileTable.h"
#include "firmware/HexFolder.h"
#include "link/CanDispatch.h"
#include "nodes/DiscoveryFlags.h"
#include "nodes/NodeDiscovery.h"
#include "nodes/NodeTable.h"
#include "system/Clock.h"
#include "system/DirectoryListing.h"
#include "system/DosPath.h"
#include "st10/St10Programmer.h"
#include "ui/ImageButton.h"
#include "ui/MessageBoxDialog.h"
#include "ui/PagedList.h"
#include "ui/ProgressBar.h"
#include "ui/TextLabel.h"

std::atomic<int32_t> selectedNodeNumber{0};
std::atomic<uint16_t> selectedFileIndex{0};

namespace {

std::atomic<MainScreen*> theMainScreen{nullptr};

constexpr uint32_t kBlack = RGB(0, 0, 0);
constexpr uint32_t kWhite = RGB(255, 255, 255);
constexpr uint32_t kRed = RGB(255, 0, 0);
constexpr uint32_t kGrey = RGB(192, 192, 192);
constexpr uint32_t kCenteredLine = kTextCenter | kTextSingleLine;
constexpr uint8_t kBootloaderCommand = 0xF1;
constexpr int kMaxListedIndex = 100;  // the file table holds slots 0..100
constexpr int kMaxStartIndex = 50;    // Start accepts only the first 51 rows
constexpr int kOk = 1;

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(length > 0 ? length : 0, '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

// The program number in characters 2 to 4 of a hex file name ("P149..." -> 149).
int32_t FileProgramNumber(const std::string& fileName) {
  return fileName.size() > 1 ? std::atoi(fileName.substr(1, 3).c_str()) : 0;
}

}  // namespace

MainScreen::MainScreen(const Services& services) : services_(services) {
  SetTheScreen(this);
  theMainScreen.store(this);
}

// The link's threads stop before anything they call into goes away.
MainScreen::~MainScreen() {
  if (link_) link_->Shutdown();
  theMainScreen.store(nullptr);
  SetTheScreen(nullptr);
}

// ---- Start-up ---------------------------------------------------------------

bool MainScreen::OnInitDialog() {
  link_ = std::make_unique<CanDispatch>();
  OpenGatewayLink();
  ReadGatewayInfo();
  OpenLogFile();
  width_ = 480;
  height_ = 640;
  MoveWindow(0, 0, width_, height_);
  font22_ = std::make_unique<Font>("Arial", 22, 400);
  font15_ = std::make_unique<Font>("Arial", 15, 400);
  surfaceDc_.SelectFont(font22_.get());
  surfaceDc_.SelectBrush(&backgroundBrush_);
  surfaceDc_.FillRect(fullScreenRect_);
  CreateWidgets();
  ResetProgrammingState();
  CreateProgressBar();
  services_.discovery.SendCalRequests();
  LoadProgramList();
  return true;
}

uint8_t MainScreen::OpenGatewayLink() {
  link_->Open("COM1", 1500000);
  channel_ = link_->CreateChannel(0, &MainScreen::OnGatewayFrame);
  return channel_;
}

void MainScreen::ReadGatewayInfo() {
  link_->RequestInfo();
  Sleep(500);
  gatewayInfo_ = link_->GetInfo();
  gatewayFirmwareVersion_ = gatewayInfo_[0];
}

void MainScreen::OpenLogFile() {
  logFile_.Open(MapDosPath(Format("%s\\LOGFILE.txt", kHexFolder)));
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  Log(LogFile::HeaderLine(local, kVersion).c_str());
}

void MainScreen::CreateWidgets() {
  widgets_.Add(new ImageButton("", 130, 125, 35));
  widgets_.Add(new TextLabel("", "Select Program To Update", nullptr, kBlack, kWhite, kTransparent, kCenteredLine,
                             Rect{0, 2, width_, 0}, 0, kBlack));
  auto* list = new PagedList("programSelection", Rect{50, 175, 430, 405}, 30, kBlack, nullptr, kBlack, kWhite, 0);
  list->SetScrollButtons(new ImageButton("", 132, 432, 175), new ImageButton("", 133, 432, 357));
  widgets_.Add(list);
  listRect_ = list->GetRect();
  widgets_.Add(new TextLabel("loadingMsg2", "", nullptr, kBlack, kWhite, kOpaque, kCenteredLine, Rect{0, 610, width_, 0},
                             0, kBlack));
  const int columns[] = {width_ - 407, width_ - 341, width_ - 275, width_ - 209, width_ - 143};
  const int upperRow = height_ - 230, lowerRow = height_ - 160;
  for (int i = 0; i < 10; ++i)
    CreateNodeButton(Format("Node%d", i).c_str(), Format("Node %d", i + 1).c_str(), columns[i % 5],
                     i < 5 ? upperRow : lowerRow);
  CreateNodeButton("XiNode1", "Node 1", columns[0], upperRow);
  CreateNodeButton("XiNode2", "Node 2", columns[1], upperRow);
  for (int i = 0; i < 5; ++i) CreateNodeButton(Format("Rho%d", i + 1).c_str(), Format("Rho %d", i + 1).c_str(), columns[i], upperRow);
  const char* psiCaptions[] = {"Nu 1", "Nu 2", "Nu 3", "Nu 4", "Omicron"};
  for (int i = 0; i < 5; ++i) CreateNodeButton(Format("Psi%d", i + 1).c_str(), psiCaptions[i], columns[i], upperRow);
  CreateNodeButton("Start", "Start", width_ - 77, height_ - 155);
  HideNodeButtons();
  CreateNodeButton("Exit", "Exit", width_ - 77, height_ - 90);
  CreateNodeButton("Recov", "Recov.", width_ - 473, height_ - 90);
  widgets_.Add(new TextLabel("", Format("Firmware Version: %d", gatewayFirmwareVersion_).c_str(), font15_.get(), kGrey,
                             kWhite, kTransparent, kTextSingleLine, Rect{2, height_ - 21, 0, 0}, 0, kBlack));
  widgets_.Add(new TextLabel("", Format("Software Version: %s", kVersion).c_str(), font15_.get(), kGrey, kWhite,
                             kTransparent, kTextSingleLine, Rect{5, 5, 480, 0}, 0, kBlack));
}

void MainScreen::CreateNodeButton(const char* key, const char* caption, int x, int y) {
  auto* button = new ImageButton(key, 129, x, y);
  button->SetCaption(caption, nullptr, kRed, kTextCenter, nullptr);
  widgets_.Add(button);
}

void MainScreen::CreateProgressBar() {
  progressBar_ = std::make_unique<ProgressBar>(0, 0, 110, 30, 0, 0.0, 100.0, 10.0, 50.0, 80.0);
  progressBar_->SetSize(25, 320);
  progressBar_->SetPosition(width_ - 404, height_ - 75);
  progressBar_->SetMinimum(0.0);
  progressBar_->SetMaximum(100.0);
  progressBar_->SetInset(2);
  progressBar_->SetFillColor(RGB(0, 0, 255));
  progressBar_->SetValue(0.0);
}

void MainScreen::ResetProgrammingState() {
  BootloaderAnnounced = false;
  RecoveryMode = false;
  BootloaderType = kNoBootloader;
  services_.atmel.ResetState();
  services_.st10.ResetState();
  InitNodeTable();
}

// ---- Drawing -----------------------------------------------------------------

void MainScreen::OnPaint(DeviceContext& dc) {
  {
    std::lock_guard lock(widgetLock_);
    surfaceDc_.FillRect(Rect{0, 0, width_, height_});
    widgets_.DrawAll(surfaceDc_);
    if (progressVisible_ && progressBar_) progressBar_->Draw(surfaceDc_);
  }
  dc.BitBlt(0, 0, width_, height_, surface_, 0, 0);
}

void MainScreen::Repaint(const Rect& area) {
  InvalidateRect(&area);
  UpdateWindow();
}

// ---- What the rest of the program shows ---------------------------------------

bool MainScreen::SendCanMessage(CanMessage& message, bool extended, uint8_t length) {
  if (extended)
    message.flags |= CanMessage::kExtendedFlag;
  else
    message.flags &= ~CanMessage::kExtendedFlag;
  message.length = length;
  return link_ && link_->QueueCanFrame(channel_, message, message.data);
}

void MainScreen::Log(const char* text) { logFile_.Write(text); }

void MainScreen::ShowStatus(const char* text) {
  Log(text);
  if (Widget* status = widgets_.Find("loadingMsg2")) status->SetText(text);
  Repaint(fullScreenRect_);
}

void MainScreen::SetProgress(int value) {
  if (progressBar_) progressBar_->SetValue(value);
  Repaint(fullScreenRect_);
}

void MainScreen::SetProgressVisible(bool visible) { progressVisible_ = visible; }

void MainScreen::ShowMessage(const char* title, const char* text) {
  Log(text);
  MessageBoxDialog box;
  box.title = title;
  box.text = text;
  box.buttons = MessageBoxDialog::ButtonOk;
  box.DoModal();
}

bool MainScreen::AskYesNo(const char* title, const char* text) {
  MessageBoxDialog box;
  box.title = title;
  box.text = text;
  box.buttons = MessageBoxDialog::ButtonYes | MessageBoxDialog::ButtonNo;
  box.DoModal();
  return box.PressedButton && std::strcmp(box.PressedButton->Name(), "yes") == 0;
}

// ---- Received frames ----------------------------------------------------------

void MainScreen::OnGatewayFrame(int) {
  MainScreen* screen = theMainScreen.load();
  if (!screen || !screen->link_) return;
  CanMessage message;
  screen->link_->GetLastFrame(screen->channel_, message);
  screen->RouteCanMessage(message);
}

void MainScreen::RouteCanMessage(CanMessage message) {
  RouteReply(message, queryInProgress, services_.discovery, services_.st10, services_.atmel);
}

// ---- Touch workflow -------------------------------------------------------------

void MainScreen::OnLButtonDown(int x, int y) {
  if (busy_) return;
  Widget* hit = nullptr;
  {
    std::lock_guard lock(widgetLock_);
    hit = widgets_.HitTouch(x, y);
  }
  if (hit && !OnWidgetTouched(hit->Name())) return;
  Repaint(listRect_);
}

// Acts on the touched widget's key; false when the touch ends the screen or
// is refused, which leaves the list as it was.
bool MainScreen::OnWidgetTouched(const std::string& key) {
  if (key == "Exit") {
    logFile_.Close();
    EndDialog(kOk);
    return false;
  }
  if (key == "Recov") {
    ShowStatus("Recovery Mode");
    StartRecoveryMode();
  } else if (key == "Start") {
    int index = ProgramList()->SelectedIndex();
    if (index < 0 || index > kMaxStartIndex || selectedNodeNumber == 0 || !SelectListedFile()) return RefuseStart();
    StartProgramming();
  } else if (int offset = NodeButtonGroups::SlotOffset(key); offset >= 0) {
    if (!SelectListedFile()) return RefuseStart();
    selectedNodeNumber += offset;
    StartProgramming();
  } else {
    OnListTouched();
  }
  return true;
}

bool MainScreen::RefuseStart() {
  Log("ERROR: An unsuported hex file was selected");
  ShowMessage("ERROR", "Invalid hex file, select another hex file to program.");
  return false;
}

// A touch on the list, a label or the picture: the selected row decides which
// node buttons (or Start) are offered.
void MainScreen::OnListTouched() {
  PagedList* list = ProgramList();
  int index = list->SelectedIndex();
  if (index < 0 || index > kMaxListedIndex) return;
  char displayName[50] = {};
  list->GetText(displayName, sizeof displayName);
  int code = services_.discovery.SlotForNodeType(displayName);
  selectedNodeNumber = code;
  if (NodeButtonGroups::IsGroupCode(code)) {
    ShowNodeButtons(code);
    ShowStatus("Select Node To Program");
  } else {
    ShowNodeButtons(0);
    ShowStatus("Press Start To Program");
  }
}

// Takes the file of the selected row; false when no row is selected, as
// when recovery reloaded the list under a node button still shown.
bool MainScreen::SelectListedFile() {
  Widget* row = ProgramList()->SelectedRow();
  if (!row) return false;
  selectedFileIndex = static_cast<uint16_t>(std::atoi(row->Name()));
  selectedFileName_ = services_.hexFiles.At(selectedFileIndex);
  return true;
}

void MainScreen::ShowNodeButtons(int code) {
  HideNodeButtons();
  for (const std::string& key : NodeButtonGroups::KeysFor(code, program251Seen)) SetShown(key, true);
}

void MainScreen::HideNodeButtons() {
  for (const std::string& key : NodeButtonGroups::AllKeys()) SetShown(key, false);
}

void MainScreen::SetShown(const std::string& key, bool shown) {
  std::lock_guard lock(widgetLock_);
  Widget* widget = widgets_.Find(key.c_str());
  if (!widget) return;
  if (shown)
    widget->SetFlags(Widget::Enabled | Widget::Visible);
  else
    widget->ClearFlags(Widget::Enabled | Widget::Visible);
}

// busy is set here, before the thread exists, so no second touch can start
// another run in between.
void MainScreen::StartProgramming() {
  busy_ = true;
  std::thread([this] { RunProgramming(); }).detach();
}

PagedList* MainScreen::ProgramList() { return static_cast<PagedList*>(widgets_.Find("programSelection")); }

// ---- Hex file list -------------------------------------------------------------

void MainScreen::LoadProgramList() {
  Log("Enter load program list");
  {
    std::lock_guard lock(widgetLock_);
    ProgramList()->Clear();
  }
  std::string pattern = std::string(kHexFolder) + "*.hex";
  pattern.resize(std::min<size_t>(pattern.size(), 259));
  DirectoryListing listing;
  bool started = listing.Open(pattern);
  Log(pattern.c_str());
  if (!started) {
    Log("no hex file found");
    return;
  }
  int next = 0;
  std::string fileName;
  while (listing.Next(fileName)) {
    fileName.resize(std::min<size_t>(fileName.size(), 259));
    std::string displayName;
    bool online = false;
    services_.discovery.DescribeHexFile(fileName, displayName, online);
    Log(Format("%s - %s - online: %s", fileName.c_str(), displayName.c_str(), online ? "true" : "false").c_str());
    if (!online) continue;
    services_.hexFiles.Store(next, fileName);
    {
      std::lock_guard lock(widgetLock_);
      ProgramList()->AddRow(Format("%d", next).c_str(), displayName.c_str());
    }
    if (next == kMaxListedIndex) {
      ShowMessage("WARNING", "There are too many hex files in the Pinecroft directory, not all files are loaded.");
      break;
    }
    ++next;
  }
}

// ---- Programming run -----------------------------------------------------------

void MainScreen::RunProgramming() {
  busy_ = true;
  Log(Format("Enter Programming - Selected node name: %s, selected node number: %d", selectedFileName_.c_str(),
             selectedNodeNumber.load())
          .c_str());
  if (selectedNodeNumber >= 99) {
    Log("WARNING: attempting to program a node with an unknown firmware version.");
    ShowMessage("WARNING!!!", "You are attempting to program a node with an unknown firmware version.");
    selectedNodeNumber -= 98;
  }
  int32_t fileProgram = FileProgramNumber(selectedFileName_);
  NodeSlot* slot = FindNodeSlot(selectedNodeNumber);
  int32_t nodeProgram = slot ? static_cast<int32_t>(slot->program.load()) : 0;
  Log(Format("program number on hex file [%d], program number on node [%d].", fileProgram, nodeProgram).c_str());
  if (!IsCompatible(fileProgram, nodeProgram)) {
    RefuseRun(fileProgram, nodeProgram);
    return;
  }
  ShowMessage("WARNING!!!",
              "Wait for programming to complete before removing USB drive or turning off Lumen, doing so will cause "
              "node to fail and node will have to be sent to Alder for repair. Press OK to continue.");
  ShowStatus("Programming... Please Wait");
  if (!RecoveryMode) EnterBootloader();
  WrapUpRun(ProgramInBootloader());
}

bool MainScreen::IsCompatible(int32_t fileProgram, int32_t nodeProgram) {
  if (fileProgram == nodeProgram) return true;
  if (fileProgram == 279) {
    if (int32_t found = FirstSlotWithProgram(279)) {
      Log(Format("Found matching program number [%d] at node index [%d]", 279, found).c_str());
      return true;
    }
  }
  return RecoveryMode;
}

// A file that does not suit the node: nothing is sent and no new query runs.
void MainScreen::RefuseRun(int32_t fileProgram, int32_t nodeProgram) {
  Log(Format("WARNING: program number on hex file [%d] does not match program number on node [%d].", fileProgram,
             nodeProgram)
          .c_str());
  ShowMessage("WARNING!!!",
              "The selected node is not supported with the selected firmware version, select a different firmware or "
              "node and try again");
  LoadProgramList();
  HideNodeButtons();
  progressVisible_ = false;
  busy_ = false;
  ShowStatus("Programming... Failed");
}

// One bootloader command to the selected slot; the answer must arrive within
// the second that follows.
void MainScreen::EnterBootloader() {
  ResetProgrammingState();
  NodeSlot* slot = FindNodeSlot(selectedNodeNumber);
  CanMessage command;
  command.identifier = slot ? slot->requestIdentifier : 0;
  command.data[0] = kBootloaderCommand;
  SendCanMessage(command, true, 1);
  Log(Format("Sending bootloader: CAN ID = %X, Length = 1, Data = %X", command.identifier, kBootloaderCommand).c_str());
  Sleep(1000);
}

bool MainScreen::ProgramInBootloader() {
  switch (BootloaderType.load()) {
    case kSt10Bootloader: {
      Log("ST10 MODE - node is in bootloader mode");
      bool programmed = services_.st10.Program(selectedFileName_);
      Log(programmed ? "ST10 Mode - programming complete" : "ST10 Mode - error programming node");
      return programmed;
    }
    case kAtmelBootloader: {
      Log("Atmel Mode - node is in bootloader mode");
      bool programmed = services_.atmel.Program(selectedFileName_, true);
      Log(programmed ? "Atmel Mode - programming complete" : "Atmel Mode - error programming node");
      return programmed;
    }
    default:
      Log("Received no node response");
      ShowMessage("ERROR!!!", "No node response.");
      return false;
  }
}

// Fresh node numbers and file list for the next selection.
void MainScreen::WrapUpRun(bool success) {
  ShowStatus("Initializing... Please Wait");
  ResetProgrammingState();
  services_.discovery.SendCalRequests();
  LoadProgramList();
  ShowNodeButtons(5);
  progressVisible_ = false;
  busy_ = false;
  ShowStatus(success ? "Programming... Finished" : "Programming... Failed");
}

// ---- Recovery mode --------------------------------------------------------------

void MainScreen::StartRecoveryMode() {
  Log("Enter start recovery mode");
  bool yes = AskYesNo("WARNING!!!",
                      "You have selected Recovery Mode, this mode will help recover ST10 nodes that have encountered an "
                      "error during programming. Would you like to contine?");
  if (!yes) {
    RecoveryMode = false;
  } else {
    RecoveryMode = true;
    ShowMessage("RECOVERY MODE", "Please cycle power to the ST10 node you wish to recover, press OK when this is complete.");
    if (BootloaderAnnounced) {
      LoadProgramList();
      ShowMessage("RECOVERY MODE",
                  "WARNING. Select the correct hex file for the failed node update. If incorrect hex file is selected "
                  "and programmed, the node would need to be sent to Alder for repair. Press 'OK' to begin node "
                  "recovery.");
    } else {
      RecoveryMode = false;
      ShowMessage("RECOVERY MODE", "There was no node found that needed recovering.");
    }
  }
  ShowStatus("");
}
