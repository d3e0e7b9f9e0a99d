// What the fuzz targets share: the input served as a card file, and the
// output of a writer gathered in memory.
//
// The bytes are served by a read-only stream that behaves like a regular
// file: it may be positioned anywhere at or beyond its end, and a read there
// delivers nothing. (A plain fmemopen stream refuses to seek past its end,
// which would end the listing where a real file would go on.)
#pragma once

#ifndef _GNU_SOURCE
#define _GNU_SOURCE 1  // fopencookie
#endif

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>

#include "walk/walk.h"
#include "writers/extract.h"

namespace fuzz {

struct memory_file {
    const std::uint8_t* data;
    std::size_t size;
    off64_t position;
};

inline ssize_t memory_read(void* cookie, char* buffer, std::size_t size) {
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

inline int memory_seek(void* cookie, off64_t* offset, int whence) {
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

inline int memory_close(void*) {
    return 0;
}

inline std::FILE* open_bytes(memory_file& file) {
    const cookie_io_functions_t functions{memory_read, nullptr, memory_seek, memory_close};
    return fopencookie(&file, "rb", functions);
}

// A stream that takes every byte and keeps none.
inline std::FILE* discard_stream() {
    static std::FILE* sink = std::fopen("/dev/null", "w");
    return sink;
}

// What `writer` makes of the bytes, read as a card file with its texts in
// `encoding`; `result` says how the walk went. The extractor writes files of
// its own: its output here is empty.
template <typename Writer>
std::string written_by(Writer& writer, const std::uint8_t* data, std::size_t size, int encoding,
                       const char* path, card_file_result& result) {
    memory_file file{data, size, 0};
    std::FILE* in = open_bytes(file);
    char* bytes = nullptr;
    std::size_t length = 0;
    std::FILE* out = open_memstream(&bytes, &length);
    if (!in || !out) {
        __builtin_trap();
    }
    if constexpr (!std::is_same_v<Writer, extract_writer>) {
        writer.block.out = out;
    }
    walk_options options;
    options.encoding = encoding;
    options.err = discard_stream();
    result = list_card_stream(in, path, {&writer}, options).result;
    writer.finish();
    std::fclose(in);
    std::fclose(out);
    std::string output(bytes, length);
    std::free(bytes);
    return output;
}

}  // namespace fuzz
