#pragma once

#include <array>
#include <cstdint>

#include "nodes/NodeSlot.h"

inline constexpr int kNodeSlotCount = 48;

// The CAN identifiers of the 48 slots, index = slot number - 1. The console
// (address 0x10) asks on 0x18EF0010 + address * 256 and the node answers on
// 0x18EF1000 + address; several slots share a node address.
inline constexpr std::array<uint32_t, kNodeSlotCount> kNodeRequestIdentifiers{
    0x18EF0110, 0x18EF0210, 0x18EF0310, 0x18EF0410, 0x18EF0510, 0x18EF0610,  //
    0x18EF0710, 0x18EF0810, 0x18EF0910, 0x18EF0A10, 0x18EF2010, 0x18EF3010,  //
    0x18EF3010, 0x18EF4010, 0x18EF6010, 0x18EF7010, 0x18EF7010, 0x18EF2210,  //
    0x18EF9010, 0x18EF3010, 0x18EF2010, 0x18EF0110, 0x18EF3010, 0x18EF3110,  //
    0x18EF3510, 0x18EF2010, 0x18EF3010, 0x18EF6910, 0x18EF6A10, 0x18EF6B10,  //
    0x18EF6C10, 0x18EF6D10, 0x18EF7210, 0x18EF3010, 0x18EF3110, 0x18EF3210,  //
    0x18EF3310, 0x18EF3410, 0x18EF3510, 0x18EF3610, 0x18EF3710, 0x18EF3810,  //
    0x18EF3910, 0x18EF0110, 0x18EF0210, 0x18EF0310, 0x18EF0410, 0x18EF3510,
};
inline constexpr std::array<uint32_t, kNodeSlotCount> kNodeResponseIdentifiers{
    0x18EF1001, 0x18EF1002, 0x18EF1003, 0x18EF1004, 0x18EF1005, 0x18EF1006,  //
    0x18EF1007, 0x18EF1008, 0x18EF1009, 0x18EF100A, 0x18EF1020, 0x18EF1030,  //
    0x18EF1030, 0x18EF1040, 0x18EF1060, 0x18EF1070, 0x18EF1070, 0x18EF1022,  //
    0x18EF1090, 0x18EF1030, 0x18EF1020, 0x18EF1001, 0x18EF1030, 0x18EF1031,  //
    0x18EF1035, 0x18EF1020, 0x18EF1030, 0x18EF1069, 0x18EF106A, 0x18EF106B,  //
    0x18EF106C, 0x18EF106D, 0x18EF1072, 0x18EF1030, 0x18EF1031, 0x18EF1032,  //
    0x18EF1033, 0x18EF1034, 0x18EF1035, 0x18EF1036, 0x18EF1037, 0x18EF1038,  //
    0x18EF1039, 0x18EF1001, 0x18EF1002, 0x18EF1003, 0x18EF1004, 0x18EF1035,
};

// Every node position an implement can have, index = slot number - 1.
extern std::array<NodeSlot, kNodeSlotCount> NodeTable;

// Refills every slot from the built-in rows, forgets all program numbers and
// clears the query flags, so the next query starts from scratch.
void InitNodeTable();

// The slot with this number (1 to 48); nullptr for any other number.
NodeSlot* FindNodeSlot(int32_t number);

// The number of the first slot, from 1 up, whose node reported this program;
// 0 when none did.
int32_t FirstSlotWithProgram(int32_t program);
