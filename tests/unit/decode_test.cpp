#include "decode/decode.h"

#include <gtest/gtest.h>

TEST(DecodeText, NoneReturnsTheVeryText) {
    const std::string stored = "\xC0\xE1 text";
    std::string converted = "untouched";
    const std::string_view shown = decode_text(stored, ENCODING_NONE, converted);
    EXPECT_EQ(shown.data(), stored.data());
    EXPECT_EQ(shown.size(), stored.size());
    EXPECT_EQ(converted, "untouched");
}
