// The touch workflow: what a touch on the list, a node button, Start, Recov.
// or Exit does, and the list of hex files whose node is on the bus.
#include "app/MainScreen.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "app/Format.h"
#include "app/RunRules.h"
#include "console/ProgramState.h"
#include "firmware/HexFileTable.h"
#include "firmware/HexFolder.h"
#include "firmware/KeptProgram.h"
#include "console/DiscoveryFlags.h"
#include "nodes/NodeDiscovery.h"
#include "nodes/NodeTypeCatalogue.h"
#include "system/DirectoryListing.h"
#include "ui/PagedList.h"

namespace {

constexpr int kOk = 1;
constexpr const char* kRequeryUnderWay = "Gateway reconnected, finding the nodes... Please Wait";

}  // namespace

void MainScreen::OnLButtonDown(int x, int y) {
  if (!TakesTouches()) return;
  auto touch = work_.TryTouch();
  if (!touch) return;
  Widget* hit = nullptr;
  {
    std::lock_guard lock(widgetLock_);
    hit = widgets_.HitTouch(x, y);
  }
  if (hit && std::strcmp(hit->Name(), "Exit") == 0) return CloseScreen();
  Presence().Take();
  if (!hit || OnWidgetTouched(hit->Name())) InvalidateRect(&listRect_);
  ReleaseStatusLine();
  UpdateWindow();
}

// Touches are ignored while a run or query owns the screen.
bool MainScreen::TakesTouches() {
  if (work_.Free()) return true;
  if (Presence().Requerying()) ShowStatus(kRequeryUnderWay);  // the operator is not left guessing why nothing happens
  return false;
}

// The screen is taken for good, so no worker starts from here on; the one
// that may still be ending is waited for when the screen goes.
void MainScreen::CloseScreen() {
  if (!work_.Claim()) {
    ShowStatus(kRequeryUnderWay);  // the gateway's return started a query just now
    return;
  }
  logFile_.Close();
  EndDialog(kOk);
}

