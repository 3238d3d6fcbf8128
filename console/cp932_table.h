// The double-byte half of code page 932, generated from a reference codec by scripts/gen_cp932_table.py.
#pragma once
#include <cstdint>

namespace kt57 {

constexpr int cp932LeadCount = 60;    // 0x81-0x9F, then 0xE0-0xFC
constexpr int cp932TrailCount = 188;  // 0x40-0x7E, then 0x80-0xFC

// Unicode value of each lead/trail pair; 0 where code page 932 defines no character.
extern const uint16_t cp932DoubleByteTable[cp932LeadCount][cp932TrailCount];

}  // namespace kt57
