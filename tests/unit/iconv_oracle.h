// The system's converter (iconv(3)) as an independent oracle for the code
// pages, where the C library has one. HAVE_ICONV tells whether it does.
#pragma once

#if __has_include(<iconv.h>) && !defined(_WIN32)
#include <iconv.h>

#include <string>

#define HAVE_ICONV 1

// Converts `text` from `page` (iconv's name: "CP1251") to UTF-8. Returns false
// when iconv refuses the text or does not know the page.
inline bool iconv_to_utf8(const char* page, const std::string& text, std::string& utf8) {
    iconv_t cd = iconv_open("UTF-8", page);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::string in = text;
    std::string out(text.size() * 4 + 4, '\0');
    char* in_p = in.data();
    char* out_p = out.data();
    size_t in_left = in.size();
    size_t out_left = out.size();
    const size_t rc = iconv(cd, &in_p, &in_left, &out_p, &out_left);
    iconv_close(cd);
    utf8.assign(out.data(), out.size() - out_left);
    return rc != static_cast<size_t>(-1) && in_left == 0;
}
#endif
