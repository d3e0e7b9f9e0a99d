#include "vcard.h"

#include <algorithm>
#include <cstring>

#include "image/base64.h"
#include "image/card_picture.h"
#include "decode/decode.h"
#include "json.h"
#include "text/scan.h"

// Where GCC and Clang can compile one function for AVX2 alone and ask the
// processor at run time whether it has it, a card's text is looked at 32
// bytes at a time.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && !defined(_MSC_VER) && \
    defined(CRDVIEW_SCAN_SSE2)
#define CRDVIEW_VCARD_AVX2 1
#include <immintrin.h>
#endif

namespace {

// A content line holds at most this many octets before its CR LF.
constexpr std::size_t FOLD_AT = 75;

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool is_alnum(char c) {
    return is_digit(c) || is_letter(c);
}

bool one_of(char c, std::string_view set) {
    for (const char member : set) {
        if (c == member) {
            return true;
        }
    }
    return false;
}

void add_once(std::vector<std::string_view>& found, std::string_view item) {
    if (std::find(found.begin(), found.end(), item) == found.end()) {
        found.push_back(item);
    }
}

// What a text value escapes or shows otherwise: '\', ',', ';', the C0
// controls and DEL.
struct vcard_special {
    static std::uint64_t word(std::uint64_t w) {
        return has_byte_below(w, 0x20) | has_byte(w, 0x7F) | has_byte(w, '\\') | has_byte(w, ',') |
               has_byte(w, ';');
    }
    static bool byte(unsigned char c) {
        return c < 0x20 || c == 0x7F || c == '\\' || c == ',' || c == ';';
    }
#ifdef CRDVIEW_SCAN_SSE2
    static __m128i vector(__m128i v) {
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x1F)), v);
        return _mm_or_si128(_mm_or_si128(control, bytes_equal(v, 0x7F)),
                            _mm_or_si128(bytes_equal(v, '\\'),
                                         _mm_or_si128(bytes_equal(v, ','), bytes_equal(v, ';'))));
    }
#endif
};

// Where a phone number may begin: a digit, '+' or '('. Eight bytes at a
// time, each byte tested on its own (no carry crosses from one to the next).
struct phone_mark {
    static std::uint64_t word(std::uint64_t w) {
        const std::uint64_t low = w & every_byte(0x7F);
        const std::uint64_t digit =
            (low + every_byte(0x80 - '0')) & ~(low + every_byte(0x80 - ':'));
        const std::uint64_t plus = ~((low ^ every_byte('+')) + every_byte(0x7F));
        const std::uint64_t open = ~((low ^ every_byte('(')) + every_byte(0x7F));
        return (digit | plus | open) & ~w & every_byte(0x80);
    }
    static bool byte(unsigned char c) { return (c >= '0' && c <= '9') || c == '+' || c == '('; }
#ifdef CRDVIEW_SCAN_SSE2
    static __m128i vector(__m128i v) {
        const __m128i digit = _mm_sub_epi8(v, _mm_set1_epi8('0'));
        return _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(digit, _mm_set1_epi8(9)), digit),
                            _mm_or_si128(bytes_equal(v, '+'), bytes_equal(v, '(')));
    }
#endif
};

// Where a web address may show: the ':' of "http://", the '.' of "www.".
struct web_mark {
    static std::uint64_t word(std::uint64_t w) { return has_byte(w, ':') | has_byte(w, '.'); }
    static bool byte(unsigned char c) { return c == ':' || c == '.'; }
#ifdef CRDVIEW_SCAN_SSE2
    static __m128i vector(__m128i v) {
        return _mm_or_si128(bytes_equal(v, ':'), bytes_equal(v, '.'));
    }
#endif
};

// Whether a text holds a byte that may begin an e-mail address ('@'), or one
// of a web address (the ':' of "http://", a 'w' of "www." in either case).
struct address_mark {
    static std::uint64_t word(std::uint64_t w) {
        return has_byte(w, '@') | has_byte(w, ':') | has_byte(w | every_byte(0x20), 'w');
    }
    static bool byte(unsigned char c) { return c == '@' || c == ':' || (c | 0x20) == 'w'; }
#ifdef CRDVIEW_SCAN_SSE2
    static __m128i vector(__m128i v) {
        return _mm_or_si128(_mm_or_si128(bytes_equal(v, '@'), bytes_equal(v, ':')),
                            bytes_equal(_mm_or_si128(v, _mm_set1_epi8(0x20)), 'w'));
    }
#endif
};

