// Texts made UTF-8 on their way out: stored texts decoded in a code page, and
// bytes that are to be UTF-8 whatever they hold (a path as given).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "decode/decode.h"

// Converts stored texts to UTF-8 in a buffer of its own, kept for the next text.
struct utf8_scratch {
    const code_page* page;
    std::vector<char> bytes{};

    std::string_view decode(std::string_view text) {
        if (bytes.size() < decoded_room(page, text.size())) {
            bytes.resize(decoded_room(page, text.size()));
        }
        const char* end = decode_text(page, text, bytes.data());
        return {bytes.data(), static_cast<std::size_t>(end - bytes.data())};
    }
};

// The size of the well-formed UTF-8 character at bytes[i] (1 to 4; no
// overlong form, no surrogate, nothing beyond U+10FFFF), or 0 when none begins there.
[[nodiscard]] std::size_t utf8_sequence_size(std::string_view bytes, std::size_t i);

// `bytes` made UTF-8: every byte that does not begin a well-formed UTF-8
// sequence (no overlong form, no surrogate, nothing beyond U+10FFFF) becomes
// U+FFFD.
[[nodiscard]] std::string valid_utf8(std::string_view bytes);
