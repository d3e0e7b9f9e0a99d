// Pieces that the writers share: decimal numbers, and texts decoded to
// UTF-8 on their way out.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "decode/decode.h"

// Room that put_decimal needs.
constexpr std::size_t DECIMAL_ROOM = 20;

// Writes `value` in decimal at `at` (room for DECIMAL_ROOM bytes); returns the end.
inline char* put_decimal(std::int64_t value, char* at) {
    char digits[DECIMAL_ROOM];
    char* first = digits + sizeof digits;
    std::uint64_t rest =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        *--first = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest > 0);
    if (value < 0) {
        *at++ = '-';
    }
    for (; first != digits + sizeof digits; ++first) {
        *at++ = *first;
    }
    return at;
}

// Converts stored texts to UTF-8 in a buffer of its own, kept for the next text.
struct utf8_scratch {
    const code_page* page;
    std::vector<char> bytes{};

    std::string_view decode(std::string_view text) {
        if (bytes.size() < decoded_room(page, text.size())) {
            bytes.resize(decoded_room(page, text.size()));
        }
        const char* end = decode_text(page, text, bytes.data());
        return {bytes.data(), static_cast<std::size_t>(end - bytes.data())};
    }
};