// The position of the first byte at or after `i` that `Mark` looks at.
template <typename Mark>
std::size_t next_mark(std::string_view text, std::size_t i) {
    return static_cast<std::size_t>(find_special<Mark>(text.data() + i, text.data() + text.size()) -
                                    text.data());
}

// The position of the lowest bit set in `bits` (not 0).
unsigned lowest_bit(std::uint64_t bits) {
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

// The bytes of a text that `Test` looks for, in order, found 64 at a time: a
// run of plain bytes costs a few instructions however many marks follow.
template <typename Test>
struct mark_cursor {
    const char* text;
    std::size_t size;
    std::size_t chunk = 0;   // where the 64 bytes of `bits` begin
    std::uint64_t bits = 0;  // bit k: the byte at chunk + k is marked
    bool loaded = false;

    std::uint64_t marks_at(std::size_t from) const {
        const char* const p = text + from;
        const std::size_t count = std::min<std::size_t>(64, size - from);
        std::uint64_t marks = 0;
        std::size_t k = 0;
#ifdef CRDVIEW_SCAN_SSE2
        for (; k + 16 <= count; k += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
            marks |= static_cast<std::uint64_t>(
                         static_cast<unsigned>(_mm_movemask_epi8(Test::vector(v))))
                     << k;
        }
        if (k < count && count >= 16) {
            // The last 16 bytes, those not looked at yet at their top.
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + count - 16));
            const auto last = static_cast<unsigned>(_mm_movemask_epi8(Test::vector(v)));
            marks |= static_cast<std::uint64_t>(last >> (16 - (count - k))) << k;
            k = count;
        }
#endif
        for (; k + 8 <= count; k += 8) {
            std::uint64_t word;
            std::memcpy(&word, p + k, sizeof word);
            if (Test::word(word)) {
                for (std::size_t j = k; j < k + 8; ++j) {
                    marks |=
                        static_cast<std::uint64_t>(Test::byte(static_cast<unsigned char>(p[j])))
                        << j;
                }
            }
        }
        for (; k < count; ++k) {
            marks |= static_cast<std::uint64_t>(Test::byte(static_cast<unsigned char>(p[k]))) << k;
        }
        return marks;
    }

    // The position of the first marked byte at or after `i` (`size` when none is).
    std::size_t next(std::size_t i) {
        if (i >= size) {
            return size;
        }
        const std::size_t base = i & ~static_cast<std::size_t>(63);
        if (!loaded || base != chunk) {
            chunk = base;
            bits = marks_at(base);
            loaded = true;
        }
        std::uint64_t marked = bits & (~std::uint64_t{0} << (i & 63));
        while (marked == 0) {
            chunk += 64;
            if (chunk >= size) {
                chunk -= 64;  // stays the chunk `bits` holds
                return size;
            }
            bits = marked = marks_at(chunk);
        }
        return chunk + lowest_bit(marked);
    }
};

// Marks as bits: bit k % 64 of word k / 64 tells whether byte k of a text is
// marked (bits past its end are 0).
struct bit_cursor {
    const std::uint64_t* bits;
    std::size_t size;

    // The position of the first marked byte at or after `i` (`size` when none is).
    std::size_t next(std::size_t i) const {
        if (i >= size) {
            return size;
        }
        std::size_t word = i / 64;
        std::uint64_t marked = bits[word] & (~std::uint64_t{0} << (i % 64));
        while (marked == 0) {
            if (++word * 64 >= size) {
                return size;
            }
            marked = bits[word];
        }
        return word * 64 + lowest_bit(marked);
    }
};

#ifdef CRDVIEW_VCARD_AVX2
bool processor_has_avx2() {
    return __builtin_cpu_supports("avx2");
}

