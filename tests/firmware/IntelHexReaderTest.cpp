#include "firmware/IntelHexReader.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <random>
#include <sstream>
#include <vector>

#include "FakeScreen.h"
#include "TempDosDevices.h"

namespace {

using Result = IntelHexReader::Result;

// ---- ParseHex ----

struct HexCase {
  const char* text;
  uint64_t value;
};

class ParseHexTest : public ::testing::TestWithParam<HexCase> {};

TEST_P(ParseHexTest, ReadsLeadingHexDigits) { EXPECT_EQ(ParseHex(GetParam().text), GetParam().value); }

INSTANTIATE_TEST_SUITE_P(Texts, ParseHexTest,
                         ::testing::Values(HexCase{"", 0}, HexCase{"0", 0}, HexCase{"1G", 1}, HexCase{"G1", 0},
                                           HexCase{"7A", 0x7A}, HexCase{"ff", 0xFF}, HexCase{"aB", 0xAB},
                                           HexCase{"0030", 0x30}, HexCase{"FFFF", 0xFFFF}, HexCase{"12 34", 0x12},
                                           HexCase{"123456789abcdef", 0x123456789ABCDEFull},
                                           // only the first 15 characters count
                                           HexCase{"123456789abcdef9", 0x123456789ABCDEFull},
                                           HexCase{"FFFFFFFFFFFFFFFFFFFF", 0x0FFFFFFFFFFFFFFFull}));

// ---- Parsing records ----

class IntelHexParseTest : public ::testing::Test {
 protected:
  Result Parse(const std::string& text) {
    std::istringstream in(text);
    return IntelHexReader(image, imageEnd).Read(in);
  }
  // True when every image byte outside [from, from + bytes.size()) is 0xFF
  // and the bytes inside are the expected ones.
  void ExpectImage(uint32_t from, const std::vector<uint8_t>& bytes) const {
    for (uint32_t k = 0; k < image.size(); ++k) {
      bool inside = k >= from && k < from + bytes.size();
      ASSERT_EQ(image[k], inside ? bytes[k - from] : 0xFF) << "address " << k;
    }
  }

  std::array<uint8_t, kNodeMemorySize> image = Erased();
  uint16_t imageEnd = 0;

