#pragma once

// The removable drive's firmware folder; hex files and the log file live here.
inline constexpr char kHexFolder[] = "e:\\Pinecroft\\";
