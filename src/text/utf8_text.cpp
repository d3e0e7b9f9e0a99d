#include "utf8_text.h"

std::size_t utf8_sequence_size(std::string_view bytes, std::size_t i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    const std::size_t size = c < 0x80                 ? 1
                             : c >= 0xC2 && c <= 0xDF ? 2
                             : c >= 0xE0 && c <= 0xEF ? 3
                             : c >= 0xF0 && c <= 0xF4 ? 4
                                                      : 0;
    for (std::size_t k = 1; k < size; ++k) {
        const unsigned next = i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0;
        // The second byte's range rules out overlong forms, surrogates and
        // code points beyond U+10FFFF.
        const unsigned low = k > 1 ? 0x80 : c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
        const unsigned high = k > 1 ? 0xBF : c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
        if (next < low || next > high) {
            return 0;
        }
    }
    return size;
}

std::string valid_utf8(std::string_view bytes) {
    std::string valid;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t size = utf8_sequence_size(bytes, i);
        if (size == 0) {
            valid += "\xEF\xBF\xBD";
            ++i;
        } else {
            valid.append(bytes.substr(i, size));
            i += size;
        }
    }
    return valid;
}
