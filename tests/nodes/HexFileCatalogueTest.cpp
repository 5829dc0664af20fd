#include <gtest/gtest.h>

#include <string>

#include "can/ProgramState.h"
#include "nodes/NodeDiscovery.h"
#include "nodes/NodeTable.h"
#include "tests/support/FakeScreen.h"

namespace {

struct CatalogueCase {
  const char* code;
  int32_t program;      // reported by the node
  int32_t alternative;  // also makes the file online, 0 for none
  const char* label;
  int32_t nodeType;     // what the display name selects
};

constexpr CatalogueCase kRows[] = {
    {"P149", 149, 0, "Alpha Node ", 1},
    {"P157", 157, 0, "Alpha Node (Make B) ", 1},
    {"P163", 163, 0, "Alpha Node (Make A) ", 1},
    {"P293", 293, 0, "Alpha Node (GEN II) ", 1},
    {"P309", 309, 0, "Alpha Node (Make B GEN II) ", 1},
    {"P310", 310, 0, "Alpha Node (Make A GEN II) ", 1},
    {"P311", 311, 0, "Alpha Node (Make C GEN II) ", 1},
    {"P161", 161, 0, "Epsilon Node ", 14},
    {"P143", 143, 0, "Beta Node ", 11},
    {"P150", 150, 0, "Beta Node (Make A) ", 11},
    {"P144", 144, 0, "Gamma Node ", 12},
    {"P178", 178, 0, "Gamma Node ", 12},
    {"P179", 179, 0, "Iota Node ", 18},
    {"P180", 180, 0, "Delta Node ", 13},
    {"P346", 346, 0, "Omega Node (Make D)", 13},
    {"P210", 210, 0, "Eta Node ", 16},
    {"P218", 218, 0, "Eta Node ", 16},
    {"P344", 344, 0, "Eta Node (Make E) ", 16},
    {"P238", 238, 0, "Zeta Node ", 15},
    {"P214", 214, 0, "Theta Node ", 17},
    {"P215", 215, 269, "Kappa Node ", 19},
    {"P269", 269, 215, "Kappa Node ", 19},
    {"P177", 177, 0, "Lambda Node ", 20},
    {"P345", 345, 0, "Lambda Node (Make A) ", 20},
    {"P257", 257, 0, "Mu Switchbox ", 21},
    {"P267", 267, 0, "Mu Switchbox ", 21},
    {"P251", 251, 0, "Nu Node ", 22},
    {"P308", 308, 0, "Psi Node ", 44},
    {"P252", 252, 0, "Xi Node ", 23},
    {"P253", 253, 0, "Omicron Node ", 25},
    {"P259", 259, 0, "Pi Switchbox ", 26},
    {"P268", 268, 0, "Pi Switchbox ", 26},
    {"P173", 173, 0, "Gamma-Beta Node ", 27},
    {"P271", 271, 294, "Upsilon Node ", 1},
    {"P294", 294, 271, "Upsilon Node ", 1},
    {"P341", 341, 0, "Upsilon Node (Make A) ", 1},
    {"P148", 148, 0, "Chi Node ", 1},
    {"P266", 266, 0, "Rho Node ", 28},
    {"P282", 282, 0, "Sigma Node ", 33},
    {"P279", 279, 0, "Tau Node ", 34},
    {"P322", 322, 0, "Tau Node (Make B) ", 34},
    {"P323", 323, 0, "Tau Node (Make A) ", 34},
    {"P291", 291, 0, "Phi Node ", 34},
};

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

class CatalogueRowTest : public HexFileCatalogueTest, public ::testing::WithParamInterface<CatalogueCase> {};

TEST_P(CatalogueRowTest, LabelReplacesTheCodeAndTheNodeTypeFollows) {
  const CatalogueCase& row = GetParam();
  const Description file = Describe(std::string(row.code) + "_v2 beta.hex");
  EXPECT_EQ(file.displayName, std::string(row.label) + "_v2 beta");
  EXPECT_EQ(discovery.SlotForNodeType(file.displayName), row.nodeType);
}

TEST_P(CatalogueRowTest, OnlineOnlyWhenANodeReportedTheRowsProgram) {
  const CatalogueCase& row = GetParam();
  const std::string fileName = std::string(row.code) + "x.hex";
  AllNodesReport(1);
  EXPECT_FALSE(Describe(fileName).online);

  FindNodeSlot(30)->program = static_cast<uint32_t>(row.program);
  EXPECT_TRUE(Describe(fileName).online);

  if (row.alternative != 0) {
    FindNodeSlot(30)->program = static_cast<uint32_t>(row.alternative);
    EXPECT_TRUE(Describe(fileName).online);
  }
}

TEST_P(CatalogueRowTest, CodeIsComparedCaseSensitively) {
  std::string fileName = std::string(GetParam().code) + "x.hex";
  fileName[0] = 'p';
  const Description file = Describe(fileName);
  EXPECT_EQ(file.displayName, "Unknown Node P" + fileName.substr(1, 4));
  EXPECT_EQ(discovery.SlotForNodeType(file.displayName), NodeDiscovery::kUnknownNodeType);
}

INSTANTIATE_TEST_SUITE_P(EveryRow, CatalogueRowTest, ::testing::ValuesIn(kRows));

TEST_F(HexFileCatalogueTest, KappaFilesAreBothOnlineForEitherProgram) {
  for (uint32_t reported : {215u, 269u}) {
    AllNodesReport(1);
    FindNodeSlot(19)->program = reported;
    for (const char* fileName : {"P215x.hex", "P269x.hex"}) {
      const Description file = Describe(fileName);
      EXPECT_TRUE(file.online) << fileName << " with " << reported;
      EXPECT_EQ(file.displayName, "Kappa Node x");
    }
  }
}

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

INSTANTIATE_TEST_SUITE_P(Names, UnknownFileTest,
                         ::testing::Values(UnknownCase{"P999x.hex", "Unknown Node P999x", 999},
                                           UnknownCase{"p149abc.hex", "Unknown Node P149abc", 149},
                                           UnknownCase{"X12y.hex", "Unknown Node P12y", 12},
                                           UnknownCase{"P1234.hex", "Unknown Node P1234", 123},
                                           UnknownCase{"Pabc.hex", "Unknown Node Pabc", 0},
                                           UnknownCase{"P-12.hex", "Unknown Node P-12", 0},
                                           UnknownCase{"P 12.hex", "Unknown Node P 12", 0},
                                           UnknownCase{"P12", "Unknown Node P", 12},
                                           UnknownCase{"P1", "Unknown Node P", 1},
                                           UnknownCase{"P", "Unknown Node P", 0},
                                           UnknownCase{"", "Unknown Node P", 0}));

TEST_F(HexFileCatalogueTest, NumberZeroIsOnlineWhileSomeSlotHasNotAnswered) {
  EXPECT_TRUE(Describe("Pxyz.hex").online) << "right after InitNodeTable every slot holds 0";
}

TEST_F(HexFileCatalogueTest, CodeAloneOrWithoutExtensionKeepsTheLabel) {
  EXPECT_EQ(Describe("P149").displayName, "Alpha Node ");
  EXPECT_EQ(Describe("P149.hex").displayName, "Alpha Node ");
  EXPECT_EQ(Describe("P1490.hex").displayName, "Alpha Node 0");
}

TEST_F(HexFileCatalogueTest, LongestListedNameIsDescribedWhole) {
  const std::string rest(251, 'r');
  const std::string fileName = "P282" + rest + ".hex";
  ASSERT_EQ(fileName.size(), 259u);
  EXPECT_EQ(Describe(fileName).displayName, "Sigma Node " + rest);
}

TEST_F(HexFileCatalogueTest, RecoveryModeMakesEveryFileOnline) {
  AllNodesReport(1);
  RecoveryMode = true;
  for (const char* fileName : {"P149x.hex", "P346.hex", "P999x.hex", "Pabc.hex", "p215.hex", ""})
    EXPECT_TRUE(Describe(fileName).online) << fileName;
  EXPECT_TRUE(discovery.IsProgramOnline(-5));
}

TEST_F(HexFileCatalogueTest, ProgramIsOnlineWhenAnySlotReportedIt) {
  AllNodesReport(1);
  EXPECT_FALSE(discovery.IsProgramOnline(279));
  EXPECT_FALSE(discovery.IsProgramOnline(0));
  EXPECT_FALSE(discovery.IsProgramOnline(-1));
  FindNodeSlot(48)->program = 279;
  EXPECT_TRUE(discovery.IsProgramOnline(279));
}

struct NodeTypeCase {
  const char* displayName;
  int32_t result;
};

class NodeTypeTest : public HexFileCatalogueTest, public ::testing::WithParamInterface<NodeTypeCase> {};

TEST_P(NodeTypeTest, FirstMatchingPrefixSelectsTheSlotOrGroup) {
  EXPECT_EQ(discovery.SlotForNodeType(GetParam().displayName), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Names, NodeTypeTest,
                         ::testing::Values(NodeTypeCase{"Alpha Node", 1}, NodeTypeCase{"Gamma-Beta Node x", 27},
                                           NodeTypeCase{"Gamma Node x", 12}, NodeTypeCase{"Omega Node", 13},
                                           NodeTypeCase{"Tau Node (Make A) x", 34}, NodeTypeCase{"Phi Node x", 34},
                                           NodeTypeCase{"Psi Node", 44}, NodeTypeCase{"Mu SwitchBox", 99},
                                           NodeTypeCase{"Xi_Node 1", 99}, NodeTypeCase{" Alpha Node", 99},
                                           NodeTypeCase{"Alpha", 99}, NodeTypeCase{"", 99},
                                           NodeTypeCase{"Unknown Node P149", 99}));

}  // namespace
