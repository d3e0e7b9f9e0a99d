// Control characters as a terminal listing shows them (caret notation):
// every one but TAB, LF and the CR of a CR LF pair, as '^' and the character
// 0x40 above it ("^[" for ESC, "^M" for a lone CR), and "^?" for DEL.
#pragma once

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
