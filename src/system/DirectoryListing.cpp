#include "system/DirectoryListing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>

#include "system/DosPath.h"

DirectoryListing::~DirectoryListing() { Close(); }

bool DirectoryListing::Open(const std::string& dosPattern) {
  Close();
  size_t cut = dosPattern.find_last_of("\\/");
  std::string dosFolder = cut == std::string::npos ? "" : dosPattern.substr(0, cut + 1);
  pattern_ = cut == std::string::npos ? dosPattern : dosPattern.substr(cut + 1);
  folder_ = MapDosPath(dosFolder);
  dir_ = opendir(folder_.c_str());
  if (!dir_) return false;
  if (!Advance()) {
    Close();
    return false;
  }
  return true;
}

bool DirectoryListing::Next(std::string& name) {
  if (!hasCurrent_) return false;
  name = current_;
  Advance();
  return true;
}

void DirectoryListing::Close() {
  if (dir_) closedir(static_cast<DIR*>(dir_));
  dir_ = nullptr;
  hasCurrent_ = false;
}

bool DirectoryListing::Advance() {
  hasCurrent_ = false;
  while (dirent* entry = readdir(static_cast<DIR*>(dir_))) {
    std::string name = entry->d_name;
    if (name == "." || name == ".." || !Matches(pattern_, name)) continue;
    struct stat info {};
    if (stat((folder_ + "/" + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) continue;
    current_ = name;
    hasCurrent_ = true;
    return true;
  }
  return false;
}

bool DirectoryListing::Matches(const std::string& pattern, const std::string& name) {
  // Iterative wildcard match with one backtrack point for the last '*'.
  size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
  auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  };
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || (pattern[p] != '*' && same(pattern[p], name[n])))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}
