#include "firmware/HexFileCheck.h"

#include <gtest/gtest.h>

#include <sstream>

#include "HexText.h"
#include "RowName.h"

namespace {

struct CheckCase {
  const char* name;
  std::string text;
  bool accepted;
};

class HexFileCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(HexFileCheckTest, AcceptsOnlyFilesThatCanBeProgrammed) {
  std::istringstream in(GetParam().text);
  EXPECT_EQ(HexFileCheck::Accepts(in), GetParam().accepted);
}

const std::string kData = ":0300300002337A1E\r\n";
const std::string kEnd = ":00000001FF\r\n";

INSTANTIATE_TEST_SUITE_P(
    Files, HexFileCheckTest,
    ::testing::Values(
        CheckCase{"TextBlankLinesLowerCaseTrailingBlanks",
                  "Firmware for node 149\r\n\r\n:020000040000fa \r\n:0300300002337a1e\t\r\n:00000001ff", true},
        CheckCase{"Descending32ByteRecords",
                  HexRecord(0, 0x20, std::string(32, 'b')) + HexRecord(0, 0, std::string(32, 'a')) + kEnd, true},
        CheckCase{"ReleaseNotes", "Release notes: see the service bulletin\r\n" + kData + kEnd, false},
        CheckCase{"NoDataRecord", ":020000040000FA\r\n" + kEnd, false},
        CheckCase{"NoEndRecord", kData, false},
        CheckCase{"WrongChecksum", ":0300300002337A1F\r\n" + kEnd, false},
        CheckCase{"CountBelowTheData", ":0200300002334455\r\n" + kEnd, false},
        CheckCase{"NotAHexDigit", ":03003000G2337A1E\r\n" + kEnd, false},
        CheckCase{"BrokenRecordAfterTheEnd", kData + kEnd + ":0300", false},
        CheckCase{"ColonFlippedIntoADigit", kData + "20300300002337A1E\r\n" + kData + kEnd, false},
        CheckCase{"ColonLost", kData + "0300300002337A1E\r\n" + kData + kEnd, false},
        CheckCase{"RecordCutShortMidFile", kData + ":03003000\r\n" + kData + kEnd, false},
        CheckCase{"BlankLinesBetweenRecordsLfEnds", ":0300300002337A1E\n\n:0300300002337A1E\n  \n:00000001FF\n\n", true}),
    RowName());

}  // namespace
