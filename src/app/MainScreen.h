#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/BusEngines.h"
#include "app/LogFile.h"
#include "app/RecoveryDialogue.h"
#include "app/RunController.h"
#include "app/RunHost.h"
#include "app/ScreenWorker.h"
#include "app/TimeLeft.h"
#include "app/UpdateOffer.h"
#include "app/WaitingNodes.h"
#include "app/WorkCoordinator.h"
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

// The one full-screen window: it opens the gateway link, finds the nodes,
// lists the hex files, turns touches into programming runs and recovery, and
// shows and logs everything the rest of the program reports. The runs
// themselves are the run controller's.
class MainScreen : public Dialog, public ProgramScreen, public RunHost {
 public:
  static constexpr const char* kVersion = "1.4.1.0";

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
  uint32_t LineFaults() override;
  void Log(const char* text) override;
  void ShowStatus(const char* text) override;
  void SetProgress(int value) override;
  void SetProgressVisible(bool visible) override;
  void ShowTimeLeft(uint32_t nodeMs, uint32_t wholeNodeMs) override;
  void ShowMessage(const char* title, const char* text) override;
  bool AskYesNo(const char* title, const char* text) override;

  // What a run asks of the screen.
  void QueryNodes() override;
  void LoadProgramList() override;
  void HideNodeButtons() override;
  bool ClaimWork() override;
  void FinishWork(const char* finalStatus) override;

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
  void StartUnfinishedUpdates();
  void ReleaseStatusLine();
  void SetStatusText(const char* text);
  void OpenLogFile();
  void CreateWidgets();
  void CreateNodeButton(const char* key, const char* caption, int x, int y);
  void CreateProgressBar();
  void CreateTimeLeftLabel();
  void SetTimeLeftText(const std::string& text);

  // Touch workflow and the hex file list (MainScreenWorkflow.cpp).
  void CloseScreen();
  bool TakesTouches();
  bool OnWidgetTouched(const std::string& key);
  bool RefuseStart();
  bool RefuseBatch();
  void OnListTouched();
  std::string NodeTypeName(PagedList& list, int index);
  bool ListHexFiles(int& next);
  void ListKeptPrograms(int& next);
  bool AddListRow(int& next, const std::string& fileName, const std::string& rowText);
  bool SelectedFile(std::string& fileName);
  std::vector<int32_t> ShownNodeSlots();
  void ShowNodeButtons(int code);
  void SetShown(const std::string& key, bool shown);
  // The run gets the selection by value: the touch's, whatever comes after.
  void StartProgramming(std::function<void()> run);

  void Repaint(const Rect& area);
  PagedList* ProgramList();

  const Services services_;
  // Start-up, a run or node query is under way, or Exit was touched: touches
  // are ignored and no other worker starts.
  WorkCoordinator work_;
  // The node or group code the touched row chose; main thread only.
  int32_t selectedNode_ = 0;
  WidgetCollection widgets_;
  Brush backgroundBrush_ = Brush::Solid(RGB(255, 255, 255));
  Surface surface_{480, 640};
  DeviceContext surfaceDc_{&surface_};
  std::unique_ptr<Font> font22_;
  std::unique_ptr<Font> font15_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::unique_ptr<ProgressBar> progressBar_;
  std::atomic<bool> progressVisible_{false};
  // Shown below the bar, and only with it.
  std::unique_ptr<TextLabel> timeLeftLabel_;
  TimeLeft timeLeft_;
  BusEngines engines_;
  WaitingNodes waiting_;
  RunController run_;
  RecoveryDialogue recovery_;
  UpdateOffer offer_;
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