// mark_text for the first `chunks` times 64 bytes at `p`, with AVX2. Each
// byte is sorted by its two halves, looked up in two tables: a byte is in
// the class of bit b when the entries of both its halves have bit b set.
//   bit 0: high half 0 or 1 (C0 controls)     bit 4: 0x30 to 0x39 (digits)
//   bit 1: 0x2C ',' and 0x5C '\'              bit 5: 0x28 '(' and 0x2B '+'
//   bit 2: 0x3B ';'                           bit 6: 0x57 'W' and 0x77 'w'
//   bit 3: 0x7F DEL                           bit 7: 0x3A ':'
// vcard_special: bits 0 to 3; phone_mark: bits 4 and 5; address_mark: bits 6
// and 7, and '@'.
__attribute__((target("avx2"))) bool mark_chunks_avx2(const char* p, std::size_t chunks,
                                                      std::uint64_t* special,
                                                      std::uint64_t* phone) {
    const __m256i by_low =
        _mm256_setr_epi8(0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x51, 0x31, 0x11, char(0x81),
                         0x25, 0x03, 0x01, 0x01, 0x09, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                         0x51, 0x31, 0x11, char(0x81), 0x25, 0x03, 0x01, 0x01, 0x09);
    const __m256i by_high =
        _mm256_setr_epi8(0x01, 0x01, 0x22, char(0x94), 0, 0x42, 0, 0x48, 0, 0, 0, 0, 0, 0, 0, 0,
                         0x01, 0x01, 0x22, char(0x94), 0, 0x42, 0, 0x48, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i halves = _mm256_set1_epi8(0x0F);
    const __m256i zero = _mm256_setzero_si256();
    __m256i any = zero;
    for (std::size_t c = 0; c < chunks; ++c) {
        std::uint64_t special_bits = 0;
        std::uint64_t phone_bits = 0;
        for (unsigned k = 0; k < 64; k += 32) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 64 * c + k));
            const __m256i low = _mm256_shuffle_epi8(by_low, _mm256_and_si256(v, halves));
            const __m256i high =
                _mm256_shuffle_epi8(by_high, _mm256_and_si256(_mm256_srli_epi16(v, 4), halves));
            const __m256i kind = _mm256_and_si256(low, high);
            const std::uint32_t plain = static_cast<std::uint32_t>(_mm256_movemask_epi8(
                _mm256_cmpeq_epi8(_mm256_and_si256(kind, _mm256_set1_epi8(0x0F)), zero)));
            const std::uint32_t no_phone = static_cast<std::uint32_t>(_mm256_movemask_epi8(
                _mm256_cmpeq_epi8(_mm256_and_si256(kind, _mm256_set1_epi8(0x30)), zero)));
            special_bits |= static_cast<std::uint64_t>(~plain) << k;
            phone_bits |= static_cast<std::uint64_t>(~no_phone) << k;
            any = _mm256_or_si256(
                any, _mm256_or_si256(_mm256_and_si256(kind, _mm256_set1_epi8(char(0xC0))),
                                     _mm256_cmpeq_epi8(v, _mm256_set1_epi8('@'))));
        }
        special[c] = special_bits;
        phone[c] = phone_bits;
    }
    return !_mm256_testz_si256(any, any);
}
#endif

#ifdef CRDVIEW_SCAN_SSE2
// mark_text for the first `chunks` times 64 bytes at `p`, with SSE2.
bool mark_chunks_sse2(const char* p, std::size_t chunks, std::uint64_t* special,
                      std::uint64_t* phone) {
    __m128i any = _mm_setzero_si128();
    for (std::size_t c = 0; c < chunks; ++c) {
        std::uint64_t special_bits = 0;
        std::uint64_t phone_bits = 0;
        for (unsigned k = 0; k < 64; k += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 64 * c + k));
            special_bits |= static_cast<std::uint64_t>(
                                static_cast<unsigned>(_mm_movemask_epi8(vcard_special::vector(v))))
                            << k;
            phone_bits |= static_cast<std::uint64_t>(
                              static_cast<unsigned>(_mm_movemask_epi8(phone_mark::vector(v))))
                          << k;
            any = _mm_or_si128(any, address_mark::vector(v));
        }
        special[c] = special_bits;
        phone[c] = phone_bits;
    }
    return _mm_movemask_epi8(any) != 0;
}
#endif