// Acts on the touched widget's key; false when the touch is refused, which
// leaves the list as it was.
bool MainScreen::OnWidgetTouched(const std::string& key) {
  std::string file;
  if (key == "Recov") {
    ShowStatus("Recovery Mode");
    recovery_.Start();
  } else if (key == "Start") {
    if (!RunRules::StartTakes(ProgramList()->SelectedIndex(), selectedNode_) || !SelectedFile(file))
      return RefuseStart();
    StartProgramming([this, node = selectedNode_, file] { run_.RunSingle(node, file); });
  } else if (key == "All") {
    if (RecoveryMode) return RefuseBatch();
    if (!SelectedFile(file)) return RefuseStart();
    StartProgramming(
        [this, group = selectedNode_, slots = ShownNodeSlots(), file] { run_.RunBatch(group, slots, file); });
  } else if (int offset = NodeTypeCatalogue::SlotOffset(key); offset >= 0) {
    if (!SelectedFile(file)) return RefuseStart();
    StartProgramming([this, node = selectedNode_ + offset, file] { run_.RunSingle(node, file); });
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

// A node recovered from its bootloader is addressed by no command, so its
// run must be the only one: a batch would program it in place of each node.
bool MainScreen::RefuseBatch() {
  ShowMessage("ERROR", "Recovery mode programs one node only. Touch the button of the node to recover.");
  return false;
}

// A touch on the list, a label or the picture: the selected row decides which
// node buttons (or Start) are offered.
void MainScreen::OnListTouched() {
  PagedList* list = ProgramList();
  int index = list->SelectedIndex();
  if (index < 0 || index > HexFileTable::kLastListedIndex) return;
  int code = services_.discovery.SlotForNodeType(NodeTypeName(*list, index));
  selectedNode_ = code;
  if (NodeTypeCatalogue::IsGroupCode(code)) {
    ShowNodeButtons(code);
    ShowStatus("Select Node To Program");
  } else {
    ShowNodeButtons(NodeTypeCatalogue::kStartOnly);
    ShowStatus("Press Start To Program");
  }
}

// The row's text begins with its node type, except a kept program's, whose
// type its file's name tells.
std::string MainScreen::NodeTypeName(PagedList& list, int index) {
  const std::string fileName = services_.hexFiles.At(index);
  std::string displayName;
  if (KeptProgram::IsKept(fileName)) {
    bool online = false;
    services_.discovery.DescribeHexFile(KeptProgram::FileName(fileName), displayName, online);
    return displayName;
  }
  char text[50] = {};
  list.GetText(text, sizeof text);
  return text;
}

// The file of the selected row; false when no row is selected, as when
// recovery reloaded the list under a node button still shown.
bool MainScreen::SelectedFile(std::string& fileName) {
  Widget* row = ProgramList()->SelectedRow();
  if (!row) return false;
  fileName = services_.hexFiles.At(static_cast<uint16_t>(std::atoi(row->Name())));
  return true;
}

// The slots of the node buttons on the screen, in slot order: the group code
// plus each shown button's offset.
std::vector<int32_t> MainScreen::ShownNodeSlots() {
  std::vector<int32_t> slots;
  std::lock_guard lock(widgetLock_);
  for (const NodeTypeCatalogue::Button& shown : NodeTypeCatalogue::EveryNodeButton()) {
    Widget* button = widgets_.Find(std::string(shown.key).c_str());
    if (button && button->IsTouchable()) slots.push_back(selectedNode_ + shown.offset);
  }
  return slots;
}

void MainScreen::ShowNodeButtons(int code) {
  HideNodeButtons();
  for (const std::string& key : NodeTypeCatalogue::KeysFor(code, program251Seen)) SetShown(key, true);
}

void MainScreen::HideNodeButtons() {
  for (const std::string& key : NodeTypeCatalogue::AllKeys()) SetShown(key, false);
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

// The screen is claimed here, before the thread exists, so no second touch
// can start another run in between.
void MainScreen::StartProgramming(std::function<void()> run) {
  if (!ClaimWork()) return;  // a query of the nodes came first
  worker_.Start(std::move(run));
}

PagedList* MainScreen::ProgramList() { return static_cast<PagedList*>(widgets_.Find("programSelection")); }

// ---- Hex file list -------------------------------------------------------------

void MainScreen::LoadProgramList() {
  Log("Enter load program list");
  {
    std::lock_guard lock(widgetLock_);
    ProgramList()->Clear();
  }
  int next = 0;
  if (ListHexFiles(next) && RecoveryMode) ListKeptPrograms(next);
}

// False once the list is full.
bool MainScreen::ListHexFiles(int& next) {
  std::string pattern = std::string(kHexFolder) + "*.hex";
  pattern.resize(std::min<size_t>(pattern.size(), 259));
  DirectoryListing listing;
  bool started = listing.Open(pattern);
  Log(pattern.c_str());
  if (!started) {
    Log("no hex file found");
    return true;
  }
  std::string fileName;
  while (listing.Next(fileName)) {
    fileName.resize(std::min<size_t>(fileName.size(), HexFileTable::kNameSize - 1));
    std::string displayName;
    bool online = false;
    services_.discovery.DescribeHexFile(fileName, displayName, online);
    Log(Format("%s - %s - online: %s", fileName.c_str(), displayName.c_str(), online ? "true" : "false").c_str());
    if (online && !AddListRow(next, fileName, displayName)) return false;
  }
  return true;
}

// A node in recovery may be given back the program it ran before an update.
void MainScreen::ListKeptPrograms(int& next) {
  for (const KeptProgram::Listed& kept : KeptProgram::List()) {
    Log(Format("%s - %s - online: true", kept.name.c_str(), kept.rowText.c_str()).c_str());
    if (!AddListRow(next, kept.name, kept.rowText)) return;
  }
}

// False once the list is full: the row just added was the last one shown.
bool MainScreen::AddListRow(int& next, const std::string& fileName, const std::string& rowText) {
  services_.hexFiles.Store(next, fileName);
  {
    std::lock_guard lock(widgetLock_);
    ProgramList()->AddRow(Format("%d", next).c_str(), rowText.c_str());
  }
  if (next++ < HexFileTable::kLastListedIndex) return true;
  ShowMessage("WARNING", "There are too many hex files in the Pinecroft directory, not all files are loaded.");
  return false;
}
