// Numbers as the writers write them: decimal, and bytes in hexadecimal.
#pragma once

#include <cstdint>
#include <cstring>

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

// Writes `byte` as two hexadecimal digits at `at`, capitals unless `lower`;
// returns the end.
inline char* put_hex_byte(unsigned char byte, char* at, bool lower = false) {
    static constexpr char DIGITS[] = "0123456789ABCDEF0123456789abcdef";
    const char* const digits = DIGITS + (lower ? 16 : 0);
    at[0] = digits[byte >> 4];
    at[1] = digits[byte & 0xF];
    return at + 2;
}
