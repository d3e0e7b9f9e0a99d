#include "base64.h"

std::string base64_encode(std::string_view bytes) {
    static constexpr char digits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned group = static_cast<unsigned char>(bytes[i]) << 16 |
                               static_cast<unsigned char>(bytes[i + 1]) << 8 |
                               static_cast<unsigned char>(bytes[i + 2]);
        out += digits[group >> 18];
        out += digits[group >> 12 & 63];
        out += digits[group >> 6 & 63];
        out += digits[group & 63];
    }
    if (const std::size_t left = bytes.size() - i; left != 0) {
        unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
        if (left == 2) {
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        out += digits[group >> 18];
        out += digits[group >> 12 & 63];
        out += left == 2 ? digits[group >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}
