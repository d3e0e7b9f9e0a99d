// Block I/O under the reader (private to src/cardfile/): the card file read
// through windows of fixed size, so that a listing costs a few system calls
// per window of file rather than a seek and a refill per card.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "format.h"

// Each window holds at least one whole body text (65535 bytes).
constexpr std::size_t INDEX_WINDOW_SIZE = 64 * 1024;
constexpr std::size_t BODY_WINDOW_SIZE = 128 * 1024;
// What is read after a jump away from a window's bytes.
constexpr std::size_t JUMP_READ_SIZE = 4 * 1024;

// A block of the card file held in memory: the bytes [start, start + size).
struct file_window {
    std::vector<unsigned char> bytes{};
    std::int64_t start = 0;
    std::size_t size = 0;
};

// An open card file being read. `read_failed` is set when the system reports
// an error (not the end of the file) for bytes a read needed, or the file
// cannot be positioned where a read needs it; `read_error` then holds the
// system's error number (0 when it gave none).
struct card_stream {
    std::FILE* file;
    bool read_failed = false;
    int read_error = 0;
    std::int64_t index_position = -1;  // next index byte; -1 until the first read
    std::int64_t file_position = -1;   // where `file` stands; -1 when not known
    std::int64_t file_end = -1;        // the size of the file, once known
    file_window index_window{};
    file_window body_window{};
    file_window data_window{};  // for read_data_block: objects and pictures copied out
    // An index entry the file holds only in part, its missing bytes zeros.
    std::array<unsigned char, INDEX_ENTRY_SIZE> entry_spare{};
};

// Sets up the positions from the file's own at the first read. A stream that
// cannot tell its position (a pipe) is read from where it stands.
void start_stream(card_stream& in);

// The size of the file (one seek to its end the first time); -1 when the
// file cannot tell.
std::int64_t file_size(card_stream& in);

// Makes the `size` bytes at `position` available from `window` (of
// `capacity` bytes), reading a new block when they are not all there.
// Returns where they start, or nullptr when the file cannot be positioned
// there; `got` says how many of them the file holds (fewer at its end).
const unsigned char* window_bytes_read(card_stream& in, file_window& window, std::size_t capacity,
                                       std::int64_t position, std::size_t size, std::size_t& got);
inline const unsigned char* window_bytes(card_stream& in, file_window& window, std::size_t capacity,
                                         std::int64_t position, std::size_t size,
                                         std::size_t& got) {
    // Most reads are of bytes the window holds already.
    const std::int64_t offset = position - window.start;
    if (offset >= 0 && static_cast<std::uint64_t>(offset) + size <= window.size) {
        got = size;
        return window.bytes.data() + offset;
    }
    return window_bytes_read(in, window, capacity, position, size, got);
}

// The `N` bytes at `position`: where they lie in the window when the file
// holds them all, otherwise copied into `spare` behind zeros for the bytes the
// file does not hold. nullptr when the file cannot be positioned there.
template <std::size_t N>
const unsigned char* field_at(card_stream& in, file_window& window, std::size_t capacity,
                              std::int64_t position, std::array<unsigned char, N>& spare,
                              std::size_t& got) {
    const unsigned char* bytes = window_bytes(in, window, capacity, position, N, got);
    if (!bytes || got == N) {
        return bytes;
    }
    spare.fill(0);
    if (got > 0) {
        std::memcpy(spare.data(), bytes, got);
    }
    return spare.data();
}

// The body field of `N` bytes at `position`, which moves past it.
template <std::size_t N>
const unsigned char* body_field(card_stream& in, std::int64_t& position,
                                std::array<unsigned char, N>& spare, std::size_t& got) {
    const unsigned char* bytes =
        field_at(in, in.body_window, BODY_WINDOW_SIZE, position, spare, got);
    position += static_cast<std::int64_t>(N);
    return bytes;
}
