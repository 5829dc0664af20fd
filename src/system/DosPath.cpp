#include "system/DosPath.h"

#include <dirent.h>
#include <strings.h>

#include <cstdlib>
#include <vector>

namespace {

std::vector<std::string> SplitComponents(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

// The entry of folder whose name equals component ignoring case; the exact
// spelling wins when both exist.
std::string MatchEntry(const std::string& folder, const std::string& component) {
  if (component == "." || component == "..") return component;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return component;
  std::string found = component;
  bool exact = false;
  while (dirent* entry = readdir(dir)) {
    if (component == entry->d_name) {
      exact = true;
      found = component;
      break;
    }
    if (strcasecmp(component.c_str(), entry->d_name) == 0) found = entry->d_name;
  }
  closedir(dir);
  return exact ? component : found;
}

}  // namespace

std::string DosDevicesRoot() {
  if (const char* root = std::getenv("LUMEN_DOSDEVICES"); root && *root) return root;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.lumen/dosdevices";
}

std::string MapDosPath(const std::string& dosPath) {
  std::string path = DosDevicesRoot();
  for (const std::string& component : SplitComponents(dosPath)) path += "/" + MatchEntry(path, component);
  bool trailing = !dosPath.empty() && (dosPath.back() == '\\' || dosPath.back() == '/');
  return trailing ? path + "/" : path;
}
