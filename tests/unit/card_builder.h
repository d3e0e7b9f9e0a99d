// Builds card files byte by byte for the tests, and moves bytes in and out of
// temporary streams (tmpfile(), so the tests run wherever the standard
// library does). Fields are written here independently of the reader's own
// decoding; the bytes the viewer does not interpret hold markers, not zeros,
// so that a reader which used them would show it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "walk/walk.h"
#include "writers/listing.h"

namespace card_builder {

// Little-endian fields.
inline std::string le16(std::uint16_t value) {
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

inline std::string le32(std::uint32_t value) {
    return le16(static_cast<std::uint16_t>(value & 0xFFFF)) +
           le16(static_cast<std::uint16_t>(value >> 16));
}

// "MGC", then the signed 16-bit card count: 5 bytes.
inline std::string mgc_header(std::int16_t count) {
    return "MGC" + le16(static_cast<std::uint16_t>(count));
}

// "RRG", four bytes the viewer does not interpret, the card count: 9 bytes.
inline std::string rrg_header(std::int16_t count) {
    return "RRG" + le32(0x44332211) + le16(static_cast<std::uint16_t>(count));
}

// One 52-byte index entry: six bytes not interpreted, the body offset, the
// flag and the 41-byte index line field (`line`, then NULs; a 41-byte line
// has none).
inline std::string index_entry(std::uint32_t body_offset, std::string_view line,
                               std::uint8_t flag = 0) {
    std::string entry(6, '\x5A');
    entry += le32(body_offset);
    entry += static_cast<char>(flag);
    entry += line.substr(0, 41);
    entry.resize(52, '\0');
    return entry;
}

// "MGC" body: graphic length G; when G is not 0 width, height, x and y
// (markers) and G bytes of bits; then the text length and the text.
inline std::string mgc_body(std::string_view text, std::uint16_t graphic = 0) {
    std::string body = le16(graphic);
    if (graphic != 0) {
        body.append(8u, '\x33');
        body.append(graphic, '\x55');
    }
    return body + le16(static_cast<std::uint16_t>(text.size())) + std::string(text);
}

// "RRG" body without an object: flag 0, the text length and the text.
inline std::string rrg_text_body(std::string_view text) {
    return le16(0) + le16(static_cast<std::uint16_t>(text.size())) + std::string(text);
}

// "RRG" body with an object: flag, UID, a field not interpreted, format ID,
// class name length.
inline std::string rrg_object_body(std::int32_t uid, std::int32_t format_id,
                                   std::int32_t class_name_length, std::uint16_t flag = 1) {
    return le16(flag) + le32(static_cast<std::uint32_t>(uid)) + le32(0xDEADBEEF) +
           le32(static_cast<std::uint32_t>(format_id)) +
           le32(static_cast<std::uint32_t>(class_name_length));
}

struct file_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

// A temporary stream holding `bytes`, positioned at `position`; null when
// it cannot be made.
inline file_ptr stream_with(std::string_view bytes, long position = 0) {
    file_ptr f(std::tmpfile());
    if (f && (std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size() ||
              std::fseek(f.get(), position, SEEK_SET) != 0)) {
        f.reset();
    }
    return f;
}

// An empty temporary stream to write a listing to.
inline file_ptr output_stream() {
    return file_ptr(std::tmpfile());
}

// The bytes of `f` from `from` to its end, everything written so far.
inline std::string contents(std::FILE* f, long from = 0) {
    if (std::fflush(f) != 0 || std::fseek(f, from, SEEK_SET) != 0) {
        return "(unreadable)";
    }
    std::string out;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        out.append(buffer, got);
    }
    return out;
}

struct listing {
    card_file_result result;
    std::string out;
};

// Where the walk tells problems in the tests: nowhere to be looked at.
inline std::FILE* problem_sink() {
    static std::FILE* const sink = std::tmpfile();
    if (sink) {
        std::rewind(sink);
    }
    return sink;
}

// Lists the card file `in` from its start and returns what the listing
// appended to `out` between its banner and its closing message.
inline listing list_from(std::FILE* in, int encoding, std::FILE* out) {
    std::rewind(in);
    std::fseek(out, 0, SEEK_END);
    const long start = std::ftell(out);
    listing_writer writer{out};
    walk_options options;
    options.encoding = encoding;
    options.err = problem_sink();
    const walk_result result = list_card_stream(in, "-", {&writer}, options);
    std::string text = contents(out, start);
    const std::string banner = "\nWindows Card File -";
    const std::string closing = result.result == CARD_FILE_OK ? "\n\n"
                                : result.result == CARD_FILE_BAD_SIGNATURE
                                    ? "\nNot the Windows Card file.\n\n"
                                    : "\nError reading file.\n\n";
    if (text.compare(0, banner.size(), banner) == 0 &&
        text.size() >= banner.size() + closing.size() &&
        text.compare(text.size() - closing.size(), closing.size(), closing) == 0) {
        text = text.substr(banner.size(), text.size() - banner.size() - closing.size());
    } else {
        text = "(no banner or closing message) " + text;
    }
    return {result.result, text};
}

// Lists `file` (the whole card file's bytes) from a temporary stream.
inline listing list_bytes(std::string_view file, int encoding) {
    const file_ptr in = stream_with(file);
    const file_ptr out = output_stream();
    if (!in || !out) {
        return {CARD_FILE_OPEN_FAILED, "(no temporary file)"};
    }
    return list_from(in.get(), encoding, out.get());
}

// A named file in the working directory holding `bytes`, for tests that need
// a path or a stream that cannot be read; removed when the test ends.
struct scratch_file {
    std::string path;

    scratch_file(std::string name, std::string_view bytes) : path(std::move(name)) {
        if (const file_ptr f{std::fopen(path.c_str(), "wb")}) {
            std::fwrite(bytes.data(), 1, bytes.size(), f.get());
        }
    }
    ~scratch_file() { std::remove(path.c_str()); }
    scratch_file(const scratch_file&) = delete;
    scratch_file& operator=(const scratch_file&) = delete;
};

}  // namespace card_builder
