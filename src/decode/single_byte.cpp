#include "decode/single_byte.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "decode/utf8.h"

// The x86 vector path is compiled where GCC and Clang can compile one function
// for AVX2 alone and ask the processor at run time whether it has it.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && !defined(_MSC_VER)
#define CRDVIEW_X86_VECTORS 1
#include <immintrin.h>
#endif

namespace {

constexpr unsigned char UNASSIGNED_MARK = '*';

// The UTF-8 form of one byte: up to three bytes, then their count, so that a
// four-byte copy writes a byte's form and the next one's starts where the
// count says.
using utf8_form = std::array<unsigned char, 4>;

utf8_form encode_utf8(char32_t cp) {
    char bytes[4] = {};
    const char* end = put_utf8(cp, bytes);
    return {static_cast<unsigned char>(bytes[0]), static_cast<unsigned char>(bytes[1]),
            static_cast<unsigned char>(bytes[2]), static_cast<unsigned char>(end - bytes)};
}

bool two_byte_form(char32_t cp) {
    return cp >= 0x80 && cp < 0x800;
}

// What the conversion of one code page works with, made from its `upper`
// array when a text of that page first comes.
//
// The vector path sees the upper half as eight rows of sixteen bytes, 0x80 to
// 0x8F and so on. In most pages most letters of a row are consecutive code
// points: the byte 0xC0 + n of Windows-1251 is U+0410 + n, that of
// Windows-1252 U+00C0 + n. Each row gets the code point that its byte 0 would
// have on that run, its base; a byte whose code point is its row's base plus
// its low four bits and has a two-byte form is regular, and the vector path
// computes its form from the base. A block of text with a byte that is not
// regular goes through the byte table instead.
struct page_tables {
    const char16_t* key = nullptr;
    bool vectors = false;  // the processor runs the AVX2 path
    // The form of each byte as a word that holds it in memory order.
    std::array<std::uint32_t, 256> forms{};
    // By the high four bits of a byte: the first and second byte of the form
    // of its row's base (0xC0 | base >> 6 and 0x80 | base & 0x3F).
    alignas(16) std::array<unsigned char, 16> lead{};
    alignas(16) std::array<unsigned char, 16> trail{};
    // By the low four bits of a byte: bit r set where the byte of row r
    // (0x80 + 16 * r + low bits) is regular.
    alignas(16) std::array<unsigned char, 16> regular{};
};

page_tables cached_tables;

bool processor_has_avx2() {
#ifdef CRDVIEW_X86_VECTORS
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
#else
    return false;
#endif
}

void make_tables(page_tables& t, const char16_t (&upper)[128]) {
    for (unsigned byte = 0; byte < 256; ++byte) {
        const char16_t cp = byte < 0x80 ? static_cast<char16_t>(byte) : upper[byte - 0x80];
        const utf8_form form =
            byte >= 0x80 && cp == 0 ? utf8_form{UNASSIGNED_MARK, 0, 0, 1} : encode_utf8(cp);
        std::memcpy(&t.forms[byte], form.data(), form.size());
    }
    t.lead.fill(0);
    t.trail.fill(0);
    t.regular.fill(0);
    for (unsigned row = 0; row < 8; ++row) {
        const char16_t* const cps = upper + 16 * row;
        // The base that most bytes of the row agree on.
        char32_t base = 0;
        unsigned most = 0;
        for (unsigned low = 0; low < 16; ++low) {
            if (!two_byte_form(cps[low])) {
                continue;
            }
            const char32_t candidate = cps[low] - low;
            unsigned agree = 0;
            for (unsigned other = 0; other < 16; ++other) {
                agree += two_byte_form(cps[other]) && cps[other] - other == candidate;
            }
            if (agree > most) {
                most = agree;
                base = candidate;
            }
        }
        if (most == 0) {
            continue;
        }
        t.lead[8 + row] = static_cast<unsigned char>(0xC0 + (base >> 6));
        t.trail[8 + row] = static_cast<unsigned char>(0x80 + (base & 0x3F));
        for (unsigned low = 0; low < 16; ++low) {
            if (two_byte_form(cps[low]) && cps[low] - low == base) {
                t.regular[low] = static_cast<unsigned char>(t.regular[low] | 1u << row);
            }
        }
    }
    t.vectors = processor_has_avx2();
    t.key = upper;
}

const page_tables& tables_for(const char16_t (&upper)[128]) {
    if (cached_tables.key != upper) {
        make_tables(cached_tables, upper);
    }
    return cached_tables;
}

// The size of a form held in a word: its last byte in memory.
inline unsigned form_size(std::uint32_t form) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return form & 0xFF;
#else
    return form >> 24;
#endif
}

inline char* put_word(std::uint32_t form, char* dest) {
    std::memcpy(dest, &form, sizeof form);
    return dest + form_size(form);
}

inline char* put_form(const page_tables& t, unsigned char byte, char* dest) {
    return put_word(t.forms[byte], dest);
}

