#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The two engines' common way to reach the hex file the operator picked from
// the program list: always by its bare name inside the hex folder.

// A name of a file right inside its folder, never a path that leaves it: no
// separator, not "." or "..".
bool IsPlainFileName(const std::string& name);

// The DOS path of a hex file: the hex folder followed by the bare name.
std::string HexFileDosPath(const std::string& name);

// Opens the file for reading and closes it again. When it does not open, the
// operator gets the "Cannot open selected hex file." box and the result is false.
bool AccessHexFile(const std::string& name);

// Reads the whole file, unchanged, into bytes (replacing what they held).
// False, with bytes empty, when the file cannot be opened or read.
bool LoadHexFile(const std::string& name, std::vector<uint8_t>& bytes);
