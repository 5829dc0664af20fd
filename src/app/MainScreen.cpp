#include "app/MainScreen.h"

#include <cstring>
#include <ctime>
#include <thread>

#include "app/Format.h"
#include "atmel/AtmelProgrammer.h"
#include "console/ProgramState.h"
#include "console/ReplyRouting.h"
#include "firmware/HexFolder.h"
#include "link/CanDispatch.h"
#include "console/DiscoveryFlags.h"
#include "nodes/NodeDiscovery.h"
#include "nodes/NodeTable.h"
#include "st10/St10Programmer.h"
#include "system/Clock.h"
#include "system/DosPath.h"
#include "ui/MessageBoxDialog.h"
#include "ui/ProgressBar.h"
#include "ui/TextLabel.h"

namespace {

std::atomic<MainScreen*> theMainScreen{nullptr};

// A chattering connector brings the gateway back again and again: between two
// queries its returns ask for, the screen takes touches this long.
constexpr uint32_t kFollowUpPauseMs = 2000;

}  // namespace

MainScreen::MainScreen(const Services& services)
    : services_(services),
      engines_(services.st10, services.atmel),
      run_({*this, *this, engines_, waiting_, timeLeft_}),
      recovery_(*this, *this, engines_),
      offer_({*this, *this, engines_, waiting_, recovery_, run_}) {
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
  run_.Node().ResetProgrammingState();
  CreateProgressBar();
  CreateTimeLeftLabel();
  QueryNodes();
  LoadProgramList();
  work_.HandBack([this] { ReleaseStatusLine(); });
  UpdateWindow();
  StartUnfinishedUpdates();
  RequeryIfWanted();  // a gateway plugged in during the query above
  return true;
}

