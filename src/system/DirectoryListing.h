#pragma once

#include <string>

// Lists the files of a folder that match a Windows wildcard pattern
// ("e:\Pinecroft\*.hex"): '*' any run of characters, '?' any one character,
// letters compared without case. Names come in the folder's own order,
// unsorted; folders are not listed.
class DirectoryListing {
 public:
  DirectoryListing() = default;
  ~DirectoryListing();
  DirectoryListing(const DirectoryListing&) = delete;
  DirectoryListing& operator=(const DirectoryListing&) = delete;

  // Starts the listing and fetches the first match; false when the folder is
  // missing or nothing matches.
  bool Open(const std::string& dosPattern);
  // The current match, then moves on; false once the listing is exhausted.
  bool Next(std::string& name);
  void Close();

  static bool Matches(const std::string& pattern, const std::string& name);

 private:
  bool Advance();

  void* dir_ = nullptr;
  std::string folder_;
  std::string pattern_;
  std::string current_;
  bool hasCurrent_ = false;
};
