#include "caret.h"

#include "scan.h"
#include "utf8_text.h"

namespace {

// What put_terminal_text looks at: controls, and the bytes 0x80 to 0x9F of a
// stored text or the first byte (0xC2) of a C1 character in UTF-8.
using stored_special = any_of<terminal_control, c1_byte>;
using utf8_special = any_of<terminal_control, byte_is<0xC2>>;

bool is_c1(const char* p, const char* end) {
    return p != end && c1_byte::byte(static_cast<unsigned char>(*p));
}

template <typename Special>
char* put_shown(const char* p, const char* end, shown_form form, char* at) {
    while (p != end) {
        copy_plain<Special>(p, end, at);
        if (p == end) {
            break;
        }
        const auto c = static_cast<unsigned char>(*p++);
        if (c < 0x80) {
            at = put_shown_control(c, p, end, at);
        } else if (form == shown_form::stored) {
            at = put_shown_c1(c, at);
        } else if (is_c1(p, end)) {
            at = put_shown_c1(static_cast<unsigned char>(*p++), at);
        } else {
            *at++ = static_cast<char>(c);
        }
    }
    return at;
}

// Writes [p, end) of `name` at `at` (with room for four bytes a byte).
char* put_name_part(std::string_view name, std::size_t& i, std::size_t stop, char* at) {
    while (i < stop) {
        const auto c = static_cast<unsigned char>(name[i]);
        const std::size_t size = c < 0x80 ? 1 : utf8_sequence_size(name, i);
        if (terminal_control::byte(c)) {
            *at++ = '^';
            *at++ = caret_letter(c);
        } else if (c == 0xC2 && size == 2 &&
                   c1_byte::byte(static_cast<unsigned char>(name[i + 1]))) {
            at = put_shown_c1(static_cast<unsigned char>(name[i + 1]), at);
        } else if (size == 0 && c1_byte::byte(c)) {
            at = put_shown_c1(c, at);
        } else {
            for (std::size_t k = 0; k < (size == 0 ? 1 : size); ++k) {
                *at++ = name[i + k];
            }
        }
        i += size == 0 ? 1 : size;
    }
    return at;
}

// Hands `name` as it is shown to `put` a few bytes at a time, through a
// buffer on the stack; a UTF-8 character is never split between two.
template <typename Put>
void show_name(std::string_view name, Put put) {
    constexpr std::size_t PART = 64;
    char shown[4 * PART + 16];
    std::size_t i = 0;
    while (i < name.size()) {
        const std::size_t stop = i + PART < name.size() ? i + PART : name.size();
        put(shown, put_name_part(name, i, stop, shown));
    }
}

}  // namespace

bool needs_terminal_form(const char* p, const char* end, shown_form form) {
    if (form == shown_form::stored) {
        return find_special<stored_special>(p, end) != end;
    }
    for (p = find_special<utf8_special>(p, end); p != end;
         p = find_special<utf8_special>(p + 1, end)) {
        if (*p != '\xC2' || is_c1(p + 1, end)) {
            return true;
        }
    }
    return false;
}

char* put_terminal_text(const char* p, const char* end, shown_form form, char* at) {
    return form == shown_form::stored ? put_shown<stored_special>(p, end, form, at)
                                      : put_shown<utf8_special>(p, end, form, at);
}

void print_name(std::FILE* out, std::string_view name) {
    show_name(name, [out](const char* shown, const char* end) {
        std::fwrite(shown, 1, static_cast<std::size_t>(end - shown), out);
    });
}

std::string shown_name(std::string_view name) {
    std::string shown;
    show_name(name, [&shown](const char* part, const char* end) { shown.append(part, end); });
    return shown;
}
