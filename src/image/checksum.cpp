#include "checksum.h"

#include <array>

namespace {

constexpr std::array<std::uint32_t, 256> make_crc_table() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> CRC_TABLE = make_crc_table();

// Adler-32's modulus, and the most bytes whose sums cannot overflow 32 bits
// before it is taken.
constexpr std::uint32_t ADLER_BASE = 65521;
constexpr std::size_t ADLER_RUN = 5552;

}  // namespace

std::uint32_t crc32_update(std::uint32_t crc, std::string_view bytes) {
    crc = ~crc;
    for (const char byte : bytes) {
        crc = CRC_TABLE[(crc ^ static_cast<unsigned char>(byte)) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

std::uint32_t adler32_update(std::uint32_t adler, std::string_view bytes) {
    std::uint32_t a = adler & 0xFFFF;
    std::uint32_t b = adler >> 16;
    while (!bytes.empty()) {
        const std::string_view run = bytes.substr(0, ADLER_RUN);
        for (const char byte : run) {
            a += static_cast<unsigned char>(byte);
            b += a;
        }
        a %= ADLER_BASE;
        b %= ADLER_BASE;
        bytes.remove_prefix(run.size());
    }
    return b << 16 | a;
}
