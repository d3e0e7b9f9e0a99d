// The byte scanner against a byte-by-byte reading of the same texts: every
// class the writers use, every length up to past a 64-byte chunk, a special
// byte at every position, after plain ASCII and after UTF-8 bytes.
#include "text/scan.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "text/marks.h"

namespace {

// The classes of the writers and contact finders, as they build them.
using html_like =
    any_of<terminal_control, byte_is<'&'>, byte_is<'<'>, byte_is<'>'>, byte_is<'"'>, byte_is<'\''>>;
using phone_like = any_of<byte_range<'0', '9'>, byte_is<'+'>, byte_is<'('>>;

// mark_bytes on `text` (marking terminal controls in the same pass): the
// marks lead from each byte to the next of `Test` (the first at `expected`).
template <typename Test>
void check_marks(const std::string& text, std::size_t expected) {
    byte_marks marks, controls;
    mark_bytes<Test, terminal_control>(text, marks, controls);
    ASSERT_EQ(marks.size(), (text.size() + 63) / 64);
    const marked_bytes cursor{marks.data(), text.size()};
    std::size_t next = expected;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i > next) {
            next = i;
            while (next < text.size() && !Test::byte(static_cast<unsigned char>(text[next]))) {
                ++next;
            }
        }
        ASSERT_EQ(cursor.next(i), next) << "from " << i << " of " << text.size();
        if (i < text.size()) {
            const bool control = terminal_control::byte(static_cast<unsigned char>(text[i]));
            ASSERT_EQ(controls[i / 64] >> (i % 64) & 1, control ? 1u : 0u) << i;
        }
    }
}

// Each byte value alone, and every text of `filler` with one byte `b` at
// `at` (and a second at the end), for lengths up to 201: find_special,
// copy_plain, and (for classes of ASCII bytes) mark_bytes.
template <typename Test, bool Marked = true>
void check_class(char filler) {
    for (unsigned b = 0; b < 256; ++b) {
        for (std::size_t size = 1; size <= 200; size += 13) {
            for (std::size_t at = 0; at < size; at += 3) {
                std::string text(size, filler);
                text[at] = static_cast<char>(b);
                text += static_cast<char>(b);
                std::size_t expected = 0;
                while (expected < text.size() &&
                       !Test::byte(static_cast<unsigned char>(text[expected]))) {
                    ++expected;
                }
                const char* p = text.data();
                const char* const end = p + text.size();
                ASSERT_EQ(find_special<Test>(p, end) - p, static_cast<std::ptrdiff_t>(expected))
                    << "byte " << b << " at " << at << " of " << size;
                std::vector<char> copy(text.size() + 16);
                char* out = copy.data();
                copy_plain<Test>(p, end, out);
                ASSERT_EQ(p - text.data(), static_cast<std::ptrdiff_t>(expected));
                ASSERT_EQ(std::string(copy.data(), out), text.substr(0, expected));
                if constexpr (Marked) {
                    check_marks<Test>(text, expected);
                    ASSERT_FALSE(testing::Test::HasFatalFailure()) << "byte " << b;
                }
            }
        }
    }
}

TEST(ByteScanner, FindsWhatEachByteTestFinds) {
    check_class<terminal_control>('a');
    check_class<html_like>('x');
    check_class<phone_like>('.');
    check_class<byte_is<'"'>>('\xD0');  // the lead byte of Cyrillic in UTF-8
    check_class<c0_control>('\x7F');
    check_class<c1_byte, false>('\xA0');                            // the byte above the class
    check_class<any_of<terminal_control, c1_byte>, false>('\xD0');  // a terminal's stored text
}

TEST(ByteScanner, ClassesAreTheBytesTheySay) {
    for (unsigned b = 0; b < 256; ++b) {
        EXPECT_EQ(c0_control::byte(static_cast<unsigned char>(b)), b < 0x20) << b;
        EXPECT_EQ(terminal_control::byte(static_cast<unsigned char>(b)), b < 0x20 || b == 0x7F);
        EXPECT_EQ(c1_byte::byte(static_cast<unsigned char>(b)), b >= 0x80 && b <= 0x9F);
        EXPECT_EQ(phone_like::byte(static_cast<unsigned char>(b)),
                  (b >= '0' && b <= '9') || b == '+' || b == '(');
    }
}

}  // namespace

namespace {

// A part of a marked text is read from the text's marks, wherever it begins.
TEST(ByteScanner, PartsAreReadFromTheMarksOfTheirText) {
    std::string text;
    for (int i = 0; i < 150; ++i) {
        text += i % 7 == 0 ? ',' : 'a';
    }
    byte_marks marks;
    mark_bytes<byte_is<','>>(text, marks);
    for (std::size_t first = 0; first < text.size(); first += 5) {
        for (std::size_t size = 0; first + size <= text.size(); size += 11) {
            const marked_bytes part{marks.data(), size, first};
            for (std::size_t i = 0; i <= size; ++i) {
                const std::size_t comma = text.find(',', first + i);
                const std::size_t expected =
                    comma == std::string::npos || comma >= first + size ? size : comma - first;
                ASSERT_EQ(part.next(i), expected) << first << " " << size << " " << i;
            }
        }
    }
}

}  // namespace
