// A stored text as the code page of `encoding` shows it, as a string: the
// text up to its first NUL, through decode_text.
#pragma once

#include <string>
#include <string_view>

#include "decode/decode.h"

inline std::string decoded(int encoding, std::string_view text) {
    text = text.substr(0, text.find('\0'));
    const code_page* page = code_page_of(encoding);
    std::string out(decoded_room(page, text.size()), '\0');
    out.resize(static_cast<std::size_t>(decode_text(page, text, out.data()) - out.data()));
    return out;
}
