// Control characters as a terminal listing shows them (caret notation):
// every one but TAB, LF and the CR of a CR LF pair, as '^' and the character
// 0x40 above it ("^[" for ESC, "^M" for a lone CR), and "^?" for DEL; the C1
// controls 0x80 to 0x9F as cat -v shows them, "M-" before the caret form of
// the control 0x80 below ("M-^[" for 0x9B, CSI).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

// Whether the control character `c`, followed by the bytes [next, end), is
// shown as it is: TAB, LF, or CR before LF.
inline bool control_shown_as_is(unsigned char c, const char* next, const char* end) {
    return c == '\t' || c == '\n' || (c == '\r' && next != end && *next == '\n');
}

// The character after the '^' that stands for the control character `c`.
inline char caret_letter(unsigned char c) {
    return c == 0x7F ? '?' : static_cast<char>(c + 0x40);
}

// Writes `c` at `at` as it is shown: as it is, or in caret notation; returns the end.
inline char* put_shown_control(unsigned char c, const char* next, const char* end, char* at) {
    if (control_shown_as_is(c, next, end)) {
        *at++ = static_cast<char>(c);
    } else {
        *at++ = '^';
        *at++ = caret_letter(c);
    }
    return at;
}

// Writes the C1 control `c` (0x80 to 0x9F) at `at` as "M-^" and its letter;
// returns the end.
inline char* put_shown_c1(unsigned char c, char* at) {
    at[0] = 'M';
    at[1] = '-';
    at[2] = '^';
    at[3] = caret_letter(static_cast<unsigned char>(c - 0x80));
    return at + 4;
}

// What a text for a terminal is made of, which tells its C1 controls.
enum class shown_form {
    stored,  // bytes as a card file stores them: every byte 0x80 to 0x9F
    utf8,    // UTF-8 written by crdview: the characters U+0080 to U+009F
};

// Room that put_terminal_text needs at its destination for `size` bytes of
// `form`: a byte becomes four at most, a UTF-8 character twice its size;
// and 16 bytes it may write past the end of what it returns.
constexpr std::size_t terminal_room(shown_form form, std::size_t size) {
    return (form == shown_form::stored ? 4 * size : 2 * size) + 16;
}

// Whether [p, end) holds anything that put_terminal_text would change.
[[nodiscard]] bool needs_terminal_form(const char* p, const char* end, shown_form form);

// Writes [p, end) at `at` as a terminal is shown it: control characters in
// caret notation (TAB, LF and CR LF as they are), C1 controls of `form` as
// "M-^X"; returns the end of what was written.
[[nodiscard]] char* put_terminal_text(const char* p, const char* end, shown_form form, char* at);

// Writes `name` (a path, or a word of the command line) to `out` as every
// message shows it, terminal or not: each control character in caret
// notation (TAB and LF too), and the characters U+0080 to U+009F and the
// bytes 0x80 to 0x9F that are no part of a UTF-8 character as "M-^X"; the
// rest as it is, so that a UTF-8 name reads as typed. Needs no memory.
void print_name(std::FILE* out, std::string_view name);

// `name` as print_name shows it.
[[nodiscard]] std::string shown_name(std::string_view name);
