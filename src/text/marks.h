// The byte scanner's marking pass (see scan.h for the byte classes): where a
// writer looks at every special byte of a text, of several classes and each
// many times, the text is marked in one pass, a bitmap for each class: bit
// k % 64 of word k / 64 is set when byte k is in the class. With AVX2, which
// the processor is asked for once (the scanner's only question to it), each
// class is told by the two halves of each byte looked up in two tables of 16
// (classes of ASCII bytes, several sharing a pair of tables); else with SSE2
// by the classes' own tests; else byte by byte.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "scan.h"

using byte_marks = std::vector<std::uint64_t>;

// The bytes of a text marked in `bits`, in order: the text's first byte is
// bit `first` (so that a part of a marked text is read from its marks).
struct marked_bytes {
    const std::uint64_t* bits;
    std::size_t size;  // of the text
    std::size_t first = 0;

    // The position of the first marked byte at or after `i` (`size` when none is).
    std::size_t next(std::size_t i) const {
        if (i >= size) {
            return size;
        }
        const std::size_t at = first + i;
        std::size_t word = at / 64;
        std::uint64_t marked = bits[word] & (~std::uint64_t{0} << (at % 64));
        while (marked == 0) {
            if (++word * 64 >= first + size) {
                return size;
            }
            marked = bits[word];
        }
        return std::min(word * 64 + lowest_bit(marked) - first, size);
    }
};

// Whether any byte is marked.
inline bool any_marked(const byte_marks& marks) {
    return std::any_of(marks.begin(), marks.end(), [](std::uint64_t w) { return w != 0; });
}

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && !defined(_MSC_VER) && \
    defined(CRDVIEW_SCAN_SSE2)
#define CRDVIEW_SCAN_AVX2 1
#include <immintrin.h>
#endif

namespace scan_detail {

// Classes told by the two halves of each byte: bit r of by_low[t][l] and of
// by_high[t][h] are both set when the byte 16 * h + l is in rectangle r of
// table t. The classes share tables, at most 8 rectangles a table; class i
// is the bits bits_of[i] of table table_of[i].
template <std::size_t N>
struct nibble_tables {
    unsigned char by_low[N][16];
    unsigned char by_high[N][16];
    std::size_t tables;
    std::size_t table_of[N];
    unsigned char bits_of[N];
    unsigned char used[N];  // the bits of each table
};

// The low halves of the bytes of `is_in` whose high half is `high`, a bit each.
template <typename Class>
constexpr unsigned lows_of(unsigned high) {
    unsigned lows = 0;
    for (unsigned low = 0; low < 16; ++low) {
        lows |= unsigned{Class::byte(static_cast<unsigned char>(16 * high + low))} << low;
    }
    return lows;
}

// Adds class `i` to the tables: a rectangle for each set of high halves that
// go with the same low halves. A class must be ASCII bytes.
template <typename Class, std::size_t N>
constexpr void add_class(nibble_tables<N>& t, std::size_t i) {
    unsigned rectangles = 0;
    for (unsigned high = 0; high < 16; ++high) {
        bool first = lows_of<Class>(high) != 0;
        for (unsigned before = 0; before < high && first; ++before) {
            first = lows_of<Class>(before) != lows_of<Class>(high);
        }
        rectangles += first ? 1 : 0;
    }
    std::size_t table = t.tables == 0 ? 0 : t.tables - 1;
    unsigned free = 8;
    for (unsigned char bits = t.used[table]; bits != 0;
         bits = static_cast<unsigned char>(bits >> 1)) {
        --free;
    }
    if (t.tables == 0 || rectangles > free) {
        table = t.tables++;
    }
    unsigned bit = 1;
    for (unsigned used = t.used[table]; used & bit; bit <<= 1) {
    }
    t.table_of[i] = table;
    for (unsigned high = 0; high < 16; ++high) {
        const unsigned lows = lows_of<Class>(high);
        bool first = lows != 0 && high < 8;
        for (unsigned before = 0; before < high && first; ++before) {
            first = lows_of<Class>(before) != lows;
        }
        if (!first) {
            continue;
        }
        for (unsigned other = high; other < 16; ++other) {
            if (lows_of<Class>(other) == lows) {
                t.by_high[table][other] = static_cast<unsigned char>(t.by_high[table][other] | bit);
            }
        }
        for (unsigned low = 0; low < 16; ++low) {
            if (lows >> low & 1) {
                t.by_low[table][low] = static_cast<unsigned char>(t.by_low[table][low] | bit);
            }
        }
        t.bits_of[i] = static_cast<unsigned char>(t.bits_of[i] | bit);
        bit <<= 1;
    }
    t.used[table] = static_cast<unsigned char>(t.used[table] | t.bits_of[i]);
}

template <typename... Classes>
constexpr nibble_tables<sizeof...(Classes)> tables_of() {
    nibble_tables<sizeof...(Classes)> t{};
    std::size_t i = 0;
    (add_class<Classes>(t, i++), ...);
    return t;
}

// Whether every class is ASCII bytes, as the tables tell them.
template <typename... Classes>
constexpr bool told_by_tables() {
    bool exact = true;
    constexpr auto t = tables_of<Classes...>();
    std::size_t i = 0;
    const auto check = [&](auto is_in) {
        for (unsigned byte = 0; byte < 256; ++byte) {
            const unsigned char kind =
                t.by_low[t.table_of[i]][byte & 15] & t.by_high[t.table_of[i]][byte >> 4];
            exact =
                exact && ((kind & t.bits_of[i]) != 0) == is_in(static_cast<unsigned char>(byte));
        }
        ++i;
    };
    (check([](unsigned char c) { return Classes::byte(c); }), ...);
    return exact;
}

// The marks of the `count` bytes (at most 64) at `p` for each class, into
// marks[i]; reads the bytes up to the next multiple of 16 (with SSE2).
template <typename... Classes>
void mark_chunk(const char* p, unsigned count, std::uint64_t* marks) {
    std::size_t i = 0;
#ifdef CRDVIEW_SCAN_SSE2
    for (std::size_t c = 0; c < sizeof...(Classes); ++c) {
        marks[c] = 0;
    }
    for (unsigned k = 0; k < count; k += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
        i = 0;
        ((marks[i++] |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(Classes::vector(v)))}
                        << k),
         ...);
    }
