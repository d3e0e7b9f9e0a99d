#include "decode/single_byte.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "decoded.h"
#include "iconv_oracle.h"

#ifdef HAVE_ICONV
namespace {

// Code points of the bytes 0x80 to 0xFF of `page` as iconv has them; 0 where
// it refuses the byte.
struct upper_half {
    char16_t cps[128] = {};
};

upper_half upper_from_iconv(const char* page) {
    upper_half upper;
    for (int i = 0; i < 128; ++i) {
        std::string utf8;
        if (!iconv_to_utf8(page, std::string(1, static_cast<char>(0x80 + i)), utf8)) {
            continue;
        }
        const auto* u = reinterpret_cast<const unsigned char*>(utf8.data());
        upper.cps[i] = static_cast<char16_t>(
            utf8.size() == 2 ? (u[0] & 0x1F) << 6 | (u[1] & 0x3F)
                             : (u[0] & 0x0F) << 12 | (u[1] & 0x3F) << 6 | (u[2] & 0x3F));
    }
    return upper;
}

// What iconv makes of `text` once each byte it refuses is '*'.
std::string expected_utf8(const char* page, const upper_half& upper, std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) >= 0x80 &&
            upper.cps[static_cast<unsigned char>(c) - 0x80] == 0) {
            c = '*';
        }
    }
    std::string utf8;
    EXPECT_TRUE(iconv_to_utf8(page, text, utf8));
    return utf8;
}

using converter = char* (*)(const char16_t (&)[128], std::string_view, char*);

// Converts `text` placed `offset` bytes into a buffer that ends where it
// ends, into a buffer of exactly the room promised, so that the sanitizers
// see any access beyond either.
std::string convert(converter fn, const upper_half& upper, const std::string& text,
                    std::size_t offset) {
    std::vector<char> in(offset + text.size());
    std::copy(text.begin(), text.end(), in.begin() + static_cast<std::ptrdiff_t>(offset));
    std::vector<char> out(3 * text.size() + 8);
    char* const end = fn(upper.cps, std::string_view(in.data() + offset, text.size()), out.data());
    return std::string(out.data(), static_cast<std::size_t>(end - out.data()));
}

// Pages whose iconv converter maps byte by byte (glibc composes letters and
// accents in Windows-1255 and Windows-1258).
const char* const PAGES[] = {"CP1250", "CP1251", "CP1252", "CP1253",
                             "CP1254", "CP1256", "CP1257", "CP874"};
const converter CONVERTERS[] = {single_byte_to_utf8_at, single_byte_to_utf8_portable};

// The converter keeps its tables for one array at a time, known by its
// address: each page's array lives as long as the tests.
const upper_half& upper_of(std::size_t page) {
    static const std::vector<upper_half> made = [] {
        std::vector<upper_half> pages;
        for (const char* name : PAGES) {
            pages.push_back(upper_from_iconv(name));
        }
        return pages;
    }();
    return made[page];
}

}  // namespace

TEST(SingleByteToUtf8, EveryByteMatchesIconv) {
    for (std::size_t p = 0; p < std::size(PAGES); ++p) {
        const char* const page = PAGES[p];
        const upper_half& upper = upper_of(p);
        std::string all;
        for (int b = 0; b < 256; ++b) {
            all += static_cast<char>(b);
        }
        const std::string all_twice = all + all;
        for (const converter fn : CONVERTERS) {
            for (int b = 0; b < 256; ++b) {
                const std::string byte(1, static_cast<char>(b));
                EXPECT_EQ(convert(fn, upper, byte, 0), expected_utf8(page, upper, byte))
                    << page << " byte " << b;
            }
            EXPECT_EQ(convert(fn, upper, all_twice, 3), expected_utf8(page, upper, all_twice))
                << page;
        }
    }
}

TEST(SingleByteToUtf8, RandomTextsMatchIconv) {
    std::mt19937 rng(874);
    for (std::size_t p = 0; p < std::size(PAGES); ++p) {
        const char* const page = PAGES[p];
        const upper_half& upper = upper_of(p);
        for (std::size_t size = 0; size <= 300; ++size) {
            // Mostly letters of the upper half, spaces and line ends, with
            // all-ASCII stretches; every alignment within 32 bytes.
            std::string text(size, ' ');
            const unsigned ascii_share = static_cast<unsigned>(size % 4) * 30;
            for (char& c : text) {
                const unsigned pick = rng() % 128;
                c = pick < ascii_share ? static_cast<char>('a' + pick % 26)
                    : pick % 16 == 0   ? '\r'
                    : pick % 16 == 1   ? '\n'
                                       : static_cast<char>(0x80 + rng() % 128);
            }
            const std::string expected = expected_utf8(page, upper, text);
            for (const converter fn : CONVERTERS) {
                EXPECT_EQ(convert(fn, upper, text, size % 32), expected)
                    << page << " size " << size;
            }
        }
    }
}
#endif

