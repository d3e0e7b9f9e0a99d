#include "png.h"

#ifdef CRDVIEW_ZLIB
#define ZLIB_CONST
#include <zlib.h>
#endif

#include <array>
#include <cstdint>
#include <string_view>

#include "checksum.h"

namespace {

constexpr std::string_view PNG_SIGNATURE{"\x89PNG\r\n\x1a\n", 8};

// IHDR colour types.
constexpr unsigned COLOUR_GREY = 0;
constexpr unsigned COLOUR_RGB = 2;
constexpr unsigned COLOUR_PALETTE = 3;
constexpr unsigned COLOUR_RGBA = 6;

constexpr unsigned char FILTER_NONE = 0;

// Deflated rows go out in IDAT chunks of at most this many bytes.
constexpr std::size_t IDAT_SIZE = 64 * 1024;

void put_u32_be(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value >> 24);
    out += static_cast<char>(value >> 16 & 0xFF);
    out += static_cast<char>(value >> 8 & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

// A chunk: its length, type, data and the CRC of type and data.
void put_chunk(std::string& out, const char (&type)[5], const unsigned char* data,
               std::size_t size) {
    put_u32_be(out, static_cast<std::uint32_t>(size));
    const std::size_t type_at = out.size();
    out.append(type, 4);
    if (size != 0) {
        out.append(reinterpret_cast<const char*>(data), size);
    }
    put_u32_be(out, crc32_update(0, std::string_view(out).substr(type_at)));
}

// A stored deflate block holds at most this many bytes.
constexpr std::size_t STORED_BLOCK_SIZE = 0xFFFF;

// The zlib stream of the rows in stored deflate blocks, going out in IDAT
// chunks as it grows: the zlib header (deflate, a 32 KiB window, no
// dictionary), blocks each headed by its final bit, type 00 and its length
// and the length's complement, then the Adler-32 of the rows.
struct stored_rows {
    std::string& png;
    std::string block{};   // rows not yet in a block
    std::string stream{};  // the zlib stream not yet in a chunk
    std::uint32_t adler = 1;

    void put_stream(std::string_view bytes) {
        stream += bytes;
        std::size_t at = 0;
        for (; stream.size() - at >= IDAT_SIZE; at += IDAT_SIZE) {
            put_chunk(png, "IDAT", reinterpret_cast<const unsigned char*>(stream.data() + at),
                      IDAT_SIZE);
        }
        stream.erase(0, at);
    }
    void put_block(bool final) {
        const auto size = static_cast<std::uint16_t>(block.size());
        const auto complement = static_cast<std::uint16_t>(~size);
        const char head[5] = {static_cast<char>(final ? 1 : 0), static_cast<char>(size & 0xFF),
                              static_cast<char>(size >> 8), static_cast<char>(complement & 0xFF),
                              static_cast<char>(complement >> 8)};
        put_stream(std::string_view(head, sizeof head));
        put_stream(block);
        block.clear();
    }
    void put(std::string_view rows) {
        adler = adler32_update(adler, rows);
        while (!rows.empty()) {
            if (block.size() == STORED_BLOCK_SIZE) {
                put_block(false);
            }
            const std::string_view part = rows.substr(0, STORED_BLOCK_SIZE - block.size());
            block += part;
            rows.remove_prefix(part.size());
        }
    }
    void finish() {
        put_block(true);
        std::string end;
        put_u32_be(end, adler);
        put_stream(end);
        if (!stream.empty()) {
            put_chunk(png, "IDAT", reinterpret_cast<const unsigned char*>(stream.data()),
                      stream.size());
        }
    }
};

void put_rows_stored(const decoded_image& image, std::string& png) {
    stored_rows out{png};
    out.put_stream(std::string_view("\x78\x01", 2));
    const std::size_t row_size = image_row_size(image);
    const auto* pixels = reinterpret_cast<const char*>(image.pixels.data());
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const char filter = static_cast<char>(FILTER_NONE);
        out.put(std::string_view(&filter, 1));
        out.put(std::string_view(pixels + row_size * y, row_size));
    }
    out.finish();
}

#ifdef CRDVIEW_ZLIB

// Deflates `size` bytes at `data` (with `flush`), each full buffer an IDAT
// chunk. Returns false when zlib fails.
bool deflate_to_idat(z_stream& z, const unsigned char* data, std::size_t size, int flush,
                     std::array<unsigned char, IDAT_SIZE>& buffer, std::string& png) {
    z.next_in = data;
    z.avail_in = static_cast<uInt>(size);
    for (;;) {
        const int status = deflate(&z, flush);
        if (status == Z_STREAM_ERROR) {
            return false;
        }
        const bool full = z.avail_out == 0;
        const bool done = flush == Z_FINISH ? status == Z_STREAM_END : z.avail_in == 0 && !full;
        if (full || (flush == Z_FINISH && done && z.avail_out != buffer.size())) {
            put_chunk(png, "IDAT", buffer.data(), buffer.size() - z.avail_out);
            z.next_out = buffer.data();
            z.avail_out = static_cast<uInt>(buffer.size());
        }
        if (done) {
            return true;
        }
    }
}

bool put_rows(const decoded_image& image, std::string& png) {
    z_stream z{};
    if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) {
        return false;
    }
    std::array<unsigned char, IDAT_SIZE> buffer;
    z.next_out = buffer.data();
    z.avail_out = static_cast<uInt>(buffer.size());
    const std::size_t row_size = image_row_size(image);
    bool ok = true;
    for (std::uint32_t y = 0; ok && y < image.height; ++y) {
        ok = deflate_to_idat(z, &FILTER_NONE, 1, Z_NO_FLUSH, buffer, png) &&
             deflate_to_idat(z, image.pixels.data() + row_size * y, row_size, Z_NO_FLUSH, buffer,
                             png);
    }
    ok = ok && deflate_to_idat(z, nullptr, 0, Z_FINISH, buffer, png);
    deflateEnd(&z);
    return ok;
}
#endif

}  // namespace

