#include "output_block.h"

#include <algorithm>
#include <cstring>

void flush_output(output_block& block) {
    if (block.used > 0) {
        std::fwrite(block.bytes.data(), 1, block.used, block.out);
        block.used = 0;
    }
}

char* make_output_room(output_block& block, std::size_t size) {
    flush_output(block);
    if (size > block.bytes.size()) {
        block.bytes.resize(std::max(size, OUTPUT_BLOCK_SIZE));
    }
    return block.bytes.data();
}

void put_bytes(output_block& block, std::string_view bytes) {
    if (bytes.empty()) {
        return;  // an empty view may hold no pointer at all
    }
    char* const at = output_room(block, bytes.size());
    std::memcpy(at, bytes.data(), bytes.size());
    output_done(block, at + bytes.size());
}

void put_large_bytes(output_block& block, std::string_view bytes) {
    if (bytes.size() <= OUTPUT_BLOCK_SIZE) {
        put_bytes(block, bytes);
        return;
    }
    flush_output(block);
    std::fwrite(bytes.data(), 1, bytes.size(), block.out);
}
