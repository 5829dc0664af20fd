#include "firmware/IntelHexReader.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>
#include <vector>

#include "FakeScreen.h"
#include "TempDosDevices.h"

namespace {

using Result = IntelHexReader::Result;

TEST(ParseHexTest, ReadsUpToFifteenLeadingHexDigits) {
  const std::pair<const char*, uint64_t> cases[] = {{"", 0},
                                                    {"1G", 1},
                                                    {"G1", 0},
                                                    {"aB", 0xAB},
                                                    {"12 34", 0x12},
                                                    {"123456789abcdef9", 0x123456789ABCDEFull},
                                                    {"FFFFFFFFFFFFFFFFFFFF", 0x0FFFFFFFFFFFFFFFull}};
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseHex(text), value) << text;
}

class IntelHexTest : public ::testing::Test {
 protected:
  IntelHexTest() { image.fill(0xFF); }

  Result Parse(const std::string& text) {
    std::istringstream in(text);
    return IntelHexReader(image, imageEnd).Read(in);
  }
  bool ReadFile(const std::string& name) { return IntelHexReader(image, imageEnd).ReadFile(name); }

  // Every image byte is the listed one or, unlisted, still erased.
  void ExpectImage(const std::map<uint32_t, uint8_t>& bytes) const {
    for (uint32_t k = 0; k < image.size(); ++k) {
      const auto listed = bytes.find(k);
      ASSERT_EQ(image[k], listed != bytes.end() ? listed->second : 0xFF) << "address " << k;
    }
  }

  std::array<uint8_t, kNodeMemorySize> image;
  uint16_t imageEnd = 0;
  TempDosDevices drives;
  FakeScreen screen;
};

// ---- Records ----

struct RecordsCase {
  const char* name;
  const char* text;
  Result result;
  std::map<uint32_t, uint8_t> bytes;
  uint16_t end;
};

class IntelHexRecordsTest : public IntelHexTest, public ::testing::WithParamInterface<RecordsCase> {};

TEST_P(IntelHexRecordsTest, FillTheImageAndItsEnd) {
  EXPECT_EQ(Parse(GetParam().text), GetParam().result);
  ExpectImage(GetParam().bytes);
  EXPECT_EQ(imageEnd, GetParam().end);
}

const std::map<uint32_t, uint8_t> k30{{0x30, 0x02}, {0x31, 0x33}, {0x32, 0x7A}};

