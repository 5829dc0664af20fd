#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/LogFile.h"
#include "app/RunRules.h"
#include "app/ScreenWorker.h"
#include "app/TimeLeft.h"
#include "app/WorkCoordinator.h"
#include "firmware/UnfinishedUpdate.h"
#include "console/ProgramScreen.h"
#include "graphics/DeviceContext.h"
#include "display/Dialog.h"
#include "graphics/Font.h"
#include "graphics/Surface.h"
#include "link/GatewayPresence.h"
#include "nodes/NodeTable.h"
#include "ui/WidgetCollection.h"

class AtmelProgrammer;
class CanDispatch;
class HexFileTable;
class NodeDiscovery;
class PagedList;
class ProgressBar;
class St10Programmer;
class TextLabel;

// The current selection, written on the main thread before a run starts and
// read by the run's thread.
extern std::atomic<int32_t> selectedNodeNumber;  // slot 1..48 or a group code
extern std::atomic<uint16_t> selectedFileIndex;  // index into the hex file table

// The one full-screen window: it opens the gateway link, finds the nodes,
// lists the hex files, turns touches into programming runs and recovery, and
// shows and logs everything the rest of the program reports.
class MainScreen : public Dialog, public ProgramScreen {
 public:
  static constexpr const char* kVersion = "1.4.1.0";
  // Shown before a run sends its first command.
  static constexpr const char* kWaitWarning =
      "Wait for programming to complete before removing USB drive or turning off Lumen, doing so will cause node to "
      "fail and node will have to be sent to Alder for repair. Press OK to continue.";
  // How long a node gets to answer the bootloader command.
  static constexpr uint32_t kBootloaderAnswerMs = 1000;

  // The program-wide objects the screen works with.
  struct Services {
    HexFileTable& hexFiles;
    NodeDiscovery& discovery;
    St10Programmer& st10;
    AtmelProgrammer& atmel;
  };

  explicit MainScreen(const Services& services);
  ~MainScreen() override;

  // What discovery and the engines ask of the screen.
  bool SendCanMessage(CanMessage& message, bool extended, uint8_t length) override;
  uint32_t LastFrameWritten() override;
  void Log(const char* text) override;
  void ShowStatus(const char* text) override;
  void SetProgress(int value) override;
  void SetProgressVisible(bool visible) override;
  void ShowTimeLeft(uint32_t nodeMs, uint32_t wholeNodeMs) override;
  void ShowMessage(const char* title, const char* text) override;
  bool AskYesNo(const char* title, const char* text) override;

  // The link's receive callback and the routing of what it received.
  static void OnGatewayFrame(int unused);
  void RouteCanMessage(CanMessage message);

 protected:
  bool OnInitDialog() override;
  void OnPaint(DeviceContext& dc) override;
  void OnLButtonDown(int x, int y) override;

 private:
  // Start-up (MainScreen.cpp); widgets and drawing (MainScreenLayout.cpp).
  uint8_t OpenGatewayLink();
  void ReadGatewayInfo();
  // The link's news that the gateway went or came back, and the node
  // queries that its return asks for.
  GatewayPresence& Presence();
  void OnGatewayPresence(const GatewayPresence::News& news);
  void RequeryIfWanted();
  void FollowUpQuery();
  void RequeryNodes();
  void QueryNodes();
  // Runs and queries: one at a time, each owning the status line.
  bool ClaimWork();
  void FinishWork(const char* finalStatus);
  void ReleaseStatusLine();
  void SetStatusText(const char* text);
  void OpenLogFile();
  void CreateWidgets();
  void CreateNodeButton(const char* key, const char* caption, int x, int y);
  void CreateProgressBar();
  void CreateTimeLeftLabel();
  void SetTimeLeftText(const std::string& text);
  void ResetProgrammingState();

  // Touch workflow and the hex file list (MainScreenWorkflow.cpp).
  void CloseScreen();
  bool TakesTouches();
  bool OnWidgetTouched(const std::string& key);
  bool RefuseStart();
  bool RefuseBatch();
  void OnListTouched();
  bool SelectListedFile();
  void ShowNodeButtons(int code);
  void HideNodeButtons();
  void SetShown(const std::string& key, bool shown);
  void StartProgramming(void (MainScreen::*run)() = &MainScreen::RunProgramming);