// One pass over a card's text for all the writer looks for in it: the bytes
// vcard_special finds into `special`, those phone_mark finds into `phone`
// (as bit_cursor reads them). Returns whether the text holds a byte
// address_mark finds.
bool mark_text(std::string_view text, std::vector<std::uint64_t>& special,
               std::vector<std::uint64_t>& phone) {
    const char* const p = text.data();
    const std::size_t n = text.size();
    special.resize((n + 63) / 64);
    phone.resize(special.size());
    std::size_t from = 0;
#ifdef CRDVIEW_SCAN_SSE2
#ifdef CRDVIEW_VCARD_AVX2
    static const bool avx2 = processor_has_avx2();
    const auto chunks = avx2 ? mark_chunks_avx2 : mark_chunks_sse2;
#else
    const auto chunks = mark_chunks_sse2;
#endif
    if (n >= 64) {
        bool address = chunks(p, n / 64, special.data(), phone.data());
        from = n / 64 * 64;
        if (from < n) {
            // The last 64 bytes, those of the last chunk at their top.
            std::uint64_t special_bits = 0;
            std::uint64_t phone_bits = 0;
            address = chunks(p + n - 64, 1, &special_bits, &phone_bits) || address;
            const std::size_t shift = 64 - (n - from);
            special[from / 64] = special_bits >> shift;
            phone[from / 64] = phone_bits >> shift;
        }
        return address;
    }
#endif
    bool address = false;
    // What is left (every byte without SSE2): eight bytes at a time, each
    // byte of a word looked at only when the word holds a mark.
    for (; from < n; from += 64) {
        const std::size_t count = std::min<std::size_t>(64, n - from);
        std::uint64_t special_bits = 0;
        std::uint64_t phone_bits = 0;
        std::size_t k = 0;
        const auto look_at = [&](std::size_t at) {
            const auto c = static_cast<unsigned char>(p[from + at]);
            special_bits |= static_cast<std::uint64_t>(vcard_special::byte(c)) << at;
            phone_bits |= static_cast<std::uint64_t>(phone_mark::byte(c)) << at;
            address = address || address_mark::byte(c);
        };
        for (; k + 8 <= count; k += 8) {
            std::uint64_t word;
            std::memcpy(&word, p + from + k, sizeof word);
            if (vcard_special::word(word) | phone_mark::word(word) | address_mark::word(word)) {
                for (std::size_t j = k; j < k + 8; ++j) {
                    look_at(j);
                }
            }
        }
        for (; k < count; ++k) {
            look_at(k);
        }
        special[from / 64] = special_bits;
        phone[from / 64] = phone_bits;
    }
    return address;
}

// A content line written straight into the output, folded as it goes: a
// physical line holds at most FOLD_AT octets, a continuation line begins
// with a space, and neither a UTF-8 sequence nor an escape is ever cut.
struct folded_line {
    output_block& block;
    char* at;
    std::size_t column = 0;

    // `most`: the octets of the line's parts before folding, escapes counted.
    folded_line(output_block& out, std::size_t most)
        : block(out), at(output_room(out, most + 3 * (most / (FOLD_AT - 5) + 1) + 2)) {}

    void fold() {
        std::memcpy(at, "\r\n ", 3);
        at += 3;
        column = 1;
    }

    // Bytes written as they are (whole UTF-8 sequences).
    void plain(const char* p, const char* end) {
        while (p != end) {
            if (column == FOLD_AT) {
                fold();
            }
            const std::size_t room = FOLD_AT - column;
            const char* cut = end;
            if (static_cast<std::size_t>(end - p) > room) {
                cut = p + room;
                while (cut != p && (static_cast<unsigned char>(*cut) & 0xC0) == 0x80) {
                    --cut;  // not inside a UTF-8 sequence
                }
                if (cut == p && column > 1) {
                    fold();
                    continue;
                }
                if (cut == p) {
                    cut = p + room;  // not UTF-8 at all: cut where the line is full
                }
            }
            std::memcpy(at, p, static_cast<std::size_t>(cut - p));
            at += cut - p;
            column += static_cast<std::size_t>(cut - p);
            p = cut;
        }
    }
    void plain(std::string_view bytes) { plain(bytes.data(), bytes.data() + bytes.size()); }

