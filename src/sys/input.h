// The card file to read: a path, or standard input for "-". Input that
// cannot seek (a pipe, a FIFO) is first copied to a temporary file, which
// goes away when it is closed, so that the reader may jump to any body; its
// first bytes decide how much of it is copied.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "files.h"

struct card_input {
    owned_stream owned{};       // the file opened here, or the temporary copy
    std::FILE* file = nullptr;  // what to read: `owned`, or standard input
    int error = 0;              // when `file` is nullptr: the system's error number
    // Copied input that goes on beyond the limit its first bytes gave: the
    // copy ends at `limit` bytes, and the rest is not read.
    bool cut = false;
    std::uint64_t limit = 0;
};

// How much of input that cannot seek is copied: its first `peek` bytes (all
// there are, when it is shorter) are given to `limit`, which returns how many
// bytes to copy at most; fewer than those first bytes (0): those bytes alone,
// and the input is read no further. Without `limit`, all of it is copied.
struct spool_rule {
    std::size_t peek = 0;
    std::uint64_t (*limit)(std::string_view first) = nullptr;
};

// Opens `path` ("-": standard input) for reading, ready for the reader.
[[nodiscard]] card_input open_card_input(const char* path, const spool_rule& rule = {});
