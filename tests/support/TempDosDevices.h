#pragma once

#include <string>

// A throw-away dosdevices folder installed as $LUMEN_DOSDEVICES for the
// lifetime of the object (one at a time), with helpers to lay out drives and
// files.
class TempDosDevices {
 public:
  TempDosDevices();
  ~TempDosDevices();
  TempDosDevices(const TempDosDevices&) = delete;
  TempDosDevices& operator=(const TempDosDevices&) = delete;

  const std::string& Root() const { return root_; }
  // Creates root/relative as a folder, with its parents.
  void MakeFolder(const std::string& relative) const;
  // Writes root/relative, its folders created.
  void WriteFile(const std::string& relative, const std::string& content) const;
  static std::string ReadFile(const std::string& path);

 private:
  std::string root_;
};