// The vector path against the portable one, without any outside converter
// (so that builds without iconv, Windows among them, check the vector code
// too): every page's table as the program holds it, and one of every UTF-8
// form size, over every byte at every alignment and over random buffers.
namespace {

using converter_fn = char* (*)(const char16_t (&)[128], std::string_view, char*);

std::string run_converter(converter_fn fn, const char16_t (&upper)[128], const std::string& text,
                          std::size_t offset) {
    std::vector<char> in(offset + text.size());
    std::copy(text.begin(), text.end(), in.begin() + static_cast<std::ptrdiff_t>(offset));
    std::vector<char> out(3 * text.size() + 8);
    char* const end = fn(upper, std::string_view(in.data() + offset, text.size()), out.data());
    return std::string(out.data(), static_cast<std::size_t>(end - out.data()));
}

struct page_table {
    int encoding;
    char16_t upper[128];
};

// Each single-byte page's upper half read back through decode_text, one byte
// at a time; last, a made-up page of one-, two- and three-byte forms and
// unassigned bytes. (The converter knows its tables by their address: these
// stay put for the whole run.)
const std::vector<page_table>& page_tables() {
    static const std::vector<page_table> tables = [] {
        std::vector<page_table> made;
        for (const int encoding :
             {ENCODING_WINDOWS_874, ENCODING_WINDOWS_1250, ENCODING_WINDOWS_1251,
              ENCODING_WINDOWS_1252, ENCODING_WINDOWS_1253, ENCODING_WINDOWS_1254,
              ENCODING_WINDOWS_1255, ENCODING_WINDOWS_1256, ENCODING_WINDOWS_1257,
              ENCODING_WINDOWS_1258}) {
            page_table t{encoding, {}};
            for (int i = 0; i < 128; ++i) {
                const std::string utf8 =
                    decoded(encoding, std::string(1, static_cast<char>(0x80 + i)));
                const auto* u = reinterpret_cast<const unsigned char*>(utf8.data());
                t.upper[i] = utf8 == "*" ? 0
                             : utf8.size() == 2
                                 ? static_cast<char16_t>((u[0] & 0x1F) << 6 | (u[1] & 0x3F))
                                 : static_cast<char16_t>((u[0] & 0x0F) << 12 | (u[1] & 0x3F) << 6 |
                                                         (u[2] & 0x3F));
            }
            made.push_back(t);
        }
        page_table mixed{0, {}};
        for (int i = 0; i < 128; ++i) {
            mixed.upper[i] = i % 5 == 0   ? 0
                             : i % 5 == 1 ? 0x80 + i
                             : i % 5 == 2 ? 0x7FF - i
                             : i % 5 == 3 ? 0x800 + 97 * i
                                          : 0xFFFF - i;
        }
        made.push_back(mixed);
        return made;
    }();
    return tables;
}

}  // namespace

TEST(SingleByteToUtf8, VectorAndPortablePathsAgreeOnEveryPage) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    std::mt19937 rng(1252);
    for (const page_table& t : page_tables()) {
        if (t.encoding == ENCODING_WINDOWS_1251) {
            ASSERT_EQ(t.upper[0xC0 - 0x80], u'\u0410');  // the table was read back
        }
        for (std::size_t offset = 0; offset < 32; ++offset) {
            EXPECT_EQ(run_converter(single_byte_to_utf8_at, t.upper, all + all, offset),
                      run_converter(single_byte_to_utf8_portable, t.upper, all + all, offset))
                << "page " << t.encoding << " offset " << offset;
        }
        for (std::size_t size = 0; size <= 600; size += 1 + size / 16) {
            std::string text(size, ' ');
            const unsigned ascii_share = static_cast<unsigned>(size % 5) * 25;
            for (char& c : text) {
                const unsigned pick = rng() % 128;
                c = static_cast<char>(pick < ascii_share ? pick : 0x80 + rng() % 128);
            }
            EXPECT_EQ(run_converter(single_byte_to_utf8_at, t.upper, text, size % 32),
                      run_converter(single_byte_to_utf8_portable, t.upper, text, size % 32))
                << "page " << t.encoding << " size " << size;
        }
    }
}
