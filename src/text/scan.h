// Finding the bytes that a JSON string or a CSV field must treat apart, eight
// bytes at a time: texts are long runs of plain bytes between a few of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Sixteen bytes at a time where the compiler offers SSE2 (every x86-64).
#if defined(__SSE2__) && defined(__GNUC__)
#define CRDVIEW_SCAN_SSE2 1
#include <emmintrin.h>

// A mask of the bytes of `v` that equal `byte`.
inline __m128i bytes_equal(__m128i v, char byte) {
    return _mm_cmpeq_epi8(v, _mm_set1_epi8(byte));
}
#endif

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

// The first byte of [p, end) that `Test` finds special (end when none is):
// `Test::vector(v)` marks the special bytes of sixteen (with SSE2);
// `Test::word(w)` is non-zero when one of the eight bytes of `w`, read in
// memory order, is special, with the lowest set bit in the first of them;
// `Test::byte(c)` tells of one byte.
template <typename Test>
const char* find_special(const char* p, const char* end) {
#ifdef CRDVIEW_SCAN_SSE2
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (const int found = _mm_movemask_epi8(Test::vector(v))) {
            return p + __builtin_ctz(static_cast<unsigned>(found));
        }
        p += 16;
    }
#endif
    std::uint64_t word;
    while (end - p >= 8) {
        std::memcpy(&word, p, sizeof word);
        if (const std::uint64_t found = Test::word(word)) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
            return p + __builtin_ctzll(found) / 8;
#else
            break;
#endif
        }
        p += 8;
    }
    while (p != end && !Test::byte(static_cast<unsigned char>(*p))) {
        ++p;
    }
    return p;
}

// Copies the bytes of [p, end) before the first special one to `at`, and
// moves both past them. It may write up to 16 bytes at `at` beyond them when
// 16 more remain at `p`: the caller has room for at least that.
template <typename Test>
void copy_plain(const char*& p, const char* end, char*& at) {
#ifdef CRDVIEW_SCAN_SSE2
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
        if (const int found = _mm_movemask_epi8(Test::vector(v))) {
            const int plain = __builtin_ctz(static_cast<unsigned>(found));
            p += plain;
            at += plain;
            return;
        }
        p += 16;
        at += 16;
    }
#endif
    std::uint64_t word;
    while (end - p >= 8) {
        std::memcpy(&word, p, sizeof word);
        if (Test::word(word)) {
            break;
        }
        std::memcpy(at, &word, sizeof word);
        p += 8;
        at += 8;
    }
    const char* const stop = find_special<Test>(p, end);
    std::memcpy(at, p, static_cast<std::size_t>(stop - p));
    at += stop - p;
    p = stop;
}
