#include "decode.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace {

// Unicode code points of the Windows-1251 bytes 0x80 to 0xBF; 0 marks 0x98,
// the one byte the code page leaves unassigned. The bytes 0xC0 to 0xFF are
// the letters U+0410 to U+044F in order and need no table.
constexpr std::array<char16_t, 64> CP1251_UPPER_SIGNS = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // 0xB8
};

// The UTF-8 form of one byte: up to three bytes, and their count in the fourth,
// so that one four-byte copy writes a byte's form and the next one's starts
// where its count says.
using utf8_form = std::array<char, 4>;
constexpr std::size_t FORM_SIZE_AT = 3;

constexpr utf8_form encode_utf8(char32_t cp) {
    if (cp < 0x80) {
        return {static_cast<char>(cp), 0, 0, 1};
    }
    if (cp < 0x800) {
        return {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F)), 0, 2};
    }
    return {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
            static_cast<char>(0x80 | (cp & 0x3F)), 3};
}

constexpr char32_t cp1251_code_point(unsigned byte) {
    if (byte < 0x80) {
        return byte;
    }
    if (byte < 0xC0) {
        return CP1251_UPPER_SIGNS[byte - 0x80];
    }
    return 0x0410 + (byte - 0xC0);
}

constexpr std::array<utf8_form, 256> make_cp1251_table() {
    std::array<utf8_form, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        const char32_t cp = cp1251_code_point(byte);
        table[byte] =
            (byte != 0 && cp == 0) ? utf8_form{UNASSIGNED_REPLACEMENT, 0, 0, 1} : encode_utf8(cp);
    }
    return table;
}

constexpr std::array<utf8_form, 256> CP1251_TO_UTF8 = make_cp1251_table();

// The forms of two bytes at once, each in one 64-bit word: up to six bytes of
// UTF-8 in memory order, and their count in the word's last byte. They are
// looked up by the two bytes themselves read as one 16-bit word, so a text of
// letters and spaces takes one lookup and one store per two bytes. The table
// (512 KiB) is made by the compiler; a run reads only the pages it uses.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool BIG_ENDIAN_WORDS = true;
#else
constexpr bool BIG_ENDIAN_WORDS = false;
#endif
constexpr unsigned PAIR_SIZE_AT = 7;

// Byte `at` of a word in memory order.
constexpr unsigned word_shift(unsigned at) {
    return BIG_ENDIAN_WORDS ? 8 * (7 - at) : 8 * at;
}

// The pair (first, second) as the 16-bit word that holds it in memory.
constexpr unsigned pair_index(unsigned first, unsigned second) {
    return BIG_ENDIAN_WORDS ? (first << 8 | second) : (first | second << 8);
}

// The form of each byte alone, as a word: its bytes in memory order, then zeros.
constexpr std::array<std::uint64_t, 256> make_byte_words() {
    std::array<std::uint64_t, 256> words{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        const utf8_form& form = CP1251_TO_UTF8[byte];
        for (unsigned i = 0; i < static_cast<unsigned char>(form[FORM_SIZE_AT]); ++i) {
            words[byte] |= std::uint64_t{static_cast<unsigned char>(form[i])} << word_shift(i);
        }
    }
    return words;
}

constexpr std::array<std::uint64_t, 256> BYTE_WORDS = make_byte_words();

// Plain arrays: compilers bound the steps spent on a constant, and 65536
// calls of std::array's subscript alone would use up some of them.
struct pair_table {
    std::uint64_t forms[256 * 256];
};

constexpr pair_table make_pair_table() {
    std::uint64_t words[256] = {};
    unsigned sizes[256] = {};
    for (unsigned byte = 0; byte < 256; ++byte) {
        words[byte] = BYTE_WORDS[byte];
        sizes[byte] = static_cast<unsigned char>(CP1251_TO_UTF8[byte][FORM_SIZE_AT]);
    }
    pair_table table{};
    for (unsigned first = 0; first < 256; ++first) {
        for (unsigned second = 0; second < 256; ++second) {
            const std::uint64_t size = sizes[first] + sizes[second];
            table.forms[pair_index(first, second)] =
                BIG_ENDIAN_WORDS ? (words[first] | words[second] >> 8 * sizes[first] | size)
                                 : (words[first] | words[second] << 8 * sizes[first] | size << 56);
        }
    }
    return table;
}

constexpr pair_table PAIR_FORMS = make_pair_table();

// Writes the form of a pair and returns where the next one goes.
char* put_pair(const unsigned char* pair, char* dest) {
    std::uint16_t index;
    std::memcpy(&index, pair, sizeof index);
    const std::uint64_t form = PAIR_FORMS.forms[index];
    std::memcpy(dest, &form, sizeof form);
    return dest + ((form >> word_shift(PAIR_SIZE_AT)) & 0xFF);
}

std::string_view up_to_nul(std::string_view text) {
    const std::string_view::size_type end = text.find('\0');
    return end == std::string_view::npos ? text : text.substr(0, end);
}

}  // namespace

char* cp1251_to_utf8_at(std::string_view text, char* dest) {
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = in + text.size();
    for (; end - in >= 8; in += 8) {
        dest = put_pair(in, dest);
        dest = put_pair(in + 2, dest);
        dest = put_pair(in + 4, dest);
        dest = put_pair(in + 6, dest);
    }
    for (; end - in >= 2; in += 2) {
        dest = put_pair(in, dest);
    }
    if (in != end) {
        const utf8_form& form = CP1251_TO_UTF8[*in];
        std::memcpy(dest, form.data(), form.size());
        dest += static_cast<unsigned char>(form[FORM_SIZE_AT]);
    }
    return dest;
}

void cp1251_to_utf8(std::string_view text, std::string& converted) {
    text = up_to_nul(text);
    converted.resize(cp1251_utf8_room(text.size()));
    char* const start = converted.data();
    converted.resize(static_cast<std::string::size_type>(cp1251_to_utf8_at(text, start) - start));
}

std::string_view decode_text(std::string_view text, int encoding, std::string& converted) {
    if (encoding != ENCODING_WINDOWS_1251) {
        return text;
    }
    cp1251_to_utf8(text, converted);
    return converted;
}
