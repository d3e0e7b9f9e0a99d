#include "stream.h"

#include <algorithm>
#include <cerrno>
#include <limits>

#include "reader.h"

namespace {

// Notes a failed read, keeping the first error the system gave.
void fail_read(card_stream& in, int error) {
    if (!in.read_failed) {
        in.read_error = error;
    }
    in.read_failed = true;
}

// Loads into `window` the block of up to `capacity` bytes that starts at
// `position`; `needed` of them are wanted now. Fewer arrive at the end of the
// file. A system error sets read_failed only when it cuts off wanted bytes.
// Returns false, with read_failed set, when the file cannot be positioned there.
bool fill_window(card_stream& in, file_window& window, std::size_t capacity, std::int64_t position,
                 std::size_t needed) {
    if (window.bytes.size() < capacity) {
        window.bytes.resize(capacity);
    }
    window.start = position;
    window.size = 0;
    if (in.file_end >= 0 && position >= in.file_end) {
        return true;  // nothing there to read
    }
    if (position != in.file_position) {
        // fseek takes a long, which may be 32 bits wide.
        if (static_cast<std::uint64_t>(position) >
                static_cast<std::uint64_t>(std::numeric_limits<long>::max()) ||
            std::fseek(in.file, static_cast<long>(position), SEEK_SET) != 0) {
            in.file_position = -1;
            fail_read(in, errno);
            return false;
        }
        in.file_position = position;
    }
    errno = 0;
    const std::size_t got = std::fread(window.bytes.data(), 1, capacity, in.file);
    window.size = got;
    in.file_position += static_cast<std::int64_t>(got);
    if (got < capacity) {
        if (std::ferror(in.file)) {
            const int error = errno;
            std::clearerr(in.file);  // a later read may try again
            if (got < needed) {
                fail_read(in, error);
            }
        } else if (got > 0 || position == 0) {
            in.file_end = position + static_cast<std::int64_t>(got);  // exactly the end
        } else {
            std::clearerr(in.file);
            file_size(in);  // somewhere before `position`: find where, once
        }
    }
    return true;
}

}  // namespace

void start_stream(card_stream& in) {
    if (in.index_position >= 0) {
        return;
    }
    const long at = std::ftell(in.file);
    in.index_position = at < 0 ? 0 : at;
    in.file_position = in.index_position;
}

std::int64_t file_size(card_stream& in) {
    if (in.file_end >= 0) {
        return in.file_end;
    }
    if (std::fseek(in.file, 0, SEEK_END) != 0) {
        std::clearerr(in.file);
        in.file_position = -1;
        return -1;
    }
    const long size = std::ftell(in.file);
    in.file_position = size;
    if (size >= 0) {
        in.file_end = size;
    }
    return size;
}

const unsigned char* window_bytes_read(card_stream& in, file_window& window, std::size_t capacity,
                                       std::int64_t position, std::size_t size, std::size_t& got) {
    const std::int64_t window_end = window.start + static_cast<std::int64_t>(window.size);
    const bool held =
        position >= window.start && position <= window_end &&
        (position + static_cast<std::int64_t>(size) <= window_end || window_end == in.file_end);
    got = 0;
    if (!held) {
        // Reading on from the window: a whole block. A jump elsewhere (bodies
        // out of order): a short read, since the next jump may come at once.
        const bool reading_on =
            window.size > 0 && position >= window.start && position <= window_end;
        const std::size_t block =
            reading_on ? capacity : std::min(capacity, std::max(size, JUMP_READ_SIZE));
        if (!fill_window(in, window, block, position, size)) {
            return nullptr;
        }
    }
    const std::int64_t start = position - window.start;
    const std::size_t available = window.size > static_cast<std::size_t>(start)
                                      ? window.size - static_cast<std::size_t>(start)
                                      : 0;
    got = available < size ? available : size;
    return window.bytes.data() + start;
}

const unsigned char* read_data_block(card_stream& in, file_span& span, std::size_t& size) {
    size = std::min<std::size_t>(span.size, BODY_WINDOW_SIZE);
    std::size_t got = 0;
    const unsigned char* bytes =
        window_bytes(in, in.data_window, BODY_WINDOW_SIZE, span.offset, size, got);
    if (!bytes || got < size || in.read_failed) {
        return nullptr;
    }
    span.offset += static_cast<std::int64_t>(size);
    span.size -= static_cast<std::uint32_t>(size);
    return bytes;
}
