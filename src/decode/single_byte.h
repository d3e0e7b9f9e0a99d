// Conversion of texts in a single-byte Windows code page to UTF-8.
#pragma once

#include <string_view>

// A single-byte Windows code page, given by the Unicode code points of its
// bytes 0x80 to 0xFF (0 where the page leaves a byte unassigned). Bytes
// 0x01..0x7F are ASCII.
//
// Writes the UTF-8 form of every byte of `text` at `dest`, which has room for
// 3 * text.size() + 8 bytes (it may write a few bytes past the end of what it
// returns, within that room); returns the end of what was written. An
// unassigned byte is written as '*'. A NUL byte is written as a NUL (the
// caller cuts texts at their first NUL beforehand).
//
// The tables the conversion works with are made from `upper` on first use and
// kept until a call passes another array. They are known by the array's
// address: pass a page's table that stays as it is for the whole run. A run
// that converts nothing makes none.
[[nodiscard]] char* single_byte_to_utf8_at(const char16_t (&upper)[128], std::string_view text,
                                           char* dest);

// The same through the portable path only (no SIMD), for tests and non-x86 builds.
[[nodiscard]] char* single_byte_to_utf8_portable(const char16_t (&upper)[128],
                                                 std::string_view text, char* dest);