    // Two bytes kept together: an escape, a character in caret notation.
    void pair(char first, char second) {
        if (column + 2 > FOLD_AT) {
            fold();
        }
        at[0] = first;
        at[1] = second;
        at += 2;
        column += 2;
    }

    // Plain bytes [p, stop) (whole UTF-8 sequences), folded where they run
    // past the end of the line: before the sequence the fold would cut.
    void run(const char* p, const char* stop) {
        std::size_t col = column;
        while (col + static_cast<std::size_t>(stop - p) > FOLD_AT) {
            const char* const full = p + (FOLD_AT - col);
            const char* cut = full;
            while (cut != p && (static_cast<unsigned char>(*cut) & 0xC0) == 0x80) {
                --cut;  // not inside a UTF-8 sequence
            }
            if (cut == p && col <= 1) {
                cut = full;  // not UTF-8: cut where the line is full
            }
            std::memcpy(at, p, static_cast<std::size_t>(cut - p));
            at += cut - p;
            std::memcpy(at, "\r\n ", 3);
            at += 3;
            p = cut;
            col = 1;
        }
        std::memcpy(at, p, static_cast<std::size_t>(stop - p));
        at += stop - p;
        column = col + static_cast<std::size_t>(stop - p);
    }

    // `text` (UTF-8) as a text value: '\', ',' and ';' escaped with '\', a
    // line end (CR LF or LF) as "\n", TAB as it is, and every other control
    // character in caret notation ("^M" for a lone CR).
    void text(std::string_view value) {
        text(value, mark_cursor<vcard_special>{value.data(), value.size()});
    }

    // The same, with `special` at the bytes of `value` that vcard_special finds.
    template <typename Cursor>
    void text(std::string_view value, Cursor special) {
        const char* const begin = value.data();
        const char* p = begin;
        const char* const end = p + value.size();
        while (p != end) {
            // The plain bytes up to the next special one.
            const char* const stop = begin + special.next(static_cast<std::size_t>(p - begin));
            run(p, stop);
            p = stop;
            if (p == end) {
                break;
            }
            const auto c = static_cast<unsigned char>(*p++);
            if (c == '\\' || c == ',' || c == ';') {
                pair('\\', static_cast<char>(c));
            } else if (c == '\n' || (c == '\r' && p != end && *p == '\n')) {
                p += c == '\r' ? 1 : 0;
                pair('\\', 'n');
            } else if (c == '\t') {
                plain("\t");
            } else {
                pair('^', c == 0x7F ? '?' : static_cast<char>(c + 0x40));
            }
        }
    }

    void finish() {
        std::memcpy(at, "\r\n", 2);
        output_done(block, at + 2);
    }
};

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

bool has_digit(std::string_view text) {
    return std::any_of(text.begin(), text.end(), is_digit);
}

// N's five parts (family; given; additional; prefixes; suffixes) of a title.
void put_name(folded_line& line, std::string_view title) {
    const std::size_t comma = title.find(',');
    if (comma != std::string_view::npos) {
        const std::string_view last = trim(title.substr(0, comma));
        std::string_view rest = trim(title.substr(comma + 1));
        const std::size_t space = rest.find_first_of(" \t");
        const std::string_view first = rest.substr(0, space);
        const std::string_view middle =
            space == std::string_view::npos ? std::string_view() : trim(rest.substr(space));
        if (!last.empty() && !first.empty() && rest.find(',') == std::string_view::npos &&
            !has_digit(last) && !has_digit(rest)) {
            line.text(last);
            line.plain(";");
            line.text(first);
            line.plain(";");
            line.text(middle);
            line.plain(";;");
            return;
        }
    }
    line.text(title);
    line.plain(";;;;");
}

// The digit groups of a candidate phone number and what stands between them.
struct digit_groups {
    std::size_t count = 0;
    unsigned char sizes[16];  // of the first 16 groups
    std::string_view first{}, last{};
    bool same_separator = true;  // one and the same single character between every two
    char separator = 0;
};

