// Builds card files byte by byte for the unit tests, and moves bytes in and
// out of temporary streams (tmpfile(), so the tests run wherever the standard
// library does).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace card_builder {

inline void put_u16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

inline void put_u32(std::string& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) {
        out += static_cast<char>((v >> shift) & 0xFF);
    }
}

// "MGC", then the signed 16-bit card count: 5 bytes.
inline std::string mgc_header(std::int16_t count) {
    std::string out = "MGC";
    put_u16(out, static_cast<std::uint16_t>(count));
    return out;
}

// "RRG", four bytes the viewer does not interpret, the card count: 9 bytes.
inline std::string rrg_header(std::int16_t count, std::uint32_t field = 0) {
    std::string out = "RRG";
    put_u32(out, field);
    put_u16(out, static_cast<std::uint16_t>(count));
    return out;
}

// One 52-byte index entry: six bytes `pad`, the body offset, the flag and the
// 41-byte index line field (the title, then NULs; a 41-byte title has none).
inline std::string index_entry(std::uint32_t body_offset, std::string_view title,
                               std::uint8_t flag = 0, std::string_view pad = {}) {
    std::string out(pad.substr(0, 6));
    out.resize(6, '\0');
    put_u32(out, body_offset);
    out += static_cast<char>(flag);
    out += title.substr(0, 41);
    out.resize(52, '\0');
    return out;
}

// "MGC" body: graphic block length G, G + 10 bytes of block when G is not 0,
// the text length and the text.
inline std::string mgc_body(std::string_view text, std::uint16_t graphic = 0) {
    std::string out;
    put_u16(out, graphic);
    if (graphic != 0) {
        out.append(graphic + 10u, '\x55');
    }
    put_u16(out, static_cast<std::uint16_t>(text.size()));
    out += text;
    return out;
}

// "RRG" body without an object: flag 0, the text length and the text.
inline std::string rrg_text_body(std::string_view text) {
    std::string out;
    put_u16(out, 0);
    put_u16(out, static_cast<std::uint16_t>(text.size()));
    out += text;
    return out;
}

// "RRG" body with an object: flag, UID, a field not interpreted, format ID,
// class name length.
inline std::string rrg_object_body(std::int32_t uid, std::int32_t format_id,
                                   std::int32_t class_name_length, std::uint16_t flag = 1) {
    std::string out;
    put_u16(out, flag);
    put_u32(out, static_cast<std::uint32_t>(uid));
    put_u32(out, 0xDEADBEEF);
    put_u32(out, static_cast<std::uint32_t>(format_id));
    put_u32(out, static_cast<std::uint32_t>(class_name_length));
    return out;
}

struct file_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

// A temporary stream holding `bytes`, positioned at `position`.
inline file_ptr stream_with(std::string_view bytes, long position = 0) {
    file_ptr f(std::tmpfile());
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f.get());
        std::fseek(f.get(), position, SEEK_SET);
    }
    return f;
}

// An empty temporary stream to write a listing to.
inline file_ptr output_stream() {
    return file_ptr(std::tmpfile());
}

// Everything written to `f` so far.
inline std::string contents(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string out;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        out.append(buffer, got);
    }
    return out;
}

}  // namespace card_builder
