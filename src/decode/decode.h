// Text decoding for card files: index lines and card texts are stored in the
// ANSI code page of the Windows that wrote them, and are either printed as
// stored or converted to UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// How the texts of a card file are printed. Chosen once per run. Apart from
// ENCODING_WINDOWS_1251 (1), a code page's value is its number.
enum encoding_choice : int {
    ENCODING_AUTO = -1,            // the code page the texts look like (detect.h)
    ENCODING_NONE = 0,             // texts are printed byte for byte as stored
    ENCODING_WINDOWS_1251 = 1,     // Cyrillic
    ENCODING_WINDOWS_874 = 874,    // Thai
    ENCODING_WINDOWS_932 = 932,    // Japanese (double-byte)
    ENCODING_WINDOWS_936 = 936,    // Simplified Chinese (double-byte)
    ENCODING_WINDOWS_949 = 949,    // Korean (double-byte)
    ENCODING_WINDOWS_950 = 950,    // Traditional Chinese (double-byte)
    ENCODING_WINDOWS_1250 = 1250,  // Central European
    ENCODING_WINDOWS_1252 = 1252,  // Western European
    ENCODING_WINDOWS_1253 = 1253,  // Greek
    ENCODING_WINDOWS_1254 = 1254,  // Turkish
    ENCODING_WINDOWS_1255 = 1255,  // Hebrew
    ENCODING_WINDOWS_1256 = 1256,  // Arabic
    ENCODING_WINDOWS_1257 = 1257,  // Baltic
    ENCODING_WINDOWS_1258 = 1258,  // Vietnamese
};

// Byte written for a byte, or a lead byte and the byte after it, to which
// the code page assigns no character (0x98 of Windows-1251, say).
constexpr char UNASSIGNED_REPLACEMENT = '*';

// The names of the known encodings, as messages list them.
constexpr const char* KNOWN_ENCODING_NAMES =
    "Windows-874, Windows-1250 to Windows-1258, Windows-932, 936, 949, 950";

// The encoding called `name` ("Windows-1252"), compared exactly and
// case-sensitively; ENCODING_NONE when no encoding has that name.
[[nodiscard]] int encoding_by_name(std::string_view name);

// The encoding called `name` in any case or by one of its aliases: for
// Windows-1251, "windows-1251", "CP1251", "cp1251" and "1251" (and
// "Windows-1251"); ENCODING_NONE when none is.
[[nodiscard]] int encoding_by_any_name(std::string_view name);

// The name of `encoding` ("Windows-1252"); nullptr for ENCODING_NONE and for
// values that name no encoding.
[[nodiscard]] const char* encoding_name(int encoding);

// A code page, as the conversions take it.
struct code_page;

// The code page of `encoding`; nullptr for ENCODING_NONE and for values that
// name no encoding. Look it up once, convert many texts with it.
[[nodiscard]] const code_page* code_page_of(int encoding);

// Room that the conversions at a destination need for a text of `size`
// bytes: three bytes of UTF-8 at most for each, and a few they may write past
// the end of what they return.
constexpr std::size_t utf8_room(std::size_t size) {
    return 3 * size + 8;
}

// Room that decode_text needs at its destination for a text of `size` bytes.
constexpr std::size_t decoded_room(const code_page* page, std::size_t size) {
    return page ? utf8_room(size) : size;
}

// The writers' way into the code pages: writes `text` as `page` shows it at
// `dest`, which has room for decoded_room(page, text.size()) bytes, and
// returns the end of what was written. A nullptr page copies the text as
// stored; a code page converts every byte to UTF-8 (a NUL byte is written as
// one: the reader ends texts at their first NUL). In a double-byte code
// page, a lead byte and the byte after it are one character when the page
// assigns that pair; otherwise the lead byte alone is written as '*' and the
// byte after it is read afresh.
[[nodiscard]] char* decode_text(const code_page* page, std::string_view text, char* dest);

// Writes `text`, UTF-8, to `folded` (replacing what it held) with the case of
// every letter of the supported code pages folded (A to a, and the Latin,
// Greek, Cyrillic and full-width letters likewise; both Greek small sigmas to
// one), so that two texts that differ only in case fold alike. Bytes that are
// not UTF-8 are copied as they are.
void fold_case(std::string_view text, std::string& folded);