digit_groups groups_of(std::string_view number) {
    digit_groups groups;
    std::size_t i = 0;
    std::string_view between;
    while (i < number.size()) {
        const std::size_t start = i;
        while (i < number.size() && !is_digit(number[i])) {
            ++i;
        }
        between = number.substr(start, i - start);
        const std::size_t digits = i;
        while (i < number.size() && is_digit(number[i])) {
            ++i;
        }
        if (i == digits) {
            break;
        }
        if (groups.count > 0) {
            if (between.size() != 1 || (groups.count > 1 && between[0] != groups.separator)) {
                groups.same_separator = false;
            }
            groups.separator = between.empty() ? 0 : between[0];
        } else if (!between.empty()) {
            groups.same_separator = false;  // '+' or '(' in front
        }
        if (groups.count < 16) {
            groups.sizes[groups.count] =
                static_cast<unsigned char>(std::min<std::size_t>(i - digits, 255));
        }
        if (groups.count == 0) {
            groups.first = number.substr(digits, i - digits);
        }
        groups.last = number.substr(digits, i - digits);
        ++groups.count;
    }
    return groups;
}

bool is_year(std::string_view digits) {
    return digits.size() == 4 && (digits.substr(0, 2) == "19" || digits.substr(0, 2) == "20");
}

// Whether a run of 7 to 15 digits is something a careful reader would not dial.
bool not_a_phone_number(std::string_view number, std::string_view before) {
    const digit_groups g = groups_of(number);
    if (g.count > 16) {
        return true;
    }
    const bool dated =
        g.same_separator && (g.separator == '.' || g.separator == '/' || g.separator == '-');
    if (dated && g.count == 3 &&
        ((g.sizes[0] <= 2 && g.sizes[1] <= 2 && is_year(g.last)) ||
         (is_year(g.first) && g.sizes[1] <= 2 && g.sizes[2] <= 2))) {
        return true;  // a date
    }
    if (g.same_separator && g.count == 2 && g.separator == '-' &&
        ((is_year(g.first) && is_year(g.last)) ||
         (g.sizes[0] == 5 && (g.sizes[1] == 4 || g.sizes[1] == 3)))) {
        return true;  // years from and to; a postal code
    }
    if (g.same_separator && g.count >= 3 && (g.separator == ' ' || g.separator == '.') &&
        g.sizes[0] <= 3 &&
        std::all_of(g.sizes + 1, g.sizes + g.count, [](std::size_t size) { return size == 3; })) {
        return true;  // a sum in thousands
    }
    before = trim(before);
    return before.size() >= 3 && before.substr(before.size() - 3) == "\xE3\x80\x92";  // 〒
}

}  // namespace

namespace {

// find_phone_numbers, with `marks` at the bytes of `text` that phone_mark finds.
template <typename Cursor>
void phone_numbers(std::string_view text, Cursor marks, std::vector<std::string_view>& found) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    while ((i = marks.next(i)) < n) {
        const char c = text[i];
        if (!is_digit(c) && c != '+' && c != '(') {
            ++i;
            continue;
        }
        const char before = i > 0 ? text[i - 1] : ' ';
        const bool joined =
            is_alnum(before) || one_of(before, "/_=@&?%#+:") ||
            ((before == '-' || before == '.' || before == ',') && i > 1 && is_alnum(text[i - 2]));
        const bool starts = c == '+'   ? i + 1 < n && (is_digit(text[i + 1]) || text[i + 1] == '(')
                            : c == '(' ? i + 1 < n && is_digit(text[i + 1])
                                       : true;
        if (joined || !starts) {
            // Not the start of a number: past the digits and the dashes,
            // dots and brackets joined to them.
            ++i;
            while (i < n && (is_digit(text[i]) || one_of(text[i], "-.()"))) {
                ++i;
            }
            continue;
        }
        std::size_t j = i + (c == '+' ? 1 : 0);
        std::size_t end = i;  // after the last digit
        std::size_t digits = 0;
        int brackets = 0;  // 1: one opened; 2: opened and closed
        while (j < n) {
            const char d = text[j];
            if (is_digit(d)) {
                ++digits;
                end = ++j;
                continue;
            }
            const char previous = j > 0 ? text[j - 1] : ' ';
            const bool more = j + 1 < n && (is_digit(text[j + 1]) || text[j + 1] == '(');
            if ((d == ' ' && previous != ' ' && more) ||
                ((d == '-' || d == '.') && (is_digit(previous) || previous == ')') && more) ||
                (d == '(' && brackets == 0 && j + 1 < n && is_digit(text[j + 1])) ||
                (d == ')' && brackets == 1 && is_digit(previous))) {
                brackets += d == '(' || d == ')' ? 1 : 0;
                ++j;
                continue;
            }
            break;
        }
        const std::string_view number = text.substr(i, end - i);
        const auto balanced = [number] {
            return std::count(number.begin(), number.end(), '(') ==
                   std::count(number.begin(), number.end(), ')');
        };
        const bool apart = end >= n || !(is_alnum(text[end]) || text[end] == '@');
        if (digits >= 7 && digits <= 15 && apart && balanced() &&
            !not_a_phone_number(number, text.substr(0, i))) {
            add_once(found, number);
        }
        i = std::max(end, i + 1);
        while (i < n && is_digit(text[i])) {
            ++i;
        }
    }
}

}  // namespace

