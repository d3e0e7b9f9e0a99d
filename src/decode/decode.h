// Text decoding for card files: index lines and card texts are stored in an
// 8-bit code page and are either printed as stored or converted to UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// How the texts of a card file are printed. Chosen once per run.
enum encoding_choice : int {
    ENCODING_NONE = 0,          // texts are printed byte for byte as stored
    ENCODING_WINDOWS_1251 = 1,  // texts are converted from Windows-1251 to UTF-8
};

// Byte written for the one position that Windows-1251 leaves unassigned (0x98).
constexpr char UNASSIGNED_REPLACEMENT = '*';

// Converts `text` from Windows-1251 to UTF-8, replacing what `converted`
// held. The whole text is converted, however long; a NUL byte in `text` ends
// the conversion, as it ends a stored text.
void cp1251_to_utf8(std::string_view text, std::string& converted);

// Room that cp1251_to_utf8_at needs for a text of `size` bytes: three bytes
// of UTF-8 at most for each, and a few it may write past the end.
constexpr std::size_t cp1251_utf8_room(std::size_t size) {
    return 3 * size + 8;
}

// Writes the UTF-8 form of every byte of `text` at `dest`, which has room for
// cp1251_utf8_room(text.size()) bytes; returns the end of what was written.
// The caller ends the text at its first NUL (a NUL byte would be written as
// one); no NUL is added.
[[nodiscard]] char* cp1251_to_utf8_at(std::string_view text, char* dest);

// Returns the text to print for `text`: for ENCODING_WINDOWS_1251 the
// conversion, held in the caller's `converted`; for any other value the very
// `text` passed in (same data pointer and length), and `converted` is left alone.
[[nodiscard]] std::string_view decode_text(std::string_view text, int encoding,
                                           std::string& converted);
