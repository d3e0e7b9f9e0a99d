// The standard streams and terminals (on Windows, consoles).
#pragma once

#include <cstdio>

// Makes standard input and output byte streams. On Windows a text-mode
// stream would turn the CR LF that card texts end their lines with into
// CR CR LF on the way out, and into LF on the way in, ending at the first
// 0x1A; elsewhere they are byte streams already.
void use_binary_standard_streams();

// Whether `out` is a terminal (on Windows, a console), where a card's
// control characters would act instead of being shown.
[[nodiscard]] bool is_terminal(std::FILE* out);

// While it lives, the console that `out` writes to (if any: nullptr for none) shows
// UTF-8 whatever its code page: on Windows its output code page is UTF-8,
// and the page it had is put back when it ends, or on Ctrl+C. Elsewhere a
// terminal is taken to read UTF-8, and it does nothing.
struct utf8_console {
    explicit utf8_console(std::FILE* out);
    ~utf8_console();
    utf8_console(const utf8_console&) = delete;
    utf8_console& operator=(const utf8_console&) = delete;

    unsigned saved = 0;  // the code page to put back; 0: none
};