void find_phone_numbers(std::string_view text, std::vector<std::string_view>& found) {
    phone_numbers(text, mark_cursor<phone_mark>{text.data(), text.size()}, found);
}

void find_email_addresses(std::string_view text, std::vector<std::string_view>& found) {
    const auto local_char = [](char c) {
        return is_alnum(c) || c == '.' || c == '_' || c == '%' || c == '+' || c == '-';
    };
    const auto domain_char = [](char c) { return is_alnum(c) || c == '.' || c == '-'; };
    std::size_t from = 0;
    for (std::size_t at = text.find('@'); at != std::string_view::npos; at = text.find('@', from)) {
        std::size_t left = at;
        while (left > from && local_char(text[left - 1])) {
            --left;
        }
        while (left < at && text[left] == '.') {
            ++left;
        }
        std::size_t right = at + 1;
        while (right < text.size() && domain_char(text[right])) {
            ++right;
        }
        while (right > at + 1 && (text[right - 1] == '.' || text[right - 1] == '-')) {
            --right;
        }
        from = std::max(right, at + 1);
        const std::string_view domain = text.substr(at + 1, right - at - 1);
        const std::size_t dot = domain.rfind('.');
        if (left == at || dot == std::string_view::npos || domain.front() == '.' ||
            domain.front() == '-' || domain.find("..") != std::string_view::npos ||
            text[at - 1] == '.' || (right < text.size() && text[right] == '@')) {
            continue;
        }
        const std::string_view top = domain.substr(dot + 1);
        if (top.size() >= 2 && std::all_of(top.begin(), top.end(), is_letter)) {
            add_once(found, text.substr(left, right - left));
        }
    }
}

void find_web_addresses(std::string_view text, std::vector<std::string_view>& found) {
    const auto starts_with = [&](std::size_t i, std::string_view prefix) {
        if (text.size() - i < prefix.size()) {
            return false;
        }
        for (std::size_t k = 0; k < prefix.size(); ++k) {
            const char c = text[i + k];
            if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != prefix[k]) {
                return false;
            }
        }
        return true;
    };
    std::size_t mark = 0;
    while ((mark = next_mark<web_mark>(text, mark)) < text.size()) {
        // The address begins 4 or 5 bytes before the ':' of "http://" or
        // "https://", 3 before the '.' of "www.".
        std::size_t i = mark;
        std::size_t prefix = 0;
        if (text[mark] == ':' && mark >= 4 && starts_with(mark - 4, "http://")) {
            i = mark - 4;
            prefix = 7;
        } else if (text[mark] == ':' && mark >= 5 && starts_with(mark - 5, "https://")) {
            i = mark - 5;
            prefix = 8;
        } else if (text[mark] == '.' && mark >= 3 && starts_with(mark - 3, "www.")) {
            i = mark - 3;
            prefix = 4;
        }
        ++mark;
        const char before = i > 0 ? text[i - 1] : ' ';
        if (prefix == 0 || is_alnum(before) || before == '.' || before == '@' || before == '/') {
            continue;
        }
        std::size_t end = i + prefix;
        while (end < text.size()) {
            const auto c = static_cast<unsigned char>(text[end]);
            if (c <= 0x20 || c >= 0x7F || one_of(static_cast<char>(c), "<>\"'`{}|\\^,;")) {
                break;
            }
            ++end;
        }
        // Punctuation that ends a sentence is not part of the address; nor a
        // closing bracket that opens nowhere in it.
        while (end > i + prefix) {
            const char last = text[end - 1];
            const std::string_view so_far = text.substr(i, end - i);
            if (one_of(last, ".:!?") ||
                (last == ')' && std::count(so_far.begin(), so_far.end(), '(') <
                                    std::count(so_far.begin(), so_far.end(), ')'))) {
                --end;
            } else {
                break;
            }
        }
        const std::string_view address = text.substr(i, end - i);
        const std::string_view host = address.substr(prefix);
        if (!host.empty() && (prefix != 4 || host.find('.') != std::string_view::npos)) {
            add_once(found, address);
        }
        mark = std::max(end, mark);
    }
}

