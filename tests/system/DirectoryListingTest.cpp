#include "system/DirectoryListing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "TempDosDevices.h"

namespace {

struct WildcardCase {
  const char* pattern;
  const char* name;
  bool matches;
};

class WildcardTest : public ::testing::TestWithParam<WildcardCase> {};

TEST_P(WildcardTest, FollowsWindowsRules) {
  const WildcardCase& c = GetParam();
  EXPECT_EQ(DirectoryListing::Matches(c.pattern, c.name), c.matches) << c.pattern << " vs " << c.name;
}

INSTANTIATE_TEST_SUITE_P(Patterns, WildcardTest,
                         ::testing::Values(WildcardCase{"*.hex", "P149a.hex", true},
                                           WildcardCase{"*.hex", "P149a.HEX", true},
                                           WildcardCase{"*.hex", ".hex", true},
                                           WildcardCase{"*.hex", "P149a.hex.bak", false},
                                           WildcardCase{"*.hex", "P149ahex", false},
                                           WildcardCase{"*.hex", "a.he", false},
                                           WildcardCase{"P1?9*.hex", "P149x.hex", true},
                                           WildcardCase{"P1?9*.hex", "P19.hex", false},
                                           WildcardCase{"*", "", true},
                                           WildcardCase{"*a*b*", "xxaYYbzz", true},
                                           WildcardCase{"*a*b", "xxaYYbzzc", false}));

class DirectoryListingTest : public ::testing::Test {
 protected:
  std::vector<std::string> ListAll(const std::string& pattern) {
    std::vector<std::string> names;
    DirectoryListing listing;
    if (!listing.Open(pattern)) return names;
    std::string name;
    while (listing.Next(name)) names.push_back(name);
    return names;
  }

  TempDosDevices devices;
};

TEST_F(DirectoryListingTest, ListsOnlyMatchingFiles) {
  devices.WriteFile("e:/Pinecroft/P149a.hex", "");
  devices.WriteFile("e:/Pinecroft/P150b.HEX", "");
  devices.WriteFile("e:/Pinecroft/notes.txt", "");
  devices.MakeFolder("e:/Pinecroft/folder.hex");
  auto names = ListAll("e:\\Pinecroft\\*.hex");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"P149a.hex", "P150b.HEX"}));
}

TEST_F(DirectoryListingTest, FailsToStartWithoutMatchOrFolder) {
  devices.WriteFile("e:/Pinecroft/notes.txt", "");
  DirectoryListing listing;
  EXPECT_FALSE(listing.Open("e:\\Pinecroft\\*.hex"));
  EXPECT_FALSE(listing.Open("f:\\Pinecroft\\*.hex"));
  std::string name;
  EXPECT_FALSE(listing.Next(name));
}

TEST_F(DirectoryListingTest, FindsTheFolderWithoutCase) {
  devices.WriteFile("e:/PineCroft/P149a.hex", "");
  EXPECT_EQ(ListAll("E:\\PINECROFT\\*.hex"), (std::vector<std::string>{"P149a.hex"}));
}

}  // namespace
