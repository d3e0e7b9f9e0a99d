#include "png.h"

#define ZLIB_CONST
#include <zlib.h>

#include <array>
#include <cstdint>
#include <string_view>

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
    const auto* crc_from = reinterpret_cast<const unsigned char*>(out.data() + type_at);
    put_u32_be(out, static_cast<std::uint32_t>(
                        crc32(0, crc_from, static_cast<uInt>(out.size() - type_at))));
}

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

}  // namespace

std::string encode_png(const decoded_image& image) {
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
    if (!put_rows(image, png)) {
        return {};
    }
    put_chunk(png, "IEND", nullptr, 0);
    return png;
}
