// Finding the bytes that a JSON string or a CSV field must treat apart, eight
// bytes at a time: texts are long runs of plain bytes between a few of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// A word with `byte` in each of its eight bytes.
constexpr std::uint64_t every_byte(unsigned byte) {
    return 0x0101010101010101ULL * byte;
}

// Non-zero when one of the eight bytes of `word` equals `byte`.
constexpr std::uint64_t has_byte(std::uint64_t word, unsigned byte) {
    const std::uint64_t x = word ^ every_byte(byte);
    return (x - every_byte(0x01)) & ~x & every_byte(0x80);
}

// Non-zero when one of the eight bytes of `word` is below `limit` (at most 0x80).
constexpr std::uint64_t has_byte_below(std::uint64_t word, unsigned limit) {
    return (word - every_byte(limit)) & ~word & every_byte(0x80);
}

// The length of the run of bytes at the start of [p, end) for which
// `special` is false, looking at whole words with `word_special` first.
template <typename WordTest, typename ByteTest>
std::size_t plain_run(const char* p, const char* end, WordTest word_special, ByteTest special) {
    const char* const start = p;
    std::uint64_t word;
    while (end - p >= 8) {
        std::memcpy(&word, p, sizeof word);
        if (word_special(word)) {
            break;
        }
        p += 8;
    }
    while (p != end && !special(static_cast<unsigned char>(*p))) {
        ++p;
    }
    return static_cast<std::size_t>(p - start);
}