uint8_t MainScreen::OpenGatewayLink() {
  Presence().SetListener([this](const GatewayPresence::News& news) { OnGatewayPresence(news); });
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

GatewayPresence& MainScreen::Presence() { return link_->Presence(); }

// A run under way ends through its own time-outs and boxes. Otherwise the
// operator sees that the gateway went, and once it is back the nodes are
// asked again, as soon as no run, query or start-up is under way.
void MainScreen::OnGatewayPresence(const GatewayPresence::News& news) {
  if (!news.present) {
    Log(Format("Gateway lost: %s", news.why.c_str()).c_str());
    if (news.showNotice) ShowStatus("Gateway lost");
    return;
  }
  Log("Gateway connected");
  RequeryIfWanted();
}

// On a worker of the kind a run uses (the reader must go on reading the
// replies), with touches ignored meanwhile. Called when the gateway comes
// back and when start-up ends; a query the gateway asked for during another
// waits for that one's pause.
void MainScreen::RequeryIfWanted() {
  if (!Presence().RequeryWanted() || !ClaimWork()) return;
  Presence().SetRequerying(true);
  worker_.Start([this] { RequeryNodes(); });
}

// Started by the worker that ends while a query is wanted.
void MainScreen::FollowUpQuery() {
  const bool paused = worker_.Pause(kFollowUpPauseMs);
  const bool wanted = Presence().FollowUpBegins();
  if (!paused || !wanted || !ClaimWork()) return;  // a run, which asks the nodes itself, or Exit came first
  Presence().SetRequerying(true);
  RequeryNodes();
}

// As after a run, but nothing was programmed and what the operator set up
// stays: recovery mode and a bootloader's announcement survive, and the list
// is loaded as they want it. The screen ends as at start-up, with no node
// buttons and an empty status line.
void MainScreen::RequeryNodes() {
  {
    auto touch = work_.AwaitTouch();
    ShowStatus("Initializing... Please Wait");
    InitNodeTable();
    QueryNodes();
    LoadProgramList();
    HideNodeButtons();
  }
  FinishWork("");
}

// Every node query covers a gateway that came back before it began; one that
// comes back later asks for another. A gateway that came back may be another
// one: its info words are read again first.
void MainScreen::QueryNodes() {
  if (Presence().QueryBegins()) {
    ReadGatewayInfo();
    std::lock_guard lock(widgetLock_);  // a paint may be reading the label
    if (firmwareLabel_) firmwareLabel_->SetText(Format("Firmware Version: %d", gatewayFirmwareVersion_).c_str());
  }
  services_.discovery.SendCalRequests();
  waiting_.NoteAnswering();
}

// On a worker of the kind a run uses, since the boxes wait for the operator
// and the run that may follow must not hold up painting.
void MainScreen::StartUnfinishedUpdates() {
  if (!UpdateOffer::AnyRecord() || !ClaimWork()) return;
  worker_.Start([this] { offer_.OfferAll(); });
}

bool MainScreen::ClaimWork() {
  if (!work_.Claim()) return false;
  Presence().Take();
  return true;
}

// The last call of every run and query, in the one step that hands the
// screen back: the final status (none keeps the line as it is), "Gateway
// lost" over it while the gateway is gone, and a follow-up query for a
// gateway that came back meanwhile. The repaint waits for the main thread,
// so it comes after.
void MainScreen::FinishWork(const char* finalStatus) {
  work_.HandBack([&] {
    if (finalStatus) SetStatusText(finalStatus);
    ReleaseStatusLine();
    Presence().SetRequerying(false);
    if (Presence().FollowUpDue()) worker_.Start([this] { FollowUpQuery(); });
  });
  UpdateWindow();
}

// The caller repaints.
void MainScreen::ReleaseStatusLine() {
  while (Presence().Release()) SetStatusText("Gateway lost");
}

void MainScreen::OpenLogFile() {
  logFile_.Open(MapDosPath(Format("%s\\LOGFILE.txt", kHexFolder)));
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  Log(LogFile::HeaderLine(local, kVersion).c_str());
  // A port missing from the start was reported before the log was open.
  if (!Presence().Present()) Log(Format("Gateway lost: %s", Presence().Why().c_str()).c_str());
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

uint32_t MainScreen::LineFaults() { return link_ ? link_->LineFaults() : 0; }

void MainScreen::Log(const char* text) { logFile_.Write(text); }

void MainScreen::ShowStatus(const char* text) {
  SetStatusText(text);
  UpdateWindow();
}

void MainScreen::SetStatusText(const char* text) {
  Log(text);
  if (Widget* status = widgets_.Find("loadingMsg2")) status->SetText(text);
  InvalidateRect(&fullScreenRect_);
}

void MainScreen::SetProgress(int value) {
  if (progressBar_) progressBar_->SetValue(value);
  Repaint(fullScreenRect_);
}

// A bar that appears starts without the last run's time left; a retry or
// the next node of a batch keeps it until the engine's next estimate.
void MainScreen::SetProgressVisible(bool visible) {
  if (!progressVisible_.exchange(visible) && visible) SetTimeLeftText("");
}

// The engines report at every step of the bar.
void MainScreen::ShowTimeLeft(uint32_t nodeMs, uint32_t wholeNodeMs) {
  SetTimeLeftText(timeLeft_.Text(nodeMs, wholeNodeMs + NodeRun::kBootloaderAnswerMs));
}

// The screen is painted again only when the text the operator reads changes.
void MainScreen::SetTimeLeftText(const std::string& text) {
  if (!timeLeftLabel_) return;
  char shown[Widget::kTextSize];
  timeLeftLabel_->GetText(shown, sizeof shown);
  if (text == shown) return;
  timeLeftLabel_->SetText(text.c_str());
  Repaint(fullScreenRect_);
}

// A box waits for the operator, not for the node: the time left is told again
// once the run goes on.
void MainScreen::ShowMessage(const char* title, const char* text) {
  Log(text);
  SetTimeLeftText("");
  MessageBoxDialog box;
  box.title = title;
  box.text = text;
  box.buttons = MessageBoxDialog::ButtonOk;
  box.DoModal();
}

bool MainScreen::AskYesNo(const char* title, const char* text) {
  SetTimeLeftText("");
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
