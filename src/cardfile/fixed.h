// Fixed-width fields of a card file. Every number in the file is
// little-endian; these helpers are the one place where record bytes become
// numbers. Each reads only the bytes [p, p + width - 1].
#pragma once

#include <cstdint>

inline std::uint16_t decode_u16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::int16_t decode_i16(const unsigned char* p) {
    return static_cast<std::int16_t>(decode_u16(p));
}

inline std::uint32_t decode_u32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::int32_t decode_i32(const unsigned char* p) {
    return static_cast<std::int32_t>(decode_u32(p));
}
