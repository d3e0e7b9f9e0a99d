// Fixed-width little-endian fields: the one place where bytes become numbers
// and numbers bytes. Each reads or writes only the bytes [p, p + width - 1].
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

inline void encode_u16(unsigned char* p, std::uint32_t value) {
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
}

inline void encode_u32(unsigned char* p, std::uint32_t value) {
    encode_u16(p, value);
    encode_u16(p + 2, value >> 16);
}