 private:
  static std::array<uint8_t, kNodeMemorySize> Erased() {
    std::array<uint8_t, kNodeMemorySize> bytes;
    bytes.fill(0xFF);
    return bytes;
  }
};

TEST_F(IntelHexParseTest, StoresADataRecordAndEndsAtItsLastByte) {
  EXPECT_EQ(Parse(":0300300002337A1E\r\n:00000001FF\r\n"), Result::kComplete);
  ExpectImage(0x30, {0x02, 0x33, 0x7A});
  EXPECT_EQ(imageEnd, 0x33);
}

TEST_F(IntelHexParseTest, EndRecordAloneLeavesTheImageErased) {
  EXPECT_EQ(Parse(":00000001FF\n"), Result::kComplete);
  ExpectImage(0, {});
  EXPECT_EQ(imageEnd, 0);
}

TEST_F(IntelHexParseTest, AnyRecordWithByteCountZeroEndsTheFile) {
  EXPECT_EQ(Parse(":00123400xx\n:0300300002337A1E\n"), Result::kComplete);
  ExpectImage(0, {});
}

TEST_F(IntelHexParseTest, SkipsTextBeforeTheColonAndBlankLines) {
  EXPECT_EQ(Parse("firmware P149\r\n\r\n  \n:0300300002337A1E\n\n\n junk :00000001FF"), Result::kComplete);
  ExpectImage(0x30, {0x02, 0x33, 0x7A});
}

TEST_F(IntelHexParseTest, ReadsLowerCaseDigits) {
  EXPECT_EQ(Parse(":0300300002337a1e\n:00000001ff\n"), Result::kComplete);
  ExpectImage(0x30, {0x02, 0x33, 0x7A});
}

TEST_F(IntelHexParseTest, AddressRecordsAreDataAtTheirOwnAddress) {
  EXPECT_EQ(Parse(":020000040000FA\n:00000001FF\n"), Result::kComplete);
  ExpectImage(0, {0x00, 0x00});
  EXPECT_EQ(imageEnd, 2);
}

TEST_F(IntelHexParseTest, DescendingRecordsKeepTheEndOfTheFirst) {
  EXPECT_EQ(Parse(":020010001122BB\n:02000000334487\n:00000001FF\n"), Result::kComplete);
  EXPECT_EQ(imageEnd, 0x12);
  EXPECT_EQ(image[0x10], 0x11);
  EXPECT_EQ(image[0x01], 0x44);
}

TEST_F(IntelHexParseTest, ARecordStartingBelowTheEndNeverMovesItEvenWhenReachingPast) {
  // 4 bytes at 0x10, then 4 bytes at 0x12 reaching to 0x16: the end stays 0x14.
  EXPECT_EQ(Parse(":0400100001020304E2\n:04001200AABBCCDDDC\n:00000001FF\n"), Result::kComplete);
  EXPECT_EQ(imageEnd, 0x14);
  ExpectImage(0x10, {0x01, 0x02, 0xAA, 0xBB, 0xCC, 0xDD});
}

TEST_F(IntelHexParseTest, LaterRecordsOverwriteEarlierBytes) {
  EXPECT_EQ(Parse(":0300300002337A1E\n:01003100AA24\n:00000001FF\n"), Result::kComplete);
  ExpectImage(0x30, {0x02, 0xAA, 0x7A});
  EXPECT_EQ(imageEnd, 0x33);
}

TEST_F(IntelHexParseTest, WrongChecksumStopsWithTheRecordsBytesStored) {
  EXPECT_EQ(Parse(":0300300002337A1F\n:0100000055AA\n:00000001FF\n"), Result::kBadChecksum);
  ExpectImage(0x30, {0x02, 0x33, 0x7A});
}

TEST_F(IntelHexParseTest, NonHexCharactersCountAsTheDigitsBeforeThem) {
  // The data byte "3G" reads as 3, and the checksum BC is that of 3.
  EXPECT_EQ(Parse(":010040003GBC\n:00000001FF\n"), Result::kComplete);
  ExpectImage(0x40, {0x03});
}

TEST_F(IntelHexParseTest, DataUpToTheLastAddressFitsAndEndsAt0x8000) {
  EXPECT_EQ(Parse(":027FFE00ABCD09\n:00000001FF\n"),
            Result::kComplete);
  EXPECT_EQ(image[0x7FFE], 0xAB);
  EXPECT_EQ(image[0x7FFF], 0xCD);
  EXPECT_EQ(imageEnd, 0x8000);
}

struct CutCase {
  const char* name;
  const char* text;
};

class IntelHexCutTest : public IntelHexParseTest, public ::testing::WithParamInterface<CutCase> {};

TEST_P(IntelHexCutTest, AFileWithoutItsEndRecordIsUnreadable) {
  EXPECT_EQ(Parse(GetParam().text), Result::kUnreadable);
}

INSTANTIATE_TEST_SUITE_P(Files, IntelHexCutTest,
                         ::testing::Values(CutCase{"Empty", ""}, CutCase{"NoRecord", "no records here\r\n"},
                                           CutCase{"NoEndRecord", ":0300300002337A1E\r\n"},
                                           CutCase{"InByteCount", ":0300300002337A1E\n:0"},
                                           CutCase{"InAddress", ":0300"},
                                           CutCase{"InType", ":03003000"},
                                           CutCase{"InData", ":0300300002337"},
                                           CutCase{"BeforeChecksum", ":0300300002337A"},
                                           CutCase{"InChecksum", ":0300300002337A1"},
                                           CutCase{"ColonLast", ":0300300002337A1E\n:"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct OutsideCase {
  const char* name;
  const char* text;
};

class IntelHexOutsideTest : public IntelHexParseTest, public ::testing::WithParamInterface<OutsideCase> {};

TEST_P(IntelHexOutsideTest, DataBeyondTheNodeMemoryRejectsTheFile) {
  EXPECT_EQ(Parse(GetParam().text), Result::kOutsideMemory);
  EXPECT_LE(imageEnd, kNodeMemorySize);
}

INSTANTIATE_TEST_SUITE_P(Records, IntelHexOutsideTest,
                         ::testing::Values(OutsideCase{"At0x8000", ":01800000116E\n:00000001FF\n"},
                                           OutsideCase{"Straddling", ":027FFF00ABCD08\n:00000001FF\n"},
                                           OutsideCase{"TopOfAddressSpace", ":10FFF000000102030405060708090A0B0C0D0E0F89\n"
                                                                            ":00000001FF\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IntelHexParseTest, StraddlingRecordKeepsItsInsideByteOnly) {
  EXPECT_EQ(Parse(":027FFF00ABCD08\n"), Result::kOutsideMemory);
  ExpectImage(0x7FFF, {0xAB});
}

TEST_F(IntelHexParseTest, WrongChecksumWinsOverDataOutsideMemory) {
  EXPECT_EQ(Parse(":018000001100\n"), Result::kBadChecksum);
}

// ---- Reading files from the hex folder ----

class IntelHexFileTest : public IntelHexParseTest {
 protected:
  bool ReadFile(const std::string& name) { return IntelHexReader(image, imageEnd).ReadFile(name); }

  static size_t OpenDescriptors() {
    size_t count = 0;
    DIR* dir = opendir("/proc/self/fd");
    while (dir && readdir(dir)) ++count;
    if (dir) closedir(dir);
    return count;
  }

  void ExpectOneBox(const char* text) const {
    ASSERT_EQ(screen.Messages().size(), 1u);
    EXPECT_EQ(screen.Messages()[0].title, "ERROR!!!");
    EXPECT_EQ(screen.Messages()[0].text, text);
  }

  TempDosDevices drives;
  FakeScreen screen;
};

TEST_F(IntelHexFileTest, ReadsTheNamedFileAndShowsSorting) {
  drives.WriteFile("e:/PINECROFT/p149_2.HEX", ":0300300002337A1E\r\n:00000001FF\r\n");
  EXPECT_TRUE(ReadFile("P149_2.hex"));
  EXPECT_EQ(screen.Statuses(), std::vector<std::string>{"Sorting"});
  EXPECT_TRUE(screen.Messages().empty());
  ExpectImage(0x30, {0x02, 0x33, 0x7A});
}

struct FileFailureCase {
  const char* name;
  const char* content;  // nullptr: no such file
  const char* text;
};

class IntelHexFileFailureTest : public IntelHexFileTest, public ::testing::WithParamInterface<FileFailureCase> {};

TEST_P(IntelHexFileFailureTest, ShowsItsBoxAndClosesTheFile) {
  if (GetParam().content) drives.WriteFile("e:/Pinecroft/P1.hex", GetParam().content);
  const size_t before = OpenDescriptors();
  EXPECT_FALSE(ReadFile("P1.hex"));
  EXPECT_EQ(OpenDescriptors(), before);
  EXPECT_EQ(screen.Statuses(), std::vector<std::string>{"Sorting"});
  ExpectOneBox(GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Files, IntelHexFileFailureTest,
    ::testing::Values(FileFailureCase{"Missing", nullptr, "Cannot read from selected hex file."},
                      FileFailureCase{"Truncated", ":0300300002337A1E\r\n", "Cannot read from selected hex file."},
                      FileFailureCase{"BadChecksum", ":0300300002337A1F\r\n:00000001FF\r\n",
                                      "Encounter invalid checksum in hex file."},
                      FileFailureCase{"OutsideMemory", ":01800000116E\r\n:00000001FF\r\n",
                                      "Hex file data lies outside the node's 32 KB memory."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IntelHexFileTest, ClosesTheFileAfterASuccessfulRead) {
  drives.WriteFile("e:/Pinecroft/P1.hex", ":00000001FF\r\n");
  const size_t before = OpenDescriptors();
  EXPECT_TRUE(ReadFile("P1.hex"));
  EXPECT_EQ(OpenDescriptors(), before);
}

// Files written by GNU objcopy from a random blob read back byte for byte.
class IntelHexObjcopyTest : public IntelHexFileTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(IntelHexObjcopyTest, ReadsBackTheBlob) {
  const size_t size = GetParam();
  std::mt19937 random(static_cast<uint32_t>(size));
  std::string blob(size, '\0');
  for (char& c : blob) c = static_cast<char>(random());
  const std::string folder = drives.MakeFolder("e:/Pinecroft");
  drives.WriteFile("e:/Pinecroft/blob.bin", blob);
  const std::string command = "objcopy -I binary -O ihex '" + folder + "/blob.bin' '" + folder + "/blob.hex'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  ASSERT_TRUE(ReadFile("blob.hex"));
  EXPECT_EQ(imageEnd, size);
  ExpectImage(0, std::vector<uint8_t>(blob.begin(), blob.end()));
}

INSTANTIATE_TEST_SUITE_P(Sizes, IntelHexObjcopyTest, ::testing::Values(1, 7, 0x2003, kNodeMemorySize));

}  // namespace