// Writes the forms of eight bytes. They are all looked up before the first is
// written, so that no lookup waits for a write that might overlap the table.
inline char* put_eight(const page_tables& t, const unsigned char* in, char* dest) {
    const std::uint32_t f0 = t.forms[in[0]], f1 = t.forms[in[1]], f2 = t.forms[in[2]],
                        f3 = t.forms[in[3]], f4 = t.forms[in[4]], f5 = t.forms[in[5]],
                        f6 = t.forms[in[6]], f7 = t.forms[in[7]];
    dest = put_word(f0, dest);
    dest = put_word(f1, dest);
    dest = put_word(f2, dest);
    dest = put_word(f3, dest);
    dest = put_word(f4, dest);
    dest = put_word(f5, dest);
    dest = put_word(f6, dest);
    return put_word(f7, dest);
}

constexpr std::uint64_t UPPER_BITS = 0x8080808080808080u;

// One byte at a time through the byte table, eight ASCII bytes at a time
// where they come.
char* convert_portable(const page_tables& t, const unsigned char* in, const unsigned char* end,
                       char* dest) {
    while (end - in >= 8) {
        std::uint64_t word;
        std::memcpy(&word, in, sizeof word);
        if ((word & UPPER_BITS) == 0) {
            std::memcpy(dest, in, sizeof word);
            dest += sizeof word;
        } else {
            dest = put_eight(t, in, dest);
        }
        in += 8;
    }
    for (; in != end; ++in) {
        dest = put_form(t, *in, dest);
    }
    return dest;
}

#ifdef CRDVIEW_X86_VECTORS

// For the lead and trail bytes of eight bytes of text interleaved, lead byte
// first (16 bytes), and the bits of those eight that are not ASCII: the order
// that keeps each lead byte and the trail byte of each byte that is not
// ASCII, in order. Made by the compiler (4 KiB).
struct group_orders {
    alignas(16) unsigned char order[256][16];
    unsigned char size[256];  // the size of the form: 8 and the number of bits
};

constexpr group_orders make_group_orders() {
    group_orders orders{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        unsigned at = 0;
        for (unsigned i = 0; i < 8; ++i) {
            orders.order[mask][at++] = static_cast<unsigned char>(2 * i);
            if (mask >> i & 1) {
                orders.order[mask][at++] = static_cast<unsigned char>(2 * i + 1);
            }
        }
        orders.size[mask] = static_cast<unsigned char>(at);
        while (at < 16) {
            orders.order[mask][at++] = 0x80;  // a zero byte, written past the end
        }
    }
    return orders;
}

constexpr group_orders GROUP_ORDERS = make_group_orders();

#define CRDVIEW_AVX2 __attribute__((target("avx2,popcnt")))

// Writes the form of eight bytes of text from their interleaved lead and trail
// bytes and the mask of those that are not ASCII; returns the end.
CRDVIEW_AVX2 inline char* put_group(__m128i pairs, unsigned upper, char* dest) {
    const __m128i order =
        _mm_load_si128(reinterpret_cast<const __m128i*>(GROUP_ORDERS.order[upper]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest), _mm_shuffle_epi8(pairs, order));
    return dest + GROUP_ORDERS.size[upper];
}

// Eight bytes of text at `in`, with the interleaved forms and masks the vector
// path computed: stored from the vectors when all the bytes are regular or
// ASCII, else through the byte table.
CRDVIEW_AVX2 inline char* put_group_or_bytes(const page_tables& t, const unsigned char* in,
                                             __m128i pairs, unsigned upper, unsigned odd,
                                             char* dest) {
    if (odd != 0) {
        return put_eight(t, in, dest);
    }
    return put_group(pairs, upper, dest);
}

// The page's tables and the constants of the vector path, in registers.
struct vector_tables {
    __m256i lead, trail, regular, row_bits, low_bits, last_trail, carried, zero;
};

// 32 bytes of text with the lead and trail bytes of each byte interleaved:
// bytes 0-7 and 16-23 in `first`, 8-15 and 24-31 in `second`. An ASCII byte
// is its own lead byte. `upper` has a bit for each byte that is not ASCII,
// `odd` for each of those that is not regular.
struct vector_block {
    __m256i first, second;
    std::uint32_t upper, odd;
};

CRDVIEW_AVX2 inline __m256i both_halves(const std::array<unsigned char, 16>& bytes) {
    return _mm256_broadcastsi128_si256(
        _mm_load_si128(reinterpret_cast<const __m128i*>(bytes.data())));
}

CRDVIEW_AVX2 inline vector_tables load_vector_tables(const page_tables& t) {
    // Bit r of the regular table for the bytes of row r; none for ASCII.
    const __m256i row_bits = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 4, 8, 16, 32, 64, -128,
                                              0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 4, 8, 16, 32, 64, -128);
    return {both_halves(t.lead),    both_halves(t.trail),
            both_halves(t.regular), row_bits,
            _mm256_set1_epi8(0x0F), _mm256_set1_epi8(static_cast<char>(0xBF)),
            _mm256_set1_epi8(0x40), _mm256_setzero_si256()};
}

