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
