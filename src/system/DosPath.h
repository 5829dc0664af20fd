#pragma once

#include <string>

// Maps the program's built-in DOS-style names ("COM1", "e:\Pinecroft\x.hex")
// to host paths through the dosdevices folder ($LUMEN_DOSDEVICES, default
// ~/.lumen/dosdevices), as the console's drives would resolve them:
// backslashes are separators, doubled separators count once, and each
// component matches an existing entry case-insensitively. Components that do
// not exist yet keep their spelling, so new files can be created.
std::string MapDosPath(const std::string& dosPath);

// The dosdevices folder in use.
std::string DosDevicesRoot();