INSTANTIATE_TEST_SUITE_P(
    Files, IntelHexRecordsTest,
    ::testing::Values(
        RecordsCase{"OneDataRecord", ":0300300002337A1E\r\n:00000001FF\r\n", Result::kComplete, k30, 0x33},
        RecordsCase{"EndRecordAlone", ":00000001FF\n", Result::kComplete, {}, 0},
        RecordsCase{"AnyByteCountZeroEnds", ":00123400xx\n:0300300002337A1E\n", Result::kComplete, {}, 0},
        RecordsCase{"TextBeforeTheColons", "firmware P149\r\n\r\n  \n:0300300002337A1E\n\n\n junk :00000001FF",
                    Result::kComplete, k30, 0x33},
        RecordsCase{"LowerCase", ":0300300002337a1e\n:00000001ff\n", Result::kComplete, k30, 0x33},
        RecordsCase{"AddressRecordIsData", ":020000040000FA\n:00000001FF\n", Result::kComplete, {{0, 0}, {1, 0}}, 2},
        RecordsCase{"DescendingKeepsTheFirstEnd", ":020010001122BB\n:02000000334487\n:00000001FF\n",
                    Result::kComplete, {{0x00, 0x33}, {0x01, 0x44}, {0x10, 0x11}, {0x11, 0x22}}, 0x12},
        RecordsCase{"StartBelowTheEndNeverMovesIt", ":0400100001020304E2\n:04001200AABBCCDDDC\n:00000001FF\n",
                    Result::kComplete, {{0x10, 1}, {0x11, 2}, {0x12, 0xAA}, {0x13, 0xBB}, {0x14, 0xCC}, {0x15, 0xDD}},
                    0x14},
        RecordsCase{"LaterOverwrites", ":0300300002337A1E\n:01003100AA24\n:00000001FF\n", Result::kComplete,
                    {{0x30, 0x02}, {0x31, 0xAA}, {0x32, 0x7A}}, 0x33},
        RecordsCase{"NonHexEndsTheDigits", ":010040003GBC\n:00000001FF\n", Result::kComplete, {{0x40, 0x03}}, 0x41},
        RecordsCase{"UpToTheLastAddress", ":027FFE00ABCD09\n:00000001FF\n", Result::kComplete,
                    {{0x7FFE, 0xAB}, {0x7FFF, 0xCD}}, 0x8000},
        RecordsCase{"WrongChecksumKeepsTheRecord", ":0300300002337A1F\n:0100000055AA\n:00000001FF\n",
                    Result::kBadChecksum, k30, 0x33},
        RecordsCase{"At0x8000", ":01800000116E\n:00000001FF\n", Result::kOutsideMemory, {}, 0},
        RecordsCase{"StraddlingKeepsItsInsideByte", ":027FFF00ABCD08\n", Result::kOutsideMemory, {{0x7FFF, 0xAB}}, 0},
        RecordsCase{"TopOfAddressSpace", ":10FFF000000102030405060708090A0B0C0D0E0F89\n:00000001FF\n",
                    Result::kOutsideMemory, {}, 0},
        RecordsCase{"ChecksumWinsOverOutside", ":018000001100\n", Result::kBadChecksum, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IntelHexTest, FileCutBeforeItsEndRecordIsUnreadable) {
  for (const char* text : {"", "no records here\r\n", ":0300300002337A1E\r\n", ":0300300002337A1E\n:0", ":0300",
                           ":03003000", ":0300300002337", ":0300300002337A", ":0300300002337A1E\n:"})
    EXPECT_EQ(Parse(text), Result::kUnreadable) << text;
}

// ---- Files of the hex folder ----

size_t OpenDescriptors() {
  size_t count = 0;
  DIR* dir = opendir("/proc/self/fd");
  while (dir && readdir(dir)) ++count;
  if (dir) closedir(dir);
  return count;
}

struct FileCase {
  const char* name;
  const char* content;  // nullptr: no such file
  const char* box;      // nullptr: read
};

class IntelHexFileTest : public IntelHexTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(IntelHexFileTest, ShowsSortingAndItsBoxAndClosesTheFile) {
  if (GetParam().content) drives.WriteFile("e:/PINECROFT/p1.HEX", GetParam().content);
  const size_t before = OpenDescriptors();
  EXPECT_EQ(ReadFile("P1.hex"), GetParam().box == nullptr);
  EXPECT_EQ(OpenDescriptors(), before);
  EXPECT_EQ(screen.Statuses(), std::vector<std::string>{"Sorting"});
  ASSERT_EQ(screen.Messages().size(), GetParam().box ? 1u : 0u);
  if (!GetParam().box) return;
  EXPECT_EQ(screen.Messages()[0].title, "ERROR!!!");
  EXPECT_EQ(screen.Messages()[0].text, GetParam().box);
}

INSTANTIATE_TEST_SUITE_P(
    Files, IntelHexFileTest,
    ::testing::Values(FileCase{"Read", ":0300300002337A1E\r\n:00000001FF\r\n", nullptr},
                      FileCase{"Missing", nullptr, "Cannot read from selected hex file."},
                      FileCase{"Cut", ":0300300002337A1E\r\n", "Cannot read from selected hex file."},
                      FileCase{"BadChecksum", ":0300300002337A1F\r\n:00000001FF\r\n",
                               "Encounter invalid checksum in hex file."},
                      FileCase{"OutsideMemory", ":01800000116E\r\n:00000001FF\r\n",
                               "Hex file data lies outside the node's 32 KB memory."}),
    [](const auto& info) { return std::string(info.param.name); });

// Files written by GNU objcopy from a random blob read back byte for byte.
class IntelHexObjcopyTest : public IntelHexTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(IntelHexObjcopyTest, ReadsBackTheBlob) {
  const size_t size = GetParam();
  std::mt19937 random(static_cast<uint32_t>(size));
  std::string blob(size, '\0');
  std::map<uint32_t, uint8_t> bytes;
  for (size_t k = 0; k < size; ++k) {
    blob[k] = static_cast<char>(random());
    bytes[static_cast<uint32_t>(k)] = static_cast<uint8_t>(blob[k]);
  }
  const std::string folder = drives.MakeFolder("e:/Pinecroft");
  drives.WriteFile("e:/Pinecroft/blob.bin", blob);
  const std::string command = "objcopy -I binary -O ihex '" + folder + "/blob.bin' '" + folder + "/blob.hex'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  ASSERT_TRUE(ReadFile("blob.hex"));
  EXPECT_EQ(imageEnd, size);
  ExpectImage(bytes);
}

INSTANTIATE_TEST_SUITE_P(Sizes, IntelHexObjcopyTest, ::testing::Values(1, 7, 0x2003, kNodeMemorySize));

}  // namespace
