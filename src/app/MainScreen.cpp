#include "app/MainScreen.h"

#include <cstring>
#include <ctime>
#include <thread>

#include "app/Format.h"
#include "atmel/AtmelProgrammer.h"
#include "can/ProgramState.h"
#include "can/ReplyRouting.h"
#include "firmware/HexFolder.h"
#include "link/CanDispatch.h"
#include "nodes/DiscoveryFlags.h"
#include "nodes/NodeDiscovery.h"
#include "nodes/NodeTable.h"
#include "st10/St10Programmer.h"
#include "system/Clock.h"
#include "system/DosPath.h"
#include "ui/MessageBoxDialog.h"
#include "ui/ProgressBar.h"

std::atomic<int32_t> selectedNodeNumber{0};
std::atomic<uint16_t> selectedFileIndex{0};

namespace {

std::atomic<MainScreen*> theMainScreen{nullptr};

// A chattering connector brings the gateway back again and again: between two
// queries its returns ask for, the screen takes touches this long.
constexpr uint32_t kFollowUpPauseMs = 2000;

}  // namespace

MainScreen::MainScreen(const Services& services) : services_(services) {
  SetTheScreen(this);
  theMainScreen.store(this);
}

// The workers end, then the link's threads stop, before anything they call
// into goes away.
MainScreen::~MainScreen() {
  worker_.Close();
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
  QueryNodes();
  LoadProgramList();
  screenUp_ = true;
  ReleaseStatusLine();
  StartUnfinishedUpdates();
  RequeryIfWanted();  // a gateway plugged in during the query above
  return true;
}

uint8_t MainScreen::OpenGatewayLink() {
  link_->SetPresenceCallback([this](bool present, const std::string& why) { OnGatewayPresence(present, why); });
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

// A run under way ends through its own time-outs and boxes. Otherwise the
// operator sees that the gateway went, and once it is back the nodes are
// asked again, as soon as no run, query or start-up is under way.
void MainScreen::OnGatewayPresence(bool present, const std::string& why) {
  if (!present) {
    Log(Format("Gateway lost: %s", why.c_str()).c_str());
    if (gatewayNotice_.Gone(why)) ShowStatus("Gateway lost");
    return;
  }
  gatewayNotice_.Back();
  Log("Gateway connected");
  infoWanted_ = true;
  requeryWanted_ = true;
  RequeryIfWanted();
}

// On a worker of the kind a run uses (the reader must go on reading the
// replies), with touches ignored meanwhile. Called when the gateway comes
// back and when start-up ends; a query the gateway asked for during another
// waits for that one's pause.
void MainScreen::RequeryIfWanted() {
  if (!screenUp_ || !requeryWanted_ || followUpDue_ || !ClaimWork()) return;
  requerying_ = true;
  worker_.Start([this] { RequeryNodes(); });
}

// Started by the worker that ends while a query is wanted.
void MainScreen::FollowUpQuery() {
  const bool paused = worker_.Pause(kFollowUpPauseMs);
  followUpDue_ = false;
  if (!paused || !requeryWanted_ || !ClaimWork()) return;  // a run, which asks the nodes itself, or Exit came first
  requerying_ = true;
  RequeryNodes();
}

// As after a run, but nothing was programmed and what the operator set up
// stays: recovery mode and a bootloader's announcement survive, and the list
// is loaded as they want it. The screen ends as at start-up, with no node
// buttons and an empty status line.
void MainScreen::RequeryNodes() {
  std::lock_guard touch(touchLock_);
  ShowStatus("Initializing... Please Wait");
  InitNodeTable();
  QueryNodes();
  LoadProgramList();
  HideNodeButtons();
  ShowStatus("");
  requerying_ = false;
  FinishWork();
}

// Every node query covers a gateway that came back before it began; one that
// comes back later asks for another. A gateway that came back may be another
// one: its info words are read again first.
void MainScreen::QueryNodes() {
  requeryWanted_ = false;
  if (infoWanted_.exchange(false)) {
    ReadGatewayInfo();
    std::lock_guard lock(widgetLock_);  // a paint may be reading the label
    if (firmwareLabel_) firmwareLabel_->SetText(Format("Firmware Version: %d", gatewayFirmwareVersion_).c_str());
  }
  services_.discovery.SendCalRequests();
  NoteAnsweringNodes();
}

bool MainScreen::ClaimWork() {
  if (busy_.exchange(true)) return false;
  gatewayNotice_.Take();
  return true;
}

// The last call of every run and query: the status line tells whether the
// gateway is there, a query the gateway's return asked for meanwhile is set
// to follow, and only then are touches taken again.
void MainScreen::FinishWork() {
  ReleaseStatusLine();
  if (requeryWanted_ && !followUpDue_.exchange(true)) worker_.Start([this] { FollowUpQuery(); });
  busy_ = false;
}

void MainScreen::ReleaseStatusLine() {
  while (gatewayNotice_.Release()) ShowStatus("Gateway lost");
}

void MainScreen::OpenLogFile() {
  logFile_.Open(MapDosPath(Format("%s\\LOGFILE.txt", kHexFolder)));
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  Log(LogFile::HeaderLine(local, kVersion).c_str());
  // A port missing from the start was reported before the log was open.
  if (!gatewayNotice_.Present()) Log(Format("Gateway lost: %s", gatewayNotice_.Why().c_str()).c_str());
}

void MainScreen::ResetProgrammingState() {
  BootloaderAnnounced = false;
  RecoveryMode = false;
  BootloaderType = kNoBootloader;
  services_.atmel.ResetState();
  services_.st10.ResetState();
  InitNodeTable();
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

uint32_t MainScreen::LastFrameWritten() { return link_ ? link_->LastCanFrameWritten() : 0; }

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
