#include "decode.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "single_byte.h"
#include "utf8.h"

namespace {

#include "code_pages.inc"

// A double-byte page: its single bytes, which bytes lead a pair (their row in
// `pairs` plus 1), and the pairs, TRAIL_COUNT a row.
struct double_byte_page {
    const char16_t* single;         // bytes 0x80 to 0xFF alone; 0: unassigned
    const unsigned char* lead_row;  // bytes 0x80 to 0xFF
    const char16_t* pairs;
};

}  // namespace

struct code_page {
    int encoding;
    const char* name;
    const char16_t (*upper)[128];  // a single-byte page: bytes 0x80 to 0xFF
    double_byte_page double_byte;  // a double-byte page (upper is nullptr)
};

namespace {

constexpr double_byte_page NOT_DOUBLE_BYTE{nullptr, nullptr, nullptr};

const std::array<code_page, 14> CODE_PAGES = {{
    {ENCODING_WINDOWS_874, "Windows-874", &CP874_UPPER, NOT_DOUBLE_BYTE},
    {ENCODING_WINDOWS_1250, "Windows-1250", &CP1250_UPPER, NOT_DOUBLE_BYTE},
    {ENCODING_WINDOWS_1251, "Windows-1251", &CP1251_UPPER, NOT_DOUBLE_BYTE},
    {ENCODING_WINDOWS_1252, "Windows-1252", &CP1252_UPPER, NOT_DOUBLE_BYTE},
    {ENCODING_WINDOWS_1253, "Windows-1253", &CP1253_UPPER, NOT_DOUBLE_BYTE},
    {ENCODING_WINDOWS_1254, "Windows-1254", &CP1254_UPPER, NOT_DOUBLE_BYTE},
    {ENCODING_WINDOWS_1255, "Windows-1255", &CP1255_UPPER, NOT_DOUBLE_BYTE},
    {ENCODING_WINDOWS_1256, "Windows-1256", &CP1256_UPPER, NOT_DOUBLE_BYTE},
    {ENCODING_WINDOWS_1257, "Windows-1257", &CP1257_UPPER, NOT_DOUBLE_BYTE},
    {ENCODING_WINDOWS_1258, "Windows-1258", &CP1258_UPPER, NOT_DOUBLE_BYTE},
    {ENCODING_WINDOWS_932, "Windows-932", nullptr, {CP932_SINGLE, CP932_LEAD_ROW, CP932_PAIRS}},
    {ENCODING_WINDOWS_936, "Windows-936", nullptr, {CP936_SINGLE, CP936_LEAD_ROW, CP936_PAIRS}},
    {ENCODING_WINDOWS_949, "Windows-949", nullptr, {CP949_SINGLE, CP949_LEAD_ROW, CP949_PAIRS}},
    {ENCODING_WINDOWS_950, "Windows-950", nullptr, {CP950_SINGLE, CP950_LEAD_ROW, CP950_PAIRS}},
}};

// Writes the UTF-8 form of `cp`, or '*' for 0 (no character), and returns
// where the next one goes.
char* put_character(char16_t cp, char* dest) {
    if (cp == 0) {
        *dest++ = UNASSIGNED_REPLACEMENT;
        return dest;
    }
    return put_utf8(cp, dest);
}

char* double_byte_to_utf8_at(const double_byte_page& page, std::string_view text, char* dest) {
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = in + text.size();
    while (in != end) {
        const unsigned byte = *in++;
        if (byte < 0x80) {
            *dest++ = static_cast<char>(byte);
            continue;
        }
        const unsigned row = page.lead_row[byte - 0x80];
        if (row == 0) {
            dest = put_character(page.single[byte - 0x80], dest);
            continue;
        }
        char16_t cp = 0;  // a lead byte at the end, or a pair without a character: '*'
        if (in != end && *in >= TRAIL_FIRST && *in <= TRAIL_LAST) {
            cp = page.pairs[(row - 1) * TRAIL_COUNT + (*in - TRAIL_FIRST)];
            in += cp != 0 ? 1 : 0;
        }
        dest = put_character(cp, dest);
    }
    return dest;
}

}  // namespace

const code_page* code_page_of(int encoding) {
    for (const code_page& page : CODE_PAGES) {
        if (page.encoding == encoding) {
            return &page;
        }
    }
    return nullptr;
}

int encoding_by_name(std::string_view name) {
    for (const code_page& page : CODE_PAGES) {
        if (name == page.name) {
            return page.encoding;
        }
    }
    return ENCODING_NONE;
}

int encoding_by_any_name(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    if (lower == "auto") {
        return ENCODING_AUTO;
    }
    std::string_view number = lower;
    for (const std::string_view prefix : {std::string_view("windows-"), std::string_view("cp")}) {
        if (number.substr(0, prefix.size()) == prefix) {
            number.remove_prefix(prefix.size());
            break;
        }
    }
    for (const code_page& page : CODE_PAGES) {
        // Every name is "Windows-" and the page's number.
        if (number == std::string_view(page.name).substr(8)) {
            return page.encoding;
        }
    }
    return ENCODING_NONE;
}

const char* encoding_name(int encoding) {
    const code_page* page = code_page_of(encoding);
    return page ? page->name : nullptr;
}

char* decode_text(const code_page* page, std::string_view text, char* dest) {
    if (!page) {
        if (!text.empty()) {  // an empty view may hold no pointer at all
            std::memcpy(dest, text.data(), text.size());
        }
        return dest + text.size();
    }
    if (page->upper) {
        return single_byte_to_utf8_at(*page->upper, text, dest);
    }
    return double_byte_to_utf8_at(page->double_byte, text, dest);
}

namespace {

char16_t fold_character(char16_t cp) {
    std::size_t low = 0;
    std::size_t high = std::size(CASE_FOLD);
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        if (CASE_FOLD[middle][0] < cp) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low < std::size(CASE_FOLD) && CASE_FOLD[low][0] == cp ? CASE_FOLD[low][1] : cp;
}

bool continuation(const unsigned char* p, const unsigned char* end) {
    return p < end && (*p & 0xC0) == 0x80;
}

}  // namespace

void fold_case(std::string_view text, std::string& folded) {
    folded.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = p + text.size();
    char utf8[3];
    while (p != end) {
        const unsigned c = *p;
        char16_t cp = 0;
        std::size_t size = 1;
        if (c < 0x80) {
            folded += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            ++p;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF && continuation(p + 1, end)) {
            cp = static_cast<char16_t>(((c & 0x1F) << 6) | (p[1] & 0x3F));
            size = 2;
        } else if (c >= 0xE0 && c <= 0xEF && continuation(p + 1, end) && continuation(p + 2, end)) {
            cp = static_cast<char16_t>(((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            size = cp >= 0x800 ? 3 : 0;
        } else {
            size = 0;
        }
        if (size == 0) {
            folded += static_cast<char>(*p++);  // not UTF-8: as it is
            continue;
        }
        p += size;
        const char* folded_end = put_utf8(fold_character(cp), utf8);
        folded.append(utf8, static_cast<std::size_t>(folded_end - utf8));
    }
}
