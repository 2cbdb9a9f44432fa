// Little-endian fields of the file formats the device reads (compiled
// resources, bitmaps, WAV), whatever the host's byte order.
#pragma once

#include <cstdint>

namespace sim {

inline uint16_t read_le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

inline uint32_t read_le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace sim
