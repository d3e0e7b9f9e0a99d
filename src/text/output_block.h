// Output gathered in large blocks and written to a stream a block at a time,
// so that a card costs no system call of its own. Every writer uses one.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

// Output is written to the stream in blocks of about this size.
constexpr std::size_t OUTPUT_BLOCK_SIZE = 64 * 1024;

struct output_block {
    std::FILE* out;
    std::vector<char> bytes{};  // the first `used` are not written yet
    std::size_t used = 0;
};

// Writes what is gathered to the stream.
void flush_output(output_block& block);

// Makes room for `size` bytes by writing out what is gathered (and growing
// the block when they would not fit even then).
[[nodiscard]] char* make_output_room(output_block& block, std::size_t size);

// Returns where `size` more bytes can be gathered, writing out what is
// gathered first when they would not fit. output_done says how many were.
[[nodiscard]] inline char* output_room(output_block& block, std::size_t size) {
    if (block.used + size <= block.bytes.size()) {
        return block.bytes.data() + block.used;
    }
    return make_output_room(block, size);
}

inline void output_done(output_block& block, const char* end) {
    block.used = static_cast<std::size_t>(end - block.bytes.data());
}

void put_bytes(output_block& block, std::string_view bytes);

// The same for what may be megabytes (a picture): more than a block go
// straight to the stream, never into a block grown to hold them.
void put_large_bytes(output_block& block, std::string_view bytes);