  void LoadProgramList();

  // The programming run (MainScreenRunController.cpp) and recovery mode
  // (MainScreenRecoveryMode.cpp).
  void RunProgramming();
  void WarnUnknownVersion();
  static int32_t FileProgramNumber(const std::string& fileName);
  // touched: the operator aimed the run at this one node.
  bool FileSuitsSlot(int32_t fileProgram, int32_t slotNumber, bool touched = true);
  bool IsCompatible(int32_t fileProgram, int32_t nodeProgram, bool touched);
  void RefuseRun();
  bool IsProgrammableFile();
  void AbandonRun();
  UnfinishedUpdate UpdateRecord(int32_t slotNumber);
  bool RecordUpdate(const UnfinishedUpdate& record, bool ask);
  void ForgetUpdate(int32_t slotNumber);
  // kStopped: the operator chose not to go on without the update's record.
  enum class NodeOutcome { kProgrammed, kFailed, kNotSent, kStopped };
  NodeOutcome ProgramNode(int32_t slotNumber, bool confirmSuccess);
  bool BootloaderWaits();
  bool LeftBootloader(bool programmed);
  void EnterBootloader(int32_t slotNumber);
  bool ProgramInBootloader(bool confirmSuccess);
  void WrapUpRun(bool success);
  // Every node of the shown group in one go (MainScreenBatch.cpp).
  void RunBatch();
  std::vector<int32_t> ShownNodeSlots();
  void StartRecoveryMode();
  void AskForPowerCycle();
  bool FindNodeInBootloader();
  bool OneNodeMayWait();
  // What the console knows of nodes that may wait in a bootloader: the
  // updates still recorded for silent nodes, and the nodes that answered a
  // query since start-up but not the last one.
  void NoteAnsweringNodes();
  std::vector<RunRules::Pending> PendingUpdates();
  std::vector<int32_t> StoppedAnswering(const std::vector<RunRules::Pending>& pending);
  static std::string SlotNames(const std::vector<int32_t>& slots);
  // An update cut short before this start, offered again
  // (MainScreenUnfinishedUpdate.cpp).
  void StartUnfinishedUpdates();
  void OfferUnfinishedUpdates();
  bool OfferUnfinishedUpdate(int32_t slot);
  bool FindRecordedNode(int32_t bootloader);

  void Repaint(const Rect& area);
  PagedList* ProgramList();

  const Services services_;
  // A run or node query is under way, or Exit was touched: touches are
  // ignored and no other worker starts.
  WorkCoordinator work_;
  std::atomic<bool> screenUp_{false};  // start-up is over: the list can be reloaded
  std::atomic<bool> removalFailureTold_{false};  // a record drive d: kept against our will
  std::array<bool, kNodeSlotCount> answeredOnce_{};  // by slot - 1; written and read by one worker at a time
  // Held by a touch through its own boxes and by a requery, so that neither
  // starts under the other.
  std::mutex touchLock_;
  WidgetCollection widgets_;
  Brush backgroundBrush_ = Brush::Solid(RGB(255, 255, 255));
  Surface surface_{480, 640};
  DeviceContext surfaceDc_{&surface_};
  std::unique_ptr<Font> font22_;
  std::unique_ptr<Font> font15_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::unique_ptr<ProgressBar> progressBar_;
  std::string selectedFileName_;
  std::atomic<bool> progressVisible_{false};
  // Shown below the bar, and only with it.
  std::unique_ptr<TextLabel> timeLeftLabel_;
  TimeLeft timeLeft_;
  LogFile logFile_;
  uint32_t gatewayFirmwareVersion_ = 0;
  Widget* firmwareLabel_ = nullptr;  // owned by widgets_
  std::atomic<uint8_t> channel_{0};
  std::unique_ptr<CanDispatch> link_;  // lives until the screen object goes, after the hand-off
  std::array<uint32_t, 5> gatewayInfo_{};
  Rect fullScreenRect_{0, 0, 480, 640};
  Rect listRect_{};
  // Keeps the programming thread's list and button changes out of a paint.
  std::mutex widgetLock_;
  // Last, so that it is closed, and its threads waited for, before anything
  // they use goes.
  ScreenWorker worker_;
};
