#include "nodes/NodeDiscovery.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>

#include "console/ProgramScreen.h"
#include "console/ProgramState.h"
#include "link/CanDispatch.h"
#include "console/DiscoveryFlags.h"
#include "nodes/NodeTable.h"
#include "nodes/NodeTypeCatalogue.h"
#include "system/Clock.h"

namespace {

constexpr int32_t kNoProgram = -1;
constexpr uint32_t kGenericNodeProgram = 251;
constexpr uint8_t kOneByteProgram = 0xFF;  // in the high byte: the number is the low byte alone
constexpr size_t kCodeLength = 4;          // "P" and three digits
constexpr size_t kExtensionLength = 4;     // ".hex"

// A hex file belongs to the first row whose code its name begins with; its
// node is online when one of the row's programs is.
struct CatalogueRow {
  std::string_view code;
  std::array<int32_t, 2> programs;
  std::string_view label;
};

constexpr std::array<CatalogueRow, 43> kCatalogue{{
    {"P149", {149, kNoProgram}, "Alpha Node "},
    {"P157", {157, kNoProgram}, "Alpha Node (Make B) "},
    {"P163", {163, kNoProgram}, "Alpha Node (Make A) "},
    {"P293", {293, kNoProgram}, "Alpha Node (GEN II) "},
    {"P309", {309, kNoProgram}, "Alpha Node (Make B GEN II) "},
    {"P310", {310, kNoProgram}, "Alpha Node (Make A GEN II) "},
    {"P311", {311, kNoProgram}, "Alpha Node (Make C GEN II) "},
    {"P161", {161, kNoProgram}, "Epsilon Node "},
    {"P143", {143, kNoProgram}, "Beta Node "},
    {"P150", {150, kNoProgram}, "Beta Node (Make A) "},
    {"P144", {144, kNoProgram}, "Gamma Node "},
    {"P178", {178, kNoProgram}, "Gamma Node "},
    {"P179", {179, kNoProgram}, "Iota Node "},
    {"P180", {180, kNoProgram}, "Delta Node "},
    {"P346", {346, kNoProgram}, "Omega Node (Make D)"},
    {"P210", {210, kNoProgram}, "Eta Node "},
    {"P218", {218, kNoProgram}, "Eta Node "},
    {"P344", {344, kNoProgram}, "Eta Node (Make E) "},
    {"P238", {238, kNoProgram}, "Zeta Node "},
    {"P214", {214, kNoProgram}, "Theta Node "},
    {"P215", {215, 269}, "Kappa Node "},
    {"P269", {215, 269}, "Kappa Node "},
    {"P177", {177, kNoProgram}, "Lambda Node "},
    {"P345", {345, kNoProgram}, "Lambda Node (Make A) "},
    {"P257", {257, kNoProgram}, "Mu Switchbox "},
    {"P267", {267, kNoProgram}, "Mu Switchbox "},
    {"P251", {251, kNoProgram}, "Nu Node "},
    {"P308", {308, kNoProgram}, "Psi Node "},
    {"P252", {252, kNoProgram}, "Xi Node "},
    {"P253", {253, kNoProgram}, "Omicron Node "},
    {"P259", {259, kNoProgram}, "Pi Switchbox "},
    {"P268", {268, kNoProgram}, "Pi Switchbox "},
    {"P173", {173, kNoProgram}, "Gamma-Beta Node "},
    {"P271", {271, 294}, "Upsilon Node "},
    {"P294", {271, 294}, "Upsilon Node "},
    {"P341", {341, kNoProgram}, "Upsilon Node (Make A) "},
    {"P148", {148, kNoProgram}, "Chi Node "},
    {"P266", {266, kNoProgram}, "Rho Node "},
    {"P282", {282, kNoProgram}, "Sigma Node "},
    {"P279", {279, kNoProgram}, "Tau Node "},
    {"P322", {322, kNoProgram}, "Tau Node (Make B) "},
    {"P323", {323, kNoProgram}, "Tau Node (Make A) "},
    {"P291", {291, kNoProgram}, "Phi Node "},
}};

constexpr std::string_view kUnknownNodeLabel = "Unknown Node P";

[[gnu::format(printf, 1, 2)]] void LogLine(const char* format, ...) {
  ProgramScreen* screen = TheScreen();
  if (!screen) return;
  char line[NodeSlot::kNameSize + 64];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  screen->Log(line);
}

// What follows the first count characters; empty when there are fewer.
std::string_view After(std::string_view text, size_t count) { return text.substr(std::min(count, text.size())); }

// The decimal number the text begins with, as far as it is digits.
int32_t LeadingNumber(std::string_view text) {
  int32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

NodeDiscovery::NodeDiscovery() { InitNodeTable(); }

void NodeDiscovery::SendCalRequests() {
  LogLine("Sending Cal Request:");
  for (const NodeSlot& slot : NodeTable)
    LogLine("Tx - Node Num: %d, Node ID: %X, Node Name: %s", static_cast<int>(slot.number), slot.requestIdentifier,
            slot.name);
  queryInProgress = true;
  AwaitReplies(SendToEveryAddress());
  queryInProgress = false;
}

// The link writes each request once the gateway acknowledged the one before,
// so it never has more than one on the line; the gap keeps the bus, which
// carries a request and its answer in about 0.7 ms at 250 kbit/s, from
// outrunning the gateway's transmit queue.
uint32_t NodeDiscovery::SendToEveryAddress() {
  uint32_t sent = 0;
  for (auto slot = kNodeRequestIdentifiers.begin(); slot != kNodeRequestIdentifiers.end(); ++slot) {
    if (std::find(kNodeRequestIdentifiers.begin(), slot, *slot) != slot) continue;  // asked already
    if (sent++ > 0) Sleep(kRequestGapMs);
    CanMessage request;
    request.identifier = *slot;
    request.data[0] = kCalRequest;
    SendCan(request, false, 1);
  }
  return sent;
}

// The window runs from the last request on the line, not from its queueing:
// a lost Ack holds the next frame up to 200 ms in the link, a reopening's
// lost Ack 500 ms more; while requests wait there, the link's last write is
// "now". A link that keeps writing or holding (a gateway that never stops
// asking for frames again) is waited for no longer than a lost Ack for every
// request.
void NodeDiscovery::AwaitReplies(uint32_t requests, uint32_t windowMs) {
  ProgramScreen* screen = TheScreen();
  const uint32_t queuedAt = TickCount();
  const uint32_t limit = windowMs + requests * CanDispatch::kAckWaitMs;
  for (;;) {
    const uint32_t writtenAt = screen ? screen->LastFrameWritten() : queuedAt;
    const uint32_t now = TickCount();
    const uint32_t quiet = std::min(now - queuedAt, now - writtenAt);
    if (quiet >= windowMs || now - queuedAt >= limit) return;
    Sleep(std::min(windowMs - quiet, limit - (now - queuedAt)));
  }
}

void NodeDiscovery::OnCalReply(CanMessage message) {
  // A reply that comes after the whole query belongs to no slot.
  if (!queryInProgress || message.data[0] != kCalReply) return;
  const uint32_t program =
      message.data[4] == kOneByteProgram ? message.data[3] : message.data[3] + 256u * message.data[4];
  // The built-in identifiers, not the slots' copies: InitNodeTable may rewrite
  // the table on another thread while this runs on the receive thread.
  for (uint32_t index = 0; index < kNodeSlotCount; ++index) {
    if (kNodeResponseIdentifiers[index] != message.identifier) continue;
    NodeTable[index].program = program;
    if (program == kGenericNodeProgram) program251Seen = true;
    LogLine("Rx - Node Num: %d, Node ID: %X, Node Prog: %d", static_cast<int>(index + 1), message.identifier,
            static_cast<int>(program));
  }
}

void NodeDiscovery::OnReply(CanMessage message) { OnCalReply(message); }

bool NodeDiscovery::IsProgramOnline(int32_t program) const {
  return RecoveryMode || FirstSlotWithProgram(program) != 0;
}

void NodeDiscovery::DescribeHexFile(std::string_view fileName, std::string& displayName, bool& online) const {
  const std::string_view stem = fileName.substr(0, fileName.size() - std::min(kExtensionLength, fileName.size()));
  for (const CatalogueRow& row : kCatalogue) {
    if (!fileName.starts_with(row.code)) continue;
    online = std::any_of(row.programs.begin(), row.programs.end(),
                         [this](int32_t program) { return program != kNoProgram && IsProgramOnline(program); });
    displayName.assign(row.label).append(After(stem, kCodeLength));
    return;
  }
  // Unknown code: the program number is still in characters 2 to 4.
  online = IsProgramOnline(LeadingNumber(After(fileName, 1).substr(0, kCodeLength - 1)));
  displayName.assign(kUnknownNodeLabel).append(After(stem, 1));
}

int32_t NodeDiscovery::SlotForNodeType(std::string_view displayName) const {
  return NodeTypeCatalogue::CodeFor(displayName);
}
