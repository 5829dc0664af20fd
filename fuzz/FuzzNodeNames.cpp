// Any text as a hex file's name, through the catalogue that names it and the
// node-type list that maps the shown name to node buttons, and into the file
// table. The first input byte picks the table slot (also outside the table)
// and whether recovery mode is on; the rest is the name.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "can/ProgramState.h"
#include "firmware/HexFileTable.h"
#include "nodes/NodeDiscovery.h"

namespace {

constexpr size_t kLongestLabel = 27;  // "Alpha Node (Make B GEN II) "
constexpr int32_t kNodeTypeResults[] = {1, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                                        21, 22, 23, 25, 26, 27, 28, 33, 34, 44, 99};

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NodeDiscovery discovery;
  static HexFileTable table;
  if (size == 0) return 0;
  const int index = static_cast<int8_t>(data[0]) * 2;  // -256 to 254: inside and outside the table
  RecoveryMode = data[0] & 1;
  const std::string name(reinterpret_cast<const char*>(data + 1), size - 1);

  std::string displayName;
  bool online = false;
  discovery.DescribeHexFile(name, displayName, online);
  Require(displayName.size() <= name.size() + kLongestLabel);
  Require(!RecoveryMode || online);
  const int32_t slot = discovery.SlotForNodeType(displayName);
  Require(std::find(std::begin(kNodeTypeResults), std::end(kNodeTypeResults), slot) != std::end(kNodeTypeResults));

  const bool stored = table.Store(index, name);
  Require(stored == (index >= 0 && index < HexFileTable::kSlotCount));
  const std::string_view kept = table.At(index);
  const std::string_view expected = std::string_view(name).substr(0, HexFileTable::kNameSize - 1);
  Require(stored ? kept == expected.substr(0, expected.find('\0')) : kept.empty());
  return 0;
}
