#include <gtest/gtest.h>

#include <string>

#include "FakeScreen.h"
#include "can/ProgramState.h"
#include "nodes/NodeDiscovery.h"
#include "nodes/NodeTable.h"

namespace {

class HexFileCatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override { RecoveryMode = false; }
  void TearDown() override { RecoveryMode = false; }

  // Every slot answers, so no file is online by the number 0 of a silent slot.
  static void AllNodesReport(uint32_t program) {
    for (NodeSlot& slot : NodeTable) slot.program = program;
  }

  struct Description {
    std::string displayName = "stale";
    bool online = true;  // DescribeHexFile must overwrite both either way
  };
  Description Describe(std::string_view fileName) const {
    Description result;
    discovery.DescribeHexFile(fileName, result.displayName, result.online);
    return result;
  }

  FakeScreen screen;
  NodeDiscovery discovery;
};

struct RowCase {
  const char* code;
  int32_t program;      // reported by the node
  int32_t alternative;  // also makes the file online, 0 for none
  const char* label;
  int32_t nodeType;  // what the display name selects
};

class CatalogueRowTest : public HexFileCatalogueTest, public ::testing::WithParamInterface<RowCase> {};

TEST_P(CatalogueRowTest, LabelReplacesTheCodeAndTheRowsProgramsMakeTheFileOnline) {
  const RowCase& row = GetParam();
  const std::string fileName = std::string(row.code) + "_v2 beta.hex";
  const Description file = Describe(fileName);
  EXPECT_EQ(file.displayName, std::string(row.label) + "_v2 beta");
  EXPECT_EQ(discovery.SlotForNodeType(file.displayName), row.nodeType);

  AllNodesReport(1);
  EXPECT_FALSE(Describe(fileName).online);
  for (int32_t program : {row.program, row.alternative}) {
    if (program == 0) continue;
    FindNodeSlot(30)->program = static_cast<uint32_t>(program);
    EXPECT_TRUE(Describe(fileName).online) << program;
  }
}

// The first, the two pairs that share their programs, the label without a
// trailing blank, and the last rows whose node types share slot group 34.
INSTANTIATE_TEST_SUITE_P(Rows, CatalogueRowTest,
                         ::testing::Values(RowCase{"P149", 149, 0, "Alpha Node ", 1},
                                           RowCase{"P150", 150, 0, "Beta Node (Make A) ", 11},
                                           RowCase{"P346", 346, 0, "Omega Node (Make D)", 13},
                                           RowCase{"P215", 215, 269, "Kappa Node ", 19},
                                           RowCase{"P269", 269, 215, "Kappa Node ", 19},
                                           RowCase{"P173", 173, 0, "Gamma-Beta Node ", 27},
                                           RowCase{"P271", 271, 294, "Upsilon Node ", 1},
                                           RowCase{"P294", 294, 271, "Upsilon Node ", 1},
                                           RowCase{"P308", 308, 0, "Psi Node ", 44},
                                           RowCase{"P323", 323, 0, "Tau Node (Make A) ", 34},
                                           RowCase{"P291", 291, 0, "Phi Node ", 34}));

struct UnknownCase {
  const char* fileName;
  const char* displayName;
  int32_t number;  // the program number read from characters 2 to 4
};

class UnknownFileTest : public HexFileCatalogueTest, public ::testing::WithParamInterface<UnknownCase> {};

TEST_P(UnknownFileTest, ShownAsUnknownNodeAndOnlineByItsNumber) {
  const UnknownCase& file = GetParam();
  AllNodesReport(file.number + 1);
  EXPECT_EQ(Describe(file.fileName).displayName, file.displayName);
  EXPECT_FALSE(Describe(file.fileName).online);
  EXPECT_EQ(discovery.SlotForNodeType(file.displayName), NodeDiscovery::kUnknownNodeType);
  FindNodeSlot(48)->program = static_cast<uint32_t>(file.number);
  EXPECT_TRUE(Describe(file.fileName).online);
}

// Codes are compared case-sensitively: a lower-case p is an unknown code.
INSTANTIATE_TEST_SUITE_P(Names, UnknownFileTest,
                         ::testing::Values(UnknownCase{"P999x.hex", "Unknown Node P999x", 999},
                                           UnknownCase{"p149abc.hex", "Unknown Node P149abc", 149},
                                           UnknownCase{"p215.hex", "Unknown Node P215", 215},
                                           UnknownCase{"X12y.hex", "Unknown Node P12y", 12},
                                           UnknownCase{"P1234.hex", "Unknown Node P1234", 123},
                                           UnknownCase{"P-12.hex", "Unknown Node P-12", 0},
                                           UnknownCase{"P12", "Unknown Node P", 12},
                                           UnknownCase{"", "Unknown Node P", 0}));

TEST_F(HexFileCatalogueTest, CodeAloneOrWithoutExtensionKeepsTheLabel) {
  EXPECT_EQ(Describe("P149").displayName, "Alpha Node ");
  EXPECT_EQ(Describe("P149.hex").displayName, "Alpha Node ");
  EXPECT_EQ(Describe("P1490.hex").displayName, "Alpha Node 0");
}

TEST_F(HexFileCatalogueTest, OnlineByAnySlotRightAfterInitOrAlwaysInRecoveryMode) {
  EXPECT_TRUE(Describe("Pxyz.hex").online) << "right after InitNodeTable every slot holds 0";
  AllNodesReport(1);
  EXPECT_FALSE(discovery.IsProgramOnline(279));
  FindNodeSlot(48)->program = 279;
  EXPECT_TRUE(discovery.IsProgramOnline(279));
  RecoveryMode = true;
  for (const char* fileName : {"P149x.hex", "P999x.hex", "p215.hex", ""}) EXPECT_TRUE(Describe(fileName).online);
  EXPECT_TRUE(discovery.IsProgramOnline(-5));
}

TEST_F(HexFileCatalogueTest, FirstMatchingPrefixSelectsTheSlotOrGroup) {
  const std::pair<const char*, int32_t> names[] = {
      {"Gamma-Beta Node x", 27}, {"Gamma Node x", 12}, {"Omega Node", 13}, {"Phi Node x", 34},
      {"Mu SwitchBox", 99},      {"Xi_Node 1", 99},    {" Alpha Node", 99}, {"", 99}};
  for (const auto& [name, slot] : names) EXPECT_EQ(discovery.SlotForNodeType(name), slot) << name;
}

}  // namespace
