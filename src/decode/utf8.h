// The UTF-8 form of a character: the one encoder the conversions share.
#pragma once

// Writes the UTF-8 form of `cp`, a character of the Basic Multilingual Plane
// (1 to 3 bytes), at `dest`; returns the end of what was written.
inline char* put_utf8(char32_t cp, char* dest) {
    if (cp < 0x80) {
        *dest++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *dest++ = static_cast<char>(0xC0 | (cp >> 6));
        *dest++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *dest++ = static_cast<char>(0xE0 | (cp >> 12));
        *dest++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *dest++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return dest;
}