#else
    const auto one = [&](auto is_in) {
        std::uint64_t bits = 0;
        for (unsigned k = 0; k < count; ++k) {
            bits |= std::uint64_t{is_in(static_cast<unsigned char>(p[k]))} << k;
        }
        marks[i++] = bits;
    };
    (one([](unsigned char c) { return Classes::byte(c); }), ...);
#endif
}

#ifdef CRDVIEW_SCAN_AVX2
// The marks of `chunks` times 64 bytes at `p` for each class, into words 0
// on of out[i], with AVX2; then, when `rest` is not 0, those of the `rest`
// bytes after them, from the 64 bytes that end there.
template <typename... Classes>
__attribute__((target("avx2"))) void mark_chunks_avx2(const char* p, std::size_t chunks,
                                                      unsigned rest, std::uint64_t* const* out) {
    constexpr std::size_t n = sizeof...(Classes);
    static_assert(told_by_tables<Classes...>(), "classes of ASCII bytes");
    static constexpr nibble_tables<n> t = tables_of<Classes...>();
    __m256i by_low[n], by_high[n];
    for (std::size_t table = 0; table < t.tables; ++table) {
        by_low[table] = _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.by_low[table])));
        by_high[table] = _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.by_high[table])));
    }
    const __m256i halves = _mm256_set1_epi8(0x0F);
    const __m256i zero = _mm256_setzero_si256();
    for (std::size_t c = 0; c < chunks + (rest != 0); ++c) {
        const char* const chunk = c < chunks ? p + 64 * c : p + 64 * c - (64 - rest);
        std::uint64_t marks[n] = {};
        for (unsigned k = 0; k < 64; k += 32) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(chunk + k));
            const __m256i low = _mm256_and_si256(v, halves);
            const __m256i high = _mm256_and_si256(_mm256_srli_epi16(v, 4), halves);
            __m256i kinds[n];
            for (std::size_t table = 0; table < t.tables; ++table) {
                kinds[table] = _mm256_and_si256(_mm256_shuffle_epi8(by_low[table], low),
                                                _mm256_shuffle_epi8(by_high[table], high));
            }
            for (std::size_t i = 0; i < n; ++i) {
                __m256i kind = kinds[t.table_of[i]];
                if (t.bits_of[i] != t.used[t.table_of[i]]) {
                    kind =
                        _mm256_and_si256(kind, _mm256_set1_epi8(static_cast<char>(t.bits_of[i])));
                }
                const auto plain =
                    static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(kind, zero)));
                marks[i] |= std::uint64_t{~plain} << k;
            }
        }
        for (std::size_t i = 0; i < n; ++i) {
            out[i][c] = c < chunks ? marks[i] : marks[i] >> (64 - rest);
        }
    }
}
#endif

// Whether the processor runs the AVX2 path: asked once.
inline bool use_avx2() {
#ifdef CRDVIEW_SCAN_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
#else
    return false;
#endif
}

}  // namespace scan_detail

// Marks the bytes of `text` of each of `Classes` in the bitmap of the same
// place in `marks` (replacing what they held), in one pass.
template <typename... Classes, typename... Marks>
void mark_bytes(std::string_view text, Marks&... marks) {
    constexpr std::size_t classes = sizeof...(Classes);
    static_assert(classes == sizeof...(Marks), "a bitmap for each class");
    const char* const p = text.data();
    const std::size_t n = text.size();
    const std::size_t whole = n / 64;
    const auto rest = static_cast<unsigned>(n % 64);
    ((marks.resize(whole + (rest != 0))), ...);
    std::uint64_t* const out[] = {marks.data()...};
    std::uint64_t last[classes];
#ifdef CRDVIEW_SCAN_AVX2
    if (whole > 0 && scan_detail::use_avx2()) {
        scan_detail::mark_chunks_avx2<Classes...>(p, whole, rest, out);
        return;
    }
#endif
    for (std::size_t c = 0; c < whole; ++c) {
        scan_detail::mark_chunk<Classes...>(p + 64 * c, 64, last);
        for (std::size_t i = 0; i < classes; ++i) {
            out[i][c] = last[i];
        }
    }
    if (rest == 0) {
        return;
    }
    if (whole > 0) {
        // The last bytes, from the 64 that end the text.
        scan_detail::mark_chunk<Classes...>(p + n - 64, 64, last);
        for (std::size_t i = 0; i < classes; ++i) {
            out[i][whole] = last[i] >> (64 - rest);
        }
        return;
    }
    // A short text, from a copy with room for whole groups of 16.
    char copy[64] = {};
    std::memcpy(copy, p, n);
    scan_detail::mark_chunk<Classes...>(copy, rest, last);
    const std::uint64_t kept = ~std::uint64_t{0} >> (64 - rest);
    for (std::size_t i = 0; i < classes; ++i) {
        out[i][0] = last[i] & kept;
    }
}