CRDVIEW_AVX2 inline vector_block convert_block(const vector_tables& v, __m256i text,
                                               std::uint32_t upper) {
    const __m256i high = _mm256_and_si256(_mm256_srli_epi16(text, 4), v.low_bits);
    const __m256i low = _mm256_and_si256(text, v.low_bits);
    const __m256i regular = _mm256_and_si256(_mm256_shuffle_epi8(v.regular, low),
                                             _mm256_shuffle_epi8(v.row_bits, high));
    const std::uint32_t odd =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(regular, v.zero))) &
        upper;
    // The trail byte is the base's plus the low bits; past 0xBF it carries
    // into the lead byte.
    __m256i trail = _mm256_add_epi8(_mm256_shuffle_epi8(v.trail, high), low);
    const __m256i carry = _mm256_cmpgt_epi8(trail, v.last_trail);
    trail = _mm256_sub_epi8(trail, _mm256_and_si256(carry, v.carried));
    const __m256i lead =
        _mm256_blendv_epi8(text, _mm256_sub_epi8(_mm256_shuffle_epi8(v.lead, high), carry), text);
    return {_mm256_unpacklo_epi8(lead, trail), _mm256_unpackhi_epi8(lead, trail), upper, odd};
}

CRDVIEW_AVX2 inline __m128i low_half(__m256i x) {
    return _mm256_castsi256_si128(x);
}

CRDVIEW_AVX2 inline __m128i high_half(__m256i x) {
    return _mm256_extracti128_si256(x, 1);
}

// For the last r bytes of a text (r < 16) loaded as the 16 bytes that end
// where it ends: the order that moves them to the front, zeros after them.
alignas(16) constexpr unsigned char TAIL_ORDER[32] = {
    0,    1,    2,    3,    4,    5,    6,    7,    8,    9,    10,   11,   12,   13,   14,   15,
    0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};

CRDVIEW_AVX2 char* convert_avx2(const page_tables& t, const unsigned char* const begin,
                                const unsigned char* const end, char* dest) {
    const vector_tables v = load_vector_tables(t);
    const unsigned char* in = begin;
    while (end - in >= 32) {
        const __m256i text = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
        const auto upper = static_cast<std::uint32_t>(_mm256_movemask_epi8(text));
        if (upper == 0) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest), text);
            in += 32;
            dest += 32;
            continue;
        }
        const vector_block b = convert_block(v, text, upper);
        dest = put_group_or_bytes(t, in, low_half(b.first), upper & 0xFF, b.odd & 0xFF, dest);
        dest = put_group_or_bytes(t, in + 8, low_half(b.second), upper >> 8 & 0xFF,
                                  b.odd >> 8 & 0xFF, dest);
        dest = put_group_or_bytes(t, in + 16, high_half(b.first), upper >> 16 & 0xFF,
                                  b.odd >> 16 & 0xFF, dest);
        dest = put_group_or_bytes(t, in + 24, high_half(b.second), upper >> 24, b.odd >> 24, dest);
        in += 32;
    }
    // The rest, 16 bytes at a time in the low half of the vectors.
    if (end - in >= 16) {
        const __m256i text =
            _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)));
        const auto upper = static_cast<std::uint32_t>(_mm256_movemask_epi8(text)) & 0xFFFF;
        const vector_block b = convert_block(v, text, upper);
        dest = put_group_or_bytes(t, in, low_half(b.first), upper & 0xFF, b.odd & 0xFF, dest);
        dest =
            put_group_or_bytes(t, in + 8, low_half(b.second), upper >> 8, b.odd >> 8 & 0xFF, dest);
        in += 16;
    }
    // The last r bytes, from the 16 that end the text. The forms of the zeros
    // behind them are written past the end; the room of three bytes for each
    // byte holds them from three bytes of text on.
    const auto r = static_cast<std::size_t>(end - in);
    if (r >= 3 && end - begin >= 16) {
        const __m128i last = _mm_shuffle_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16)),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(TAIL_ORDER + 16 - r)));
        const __m256i text = _mm256_broadcastsi128_si256(last);
        const auto upper = static_cast<std::uint32_t>(_mm256_movemask_epi8(text)) & 0xFFFF;
        const vector_block b = convert_block(v, text, upper);
        if (b.odd == 0) {
            char* const stop = dest + r + static_cast<unsigned>(__builtin_popcount(upper));
            dest = put_group(low_half(b.first), upper & 0xFF, dest);
            if (r > 8) {
                put_group(low_half(b.second), upper >> 8, dest);
            }
            return stop;
        }
    }
    return convert_portable(t, in, end, dest);
}

#endif  // CRDVIEW_X86_VECTORS

}  // namespace

char* single_byte_to_utf8_at(const char16_t (&upper)[128], std::string_view text, char* dest) {
    const page_tables& t = tables_for(upper);
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
#ifdef CRDVIEW_X86_VECTORS
    if (t.vectors) {
        return convert_avx2(t, in, in + text.size(), dest);
    }
#endif
    return convert_portable(t, in, in + text.size(), dest);
}

char* single_byte_to_utf8_portable(const char16_t (&upper)[128], std::string_view text,
                                   char* dest) {
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    return convert_portable(tables_for(upper), in, in + text.size(), dest);
}
