#include "firmware/HexFileCheck.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "HexText.h"
#include "firmware/IntelHexReader.h"
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
        CheckCase{"TextBlankLinesLowerCase",
                  "Firmware for node 149\r\n \r\n:020000040000fa\r\n:0300300002337a1e\r\n:00000001ff", true},
        CheckCase{"Descending32ByteRecords",
                  HexRecord(0, 0x20, std::string(32, 'b')) + HexRecord(0, 0, std::string(32, 'a')) + kEnd, true},
        CheckCase{"ReleaseNotes", "Release notes: see the service bulletin\r\n" + kData + kEnd, false},
        CheckCase{"NoDataRecord", ":020000040000FA\r\n" + kEnd, false},
        CheckCase{"NoEndRecord", kData, false},
        CheckCase{"CountBelowTheData", ":0200300002334455\r\n" + kEnd, false},
        CheckCase{"BrokenRecordAfterTheEnd", kData + kEnd + ":0300", false},
        CheckCase{"RecordCutShortMidFile", kData + ":03003000\r\n" + kData + kEnd, false},
        CheckCase{"BlankLinesBetweenRecordsLfEnds", ":0300300002337A1E\n\n:0300300002337A1E\n  \n:00000001FF\n\n", true}),
    RowName());

// Debian's own Intel HEX reader (for the system's python3) reads each line's
// file from standard input, names every line whose image it reads otherwise
// and fails if there was one.
constexpr const char* kJudge = R"(
import io, sys, intelhex
differing = 0
for n, line in enumerate(sys.stdin):
    text, image = (bytes.fromhex(field) for field in line.split())
    hexfile = intelhex.IntelHex()
    try:
        hexfile.loadhex(io.StringIO(text.decode('latin-1'), newline=None))
        same = hexfile.tobinarray(start=0, size=len(image)).tobytes() == image and hexfile.maxaddr() + 1 == len(image)
    except Exception:
        same = False
    if not same:
        print('read otherwise:', text, file=sys.stderr)
        differing += 1
sys.exit(differing > 0)
)";

std::string Hex(const std::string& bytes) {
  std::string hex;
  for (unsigned char c : bytes) hex += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
  return hex;
}

// Every single-bit flip of a few files as tools write them: whatever the
// check lets through, an independent reader reads to the image the engine
// sends, so nothing a flip spoiled can reach a node unnoticed. This also
// holds the check to its checksums and hex digits, to every ":" flipped and
// to a line end turned into a tab.
TEST(HexFileCheckJudge, EveryFlipTheCheckAcceptsReadsTheSameInAnotherReader) {
  std::string lf = IntelHex(RandomImage(64, 2), 0x100);
  std::erase(lf, '\r');
  setenv("JUDGE", kJudge, 1);
  signal(SIGPIPE, SIG_IGN);  // a judge that could not start fails below, not the writes
  FILE* judge = popen("/usr/bin/python3 -c \"$JUDGE\"", "w");
  ASSERT_NE(judge, nullptr);
  size_t accepted = 0, variants = 0;
  for (const std::string& file : {IntelHex(RandomImage(150, 1)), lf}) {
    for (size_t bit = 0; bit < file.size() * 8; ++bit, ++variants) {
      std::string variant = file;
      variant[bit / 8] = static_cast<char>(variant[bit / 8] ^ (1 << bit % 8));
      std::istringstream check(variant), read(variant);
      if (!HexFileCheck::Accepts(check)) continue;
      std::array<uint8_t, kNodeMemorySize> image;
      image.fill(0xFF);
      uint16_t end = 0;
      EXPECT_EQ(IntelHexReader(image, end).Read(read), IntelHexReader::Result::kComplete) << variant;
      fprintf(judge, "%s %s\n", Hex(variant).c_str(), Hex(std::string(image.begin(), image.begin() + end)).c_str());
      ++accepted;
    }
  }
  EXPECT_GT(accepted, 0u);
  EXPECT_EQ(pclose(judge), 0) << "variants read otherwise (above), of " << accepted << " accepted out of " << variants
                              << ", or python3-intelhex is missing (scripts/setup installs it)";
}

}  // namespace
