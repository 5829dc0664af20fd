#include "firmware/IntelHexReader.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <sstream>

#include "RowName.h"

namespace {

using Result = IntelHexReader::Result;

struct RecordsCase {
  const char* name;
  const char* text;
  Result result;
  std::map<uint32_t, uint8_t> bytes;  // every other image byte stays erased
  uint16_t end;
};

class IntelHexRecordsTest : public ::testing::TestWithParam<RecordsCase> {};

TEST_P(IntelHexRecordsTest, FillTheImageAndItsEnd) {
  std::array<uint8_t, kNodeMemorySize> image;
  image.fill(0xFF);
  uint16_t end = 0;
  std::istringstream in(GetParam().text);
  EXPECT_EQ(IntelHexReader(image, end).Read(in), GetParam().result);
  for (uint32_t k = 0; k < image.size(); ++k) {
    const auto listed = GetParam().bytes.find(k);
    ASSERT_EQ(image[k], listed != GetParam().bytes.end() ? listed->second : 0xFF) << "address " << k;
  }
  EXPECT_EQ(end, GetParam().end);
}

const std::map<uint32_t, uint8_t> k30{{0x30, 0x02}, {0x31, 0x33}, {0x32, 0x7A}};

INSTANTIATE_TEST_SUITE_P(
    Files, IntelHexRecordsTest,
    ::testing::Values(
        RecordsCase{"OneDataRecord", ":0300300002337A1E\r\n:00000001FF\r\n", Result::kComplete, k30, 0x33},
        RecordsCase{"TextBeforeTheColons", "firmware P149\r\n\r\n  \n:0300300002337A1E\n\n\n junk :00000001FF",
                    Result::kComplete, k30, 0x33},
        RecordsCase{"DescendingKeepsTheFirstEnd", ":020010001122BB\n:02000000334487\n:00000001FF\n",
                    Result::kComplete, {{0x00, 0x33}, {0x01, 0x44}, {0x10, 0x11}, {0x11, 0x22}}, 0x12},
        RecordsCase{"StartBelowTheEndNeverMovesIt", ":0400100001020304E2\n:04001200AABBCCDDDC\n:00000001FF\n",
                    Result::kComplete, {{0x10, 1}, {0x11, 2}, {0x12, 0xAA}, {0x13, 0xBB}, {0x14, 0xCC}, {0x15, 0xDD}},
                    0x14},
        RecordsCase{"UpToTheLastAddress", ":027FFE00ABCD09\n:00000001FF\n", Result::kComplete,
                    {{0x7FFE, 0xAB}, {0x7FFF, 0xCD}}, 0x8000},
        RecordsCase{"WrongChecksumKeepsTheRecord", ":0300300002337A1F\n:0100000055AA\n:00000001FF\n",
                    Result::kBadChecksum, k30, 0x33},
        RecordsCase{"At0x8000", ":01800000116E\n:00000001FF\n", Result::kOutsideMemory, {}, 0},
        RecordsCase{"StraddlingKeepsItsInsideByte", ":027FFF00ABCD08\n", Result::kOutsideMemory, {{0x7FFF, 0xAB}}, 0},
        RecordsCase{"TopOfAddressSpace", ":10FFF000000102030405060708090A0B0C0D0E0F89\n:00000001FF\n",
                    Result::kOutsideMemory, {}, 0},
        RecordsCase{"ChecksumWinsOverOutside", ":018000001100\n", Result::kBadChecksum, {}, 0}),
    RowName());

}  // namespace
