// Helpers for the hostile-file tests: card files built byte by byte, listed
// through temporary streams, and a check that a listing prints nothing but
// the program's own texts and bytes that the file holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "cardfile/cardfile.h"

namespace hostile {

// Little-endian fields, written independently of the reader's own decoding.
inline std::string le16(std::uint16_t value) {
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

inline std::string le32(std::uint32_t value) {
    return le16(static_cast<std::uint16_t>(value & 0xFFFF)) +
           le16(static_cast<std::uint16_t>(value >> 16));
}

inline std::string mgc_header(std::int16_t count) {
    return "MGC" + le16(static_cast<std::uint16_t>(count));
}

inline std::string rrg_header(std::int16_t count) {
    return std::string("RRG\x11\x22\x33\x44", 7) + le16(static_cast<std::uint16_t>(count));
}

// A 52-byte index entry; `line` (at most 41 bytes) is padded with NULs.
inline std::string index_entry(std::uint32_t body_offset, std::string_view line,
                               unsigned char flag = 0) {
    std::string entry(6, '\x5A');  // not interpreted
    entry += le32(body_offset);
    entry += static_cast<char>(flag);
    entry += line.substr(0, 41);
    entry.resize(52, '\0');
    return entry;
}

inline std::string mgc_body(std::string_view text) {
    return le16(0) + le16(static_cast<std::uint16_t>(text.size())) + std::string(text);
}

inline std::string rrg_body(std::string_view text) {
    return le16(0) + le16(static_cast<std::uint16_t>(text.size())) + std::string(text);
}

struct listing {
    card_file_result result;
    std::string out;
};

struct file_closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

// A temporary file holding `bytes`.
inline file_ptr temporary_file(std::string_view bytes) {
    file_ptr file(std::tmpfile());
    if (file && (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
                 std::fflush(file.get()) != 0)) {
        file.reset();
    }
    return file;
}

// The bytes of `file` from `from` to its end.
inline std::string read_from(std::FILE* file, long from) {
    std::string bytes;
    if (std::fflush(file) != 0 || std::fseek(file, from, SEEK_SET) != 0) {
        return "(unreadable)";
    }
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.append(chunk, got);
    }
    return bytes;
}

// Lists the card file `in` from its start and returns what the listing
// appended to `out`.
inline listing list_from(std::FILE* in, int encoding, std::FILE* out) {
    std::rewind(in);
    std::fseek(out, 0, SEEK_END);
    const long start = std::ftell(out);
    const card_file_result result = list_card_stream(in, encoding, out);
    return {result, read_from(out, start)};
}

// Lists `file` (the whole card file's bytes) from a temporary stream.
inline listing list_bytes(std::string_view file, int encoding) {
    const file_ptr in = temporary_file(file);
    const file_ptr out = temporary_file("");
    if (!in || !out) {
        return {CARD_FILE_OPEN_FAILED, "(no temporary file)"};
    }
    return list_from(in.get(), encoding, out.get());
}

}  // namespace hostile
