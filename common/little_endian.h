// Fields of files as they are stored: little-endian whatever the machine
// that reads them. The caller has checked that the bytes are there.
#pragma once
#include <cstdint>

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Le32(const uint8_t* p) { return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16; }