namespace {

// A stored text made UTF-8: in `into` when the texts are shown as stored,
// otherwise in the writer's scratch (valid until its next text).
std::string_view utf8_of(vcard_writer& writer, std::string_view stored, std::string& into) {
    if (writer.as_stored) {
        into = valid_utf8(stored);
        return into;
    }
    return writer.scratch.decode(stored);
}

}  // namespace

void vcard_writer::begin(const file_start& file) {
    open = file.result == CARD_FILE_OK;
    scratch.page = code_page_of(file.encoding);
    as_stored = scratch.page == nullptr;
}

bool vcard_writer::card(const card_record& card, card_context& context) {
    const bool four = version >= 4;
    put_bytes(block, four ? "BEGIN:VCARD\r\nVERSION:4.0\r\n" : "BEGIN:VCARD\r\nVERSION:3.0\r\n");
    title.assign(utf8_of(*this, card.title, title));
    std::string_view name = title;
    std::string fallback;
    if (trim(name).empty()) {
        fallback = "Card " + std::to_string(card.number);
        name = fallback;
    }
    // Escapes double a text at most.
    folded_line fn{block, 3 + 2 * name.size()};
    fn.plain("FN:");
    fn.text(name);
    fn.finish();
    folded_line n{block, 2 + 2 * name.size() + 4};
    n.plain("N:");
    put_name(n, name);
    n.finish();
    if (card.body.has_text) {
        const std::string_view note = utf8_of(*this, card.body.text, text);
        // Numbers and addresses are ASCII, with nothing to escape.
        const auto put_found = [&](std::string_view name_part, std::string_view value) {
            folded_line line{block, name_part.size() + 7 + value.size()};
            line.plain(name_part);
            if (name_part == "URL:" && value.size() >= 4 && (value[0] == 'w' || value[0] == 'W') &&
                value[3] == '.') {
                line.plain("http://");
            }
            line.plain(value);
            line.finish();
        };
        const bool address = mark_text(note, special_marks, phone_marks);
        found.clear();
        phone_numbers(note, bit_cursor{phone_marks.data(), note.size()}, found);
        for (const std::string_view number : found) {
            put_found("TEL:", number);
        }
        // Most texts hold no '@', ':' or 'w', and so no address to look for.
        if (address) {
            found.clear();
            find_email_addresses(note, found);
            for (const std::string_view address : found) {
                put_found(four ? "EMAIL:" : "EMAIL;TYPE=INTERNET:", address);
            }
            found.clear();
            find_web_addresses(note, found);
            for (const std::string_view address : found) {
                put_found("URL:", address);
            }
        }
        folded_line line{block, 5 + 2 * note.size()};
        line.plain("NOTE:");
        line.text(note, bit_cursor{special_marks.data(), note.size()});
        line.finish();
    }
    const card_picture picture = picture_of_card(card, context.data, picture_bytes);
    if (picture.kind == card_picture_kind::image) {
        const std::string encoded = base64_encode(picture.png);
        folded_line line{block, 32 + encoded.size()};
        line.plain(four ? "PHOTO:data:image/png;base64," : "PHOTO;ENCODING=b;TYPE=PNG:");
        line.plain(encoded);
        line.finish();
    }
    put_bytes(block, "END:VCARD\r\n");
    return !std::ferror(block.out);  // nothing more can be written
}

void vcard_writer::end(const file_end&) {
    open = false;
    flush_output(block);
}
