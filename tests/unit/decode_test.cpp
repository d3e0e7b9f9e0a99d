#include "decode/decode.h"

#include <gtest/gtest.h>

#include <string>

#include "decoded.h"
#include "iconv_oracle.h"

namespace {

std::string convert(std::string_view text) {
    return decoded(ENCODING_WINDOWS_1251, text);
}

#ifdef HAVE_ICONV
bool iconv_cp1251(const std::string& text, std::string& utf8) {
    return iconv_to_utf8("CP1251", text, utf8);
}
#endif

}  // namespace

TEST(DecodeText, NoCodePageCopiesTheTextAsStored) {
    const std::string stored = "\xC0\xE1 text";
    for (int encoding : {static_cast<int>(ENCODING_NONE), 2, -1}) {
        EXPECT_EQ(code_page_of(encoding), nullptr);
        EXPECT_EQ(decoded(encoding, stored), stored);
    }
    EXPECT_EQ(decoded(ENCODING_WINDOWS_1251, "\xCF\xF0\xE8\xE2\xE5\xF2"), "Привет");
}

TEST(Cp1251ToUtf8, AsciiAndControlBytesPassUnchanged) {
    std::string ascii;
    for (int b = 1; b < 0x80; ++b) {
        ascii += static_cast<char>(b);
    }
    EXPECT_EQ(convert(ascii), ascii);
    EXPECT_EQ(convert(""), "");
    EXPECT_EQ(convert("line one\r\nline two\r\n"), "line one\r\nline two\r\n");
}

TEST(Cp1251ToUtf8, LettersAndSignsByHand) {
    EXPECT_EQ(convert("\xC0\xEF\xF0\xFF"), "\xD0\x90\xD0\xBF\xD1\x80\xD1\x8F");  // А п р я
    EXPECT_EQ(convert("\xA8\xB8"), "Ёё");
    EXPECT_EQ(convert("\xAB\xB9 5\xBB"), "«№ 5»");
    EXPECT_EQ(convert("\x96\x97\x88\xA0"), "–—€\xC2\xA0");
    EXPECT_EQ(convert("\xAF\xBF\xB2\xB3\xA5\xB4\xA1\xA2"), "ЇїІіҐґЎў");
    EXPECT_EQ(convert("\x80\x8A\xBC\x9F"), "ЂЉјџ");
}

TEST(Cp1251ToUtf8, UnassignedByteBecomesAsterisk) {
    EXPECT_EQ(convert("\x98"), "*");
    EXPECT_EQ(convert("a\x98\xC0"), "a*\xD0\x90");
}

TEST(Cp1251ToUtf8, NulEndsTheText) {
    const std::string stored("\xC0\xC1\0\xC2", 4);
    EXPECT_EQ(convert(stored), "АБ");
}

TEST(Cp1251ToUtf8, LongTextsAreConvertedWhole) {
    // A full card of 440 Cyrillic letters is 880 bytes of UTF-8.
    EXPECT_EQ(convert(std::string(440, '\xE0')).size(), 880u);
    std::string expected;
    for (int i = 0; i < 440; ++i) {
        expected += "а";
    }
    EXPECT_EQ(convert(std::string(440, '\xE0')), expected);
    EXPECT_EQ(convert(std::string(600, 'x')), std::string(600, 'x'));
    EXPECT_EQ(convert(std::string(65535, '\xB9')).size(), 3u * 65535u);
}

#ifdef HAVE_ICONV
TEST(Cp1251ToUtf8, EveryUpperByteMatchesIconv) {
    for (int b = 0x80; b <= 0xFF; ++b) {
        const std::string byte(1, static_cast<char>(b));
        std::string expected;
        if (b == 0x98) {
            EXPECT_FALSE(iconv_cp1251(byte, expected)) << "iconv assigns 0x98";
            expected = "*";
        } else {
            ASSERT_TRUE(iconv_cp1251(byte, expected)) << "byte " << b;
        }
        EXPECT_EQ(convert(byte), expected) << "byte 0x" << std::hex << b;
    }
}

TEST(Cp1251ToUtf8, WholeCodePageInOneTextMatchesIconv) {
    std::string all;
    for (int b = 1; b <= 0xFF; ++b) {
        if (b != 0x98) {
            all += static_cast<char>(b);
        }
    }
    std::string text = all + all;
    std::string expected;
    ASSERT_TRUE(iconv_cp1251(text, expected));
    EXPECT_EQ(convert(text), expected);
}
#endif
