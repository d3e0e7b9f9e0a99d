// The card file to read: a path, or standard input for "-". Input that
// cannot seek (a pipe, a FIFO) is first copied to a temporary file, which
// goes away when it is closed, so that the reader may jump to any body.
#pragma once

#include <cstdio>

#include "files.h"

struct card_input {
    owned_stream owned{};       // the file opened here, or the temporary copy
    std::FILE* file = nullptr;  // what to read: `owned`, or standard input
    int error = 0;              // when `file` is nullptr: the system's error number
};

// Opens `path` ("-": standard input) for reading, ready for the reader.
[[nodiscard]] card_input open_card_input(const char* path);
