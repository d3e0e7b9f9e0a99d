// The byte scanner that every writer looks through its texts with: texts are
// long runs of plain bytes between a few that a format treats apart, and the
// scanner finds those few sixteen bytes at a time where the compiler offers
// SSE2 (every x86-64, told at compile time), else eight at a time in a 64-bit
// word. Its users: the listing (control characters, for a terminal), JSON
// and CSV (what they escape and quote), HTML and vCard (what they escape),
// and the finders of web addresses; the HTML and vCard writers and the phone
// number finder mark their texts in one pass with marks.h.
//
// What a format treats apart is a byte class, a struct with
//   static bool byte(unsigned char c)           whether `c` is in the class;
//   static std::uint64_t word(std::uint64_t w)  non-zero when one of the eight
//       bytes of `w`, read in memory order, is, its lowest set bit in the
//       first of them (bits above it may be set for bytes that are not);
//   static __m128i vector(__m128i v)            0xFF at each of the sixteen
//       bytes of `v` that is (with SSE2).
// byte_is, byte_range and any_of make them; c0_control, terminal_control and
// c1_byte are the classes of control characters.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && defined(__GNUC__)
#define CRDVIEW_SCAN_SSE2 1
#include <emmintrin.h>
#endif

// A word with `byte` in each of its eight bytes.
constexpr std::uint64_t every_byte(unsigned byte) {
    return 0x0101010101010101ULL * byte;
}

// The byte `B`.
template <unsigned char B>
struct byte_is {
    static constexpr bool byte(unsigned char c) { return c == B; }
    static constexpr std::uint64_t word(std::uint64_t w) {
        const std::uint64_t x = w ^ every_byte(B);
        return (x - every_byte(0x01)) & ~x & every_byte(0x80);
    }
#ifdef CRDVIEW_SCAN_SSE2
    static __m128i vector(__m128i v) {
        return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(B)));
    }
#endif
};

// The bytes `First` to `Last` (ASCII: Last below 0x80).
template <unsigned char First, unsigned char Last>
struct byte_range {
    static_assert(First <= Last && Last < 0x80, "an ASCII range");
    static constexpr bool byte(unsigned char c) { return c >= First && c <= Last; }
    static constexpr std::uint64_t word(std::uint64_t w) {
        // Each byte's low seven bits on their own, so that no sum carries on.
        const std::uint64_t low = w & every_byte(0x7F);
        return (low + every_byte(0x80 - First)) & ~(low + every_byte(0x80 - Last - 1)) & ~w &
               every_byte(0x80);
    }
#ifdef CRDVIEW_SCAN_SSE2
    static __m128i vector(__m128i v) {
        const __m128i offset = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(First)));
        return _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(Last - First)), offset);
    }
#endif
};

// A byte of any of `Classes`.
template <typename... Classes>
struct any_of {
    static constexpr bool byte(unsigned char c) { return (Classes::byte(c) || ...); }
    static constexpr std::uint64_t word(std::uint64_t w) { return (Classes::word(w) | ...); }
#ifdef CRDVIEW_SCAN_SSE2
    static __m128i vector(__m128i v) {
        __m128i marks = _mm_setzero_si128();
        ((marks = _mm_or_si128(marks, Classes::vector(v))), ...);
        return marks;
    }
#endif
};

// The C0 control characters, 0x00 to 0x1F.
using c0_control = byte_range<0x00, 0x1F>;

// The bytes a terminal takes as commands: the C0 controls and DEL.
using terminal_control = any_of<c0_control, byte_is<0x7F>>;

// The bytes 0x80 to 0x9F: the C1 controls of a terminal that reads 8-bit
// bytes (0x9B: CSI, 0x9D: OSC), and letters of most Windows code pages.
struct c1_byte {
    static constexpr bool byte(unsigned char c) { return c >= 0x80 && c <= 0x9F; }
    static constexpr std::uint64_t word(std::uint64_t w) {
        // Those bytes have 0x80 as their top three bits: zero once flipped.
        const std::uint64_t top = (w ^ every_byte(0x80)) & every_byte(0xE0);
        return (top - every_byte(0x01)) & ~top & every_byte(0x80);
    }
#ifdef CRDVIEW_SCAN_SSE2
    static __m128i vector(__m128i v) {
        // As signed bytes, 0x80 to 0x9F are the ones below 0xA0.
        return _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(0xA0)));
    }
#endif
};

// The position of the lowest bit set in `bits` (not 0).
inline unsigned lowest_bit(std::uint64_t bits) {
#if defined(__GNUC__)
    return static_cast<unsigned>(__builtin_ctzll(bits));
#else
    unsigned k = 0;
    while ((bits & 1) == 0) {
        bits >>= 1;
        ++k;
    }
    return k;
#endif
}

// The first byte of [p, end) in the class `Test` (end when none is).
template <typename Test>
const char* find_special(const char* p, const char* end) {
#ifdef CRDVIEW_SCAN_SSE2
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (const int found = _mm_movemask_epi8(Test::vector(v))) {
            return p + lowest_bit(static_cast<unsigned>(found));
        }
        p += 16;
    }
#endif
    std::uint64_t word;
    while (end - p >= 8) {
        std::memcpy(&word, p, sizeof word);
        if (const std::uint64_t found = Test::word(word)) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
            return p + lowest_bit(found) / 8;
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

// Copies the bytes of [p, end) before the first one in the class `Test` to
// `at`, and moves both past them. It may write up to 16 bytes at `at` beyond
// them when 16 more remain at `p`: the caller has room for at least that.
template <typename Test>
void copy_plain(const char*& p, const char* end, char*& at) {
#ifdef CRDVIEW_SCAN_SSE2
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
        if (const int found = _mm_movemask_epi8(Test::vector(v))) {
            const unsigned plain = lowest_bit(static_cast<unsigned>(found));
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
