// Fuzz target: lists any sequence of bytes as a card file, once without
// conversion and once converted from Windows-1251, through the same stream
// listing that crdview uses for a file on disk.
//
// The bytes are served by a read-only stream that behaves like a regular
// file: it may be positioned anywhere at or beyond its end, and a read there
// delivers nothing. (A plain fmemopen stream refuses to seek past its end,
// which would end the listing where a real file would go on.)
#ifndef _GNU_SOURCE
#define _GNU_SOURCE 1  // fopencookie
#endif

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "decode/decode.h"
#include "output/listing.h"

namespace {

struct memory_file {
    const std::uint8_t* data;
    std::size_t size;
    off64_t position;
};

ssize_t memory_read(void* cookie, char* buffer, std::size_t size) {
    auto* file = static_cast<memory_file*>(cookie);
    const auto position = static_cast<std::size_t>(file->position);
    if (position >= file->size) {
        return 0;
    }
    const std::size_t count = size < file->size - position ? size : file->size - position;
    std::memcpy(buffer, file->data + position, count);
    file->position += static_cast<off64_t>(count);
    return static_cast<ssize_t>(count);
}

int memory_seek(void* cookie, off64_t* offset, int whence) {
    auto* file = static_cast<memory_file*>(cookie);
    off64_t base = 0;
    if (whence == SEEK_CUR) {
        base = file->position;
    } else if (whence == SEEK_END) {
        base = static_cast<off64_t>(file->size);
    } else if (whence != SEEK_SET) {
        return -1;
    }
    // Offsets in a card file are at most 32 bits, lengths 16: no overflow here.
    const off64_t target = base + *offset;
    if (target < 0) {
        return -1;
    }
    file->position = target;
    *offset = target;
    return 0;
}

int memory_close(void*) {
    return 0;
}

std::FILE* discard_stream() {
    static std::FILE* sink = std::fopen("/dev/null", "w");
    return sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* out = discard_stream();
    if (!out) {
        return 0;
    }
    for (const int encoding : {ENCODING_NONE, ENCODING_WINDOWS_1251}) {
        memory_file file{data, size, 0};
        const cookie_io_functions_t functions{memory_read, nullptr, memory_seek, memory_close};
        std::FILE* in = fopencookie(&file, "rb", functions);
        if (!in) {
            return 0;
        }
        const card_file_result result = list_card_stream(in, encoding, out);
        std::fclose(in);
        // Reading from memory never fails, so the outcome follows from the
        // signature alone.
        const bool card_file =
            size >= 3 && (std::memcmp(data, "RRG", 3) == 0 || std::memcmp(data, "MGC", 3) == 0);
        if (result != (card_file ? CARD_FILE_OK : CARD_FILE_BAD_SIGNATURE)) {
            __builtin_trap();
        }
    }
    return 0;
}
