// Pieces that the writers share: decimal numbers, and texts decoded to
// UTF-8 on their way out.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "decode/decode.h"

// Room that put_decimal needs.
constexpr std::size_t DECIMAL_ROOM = 20;

// Writes `value` in decimal at `at` (room for DECIMAL_ROOM bytes); returns
// the end. Two digits at a time: a listing writes one number a card.
inline char* put_decimal(std::int64_t value, char* at) {
    static constexpr char PAIRS[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char digits[DECIMAL_ROOM];
    char* const digits_end = digits + sizeof digits;
    char* first = digits_end;
    std::uint64_t rest =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    while (rest >= 10) {
        first -= 2;
        std::memcpy(first, PAIRS + 2 * (rest % 100), 2);
        rest /= 100;
    }
    if (rest > 0 || first == digits_end) {
        *--first = static_cast<char>('0' + rest);
    }
    if (value < 0) {
        *at++ = '-';
    }
    const std::size_t count = static_cast<std::size_t>(digits_end - first);
    std::memcpy(at, first, count);
    return at + count;
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