std::string encode_png(const decoded_image& image, png_rows rows) {
    if (!image_is_consistent(image)) {
        return {};
    }
    std::string png(PNG_SIGNATURE);
    std::string header;
    put_u32_be(header, image.width);
    put_u32_be(header, image.height);
    const unsigned colour_type = image.format == pixel_format::grey      ? COLOUR_GREY
                                 : image.format == pixel_format::indexed ? COLOUR_PALETTE
                                 : image.format == pixel_format::rgb     ? COLOUR_RGB
                                                                         : COLOUR_RGBA;
    // Depth, colour type, then compression, filter and interlace methods 0.
    header += static_cast<char>(image.bit_depth);
    header += static_cast<char>(colour_type);
    header.append(3, '\0');
    put_chunk(png, "IHDR", reinterpret_cast<const unsigned char*>(header.data()), header.size());
    if (image.format == pixel_format::indexed) {
        std::string palette;
        for (const colour& c : image.palette) {
            palette += static_cast<char>(c.red);
            palette += static_cast<char>(c.green);
            palette += static_cast<char>(c.blue);
        }
        put_chunk(png, "PLTE", reinterpret_cast<const unsigned char*>(palette.data()),
                  palette.size());
    }
    // Room for rows that do not compress (deflate adds a little to them), so
    // that a large picture's file is never copied into a buffer twice its size.
    const std::size_t raw = image.pixels.size() + image.height;
    png.reserve(png.size() + raw + raw / 1000 + (raw / STORED_BLOCK_SIZE + 1) * 5 +
                (raw / IDAT_SIZE + 2) * 12 + 64);
#ifdef CRDVIEW_ZLIB
    if (rows == png_rows::deflated) {
        if (!put_rows(image, png)) {
            return {};
        }
    } else {
        put_rows_stored(image, png);
    }
#else
    (void)rows;
    put_rows_stored(image, png);
#endif
    put_chunk(png, "IEND", nullptr, 0);
    return png;
}
