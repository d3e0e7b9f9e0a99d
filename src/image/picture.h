// Pictures decoded into plain pixels, ready to be written out as PNG: an
// "MGC" card's monochrome bitmap, and a device-independent bitmap (DIB),
// alone as stored in an object or inside a BMP file.
//
// Decoding reads only the bytes it is given, never past them. A picture whose
// headers do not parse, whose stated sizes run past its bytes, or whose pixel
// count is beyond MAX_IMAGE_PIXELS is no picture (std::nullopt).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// How the rows of a decoded_image hold each pixel.
enum class pixel_format {
    grey,     // bit depth 1: 0 black, 1 white
    indexed,  // bit depth 1, 4 or 8: an index into the palette
    rgb,      // bit depth 8: red, green, blue
    rgba,     // bit depth 8: red, green, blue, alpha (0 transparent, 255 opaque)
};

struct colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 255;

    friend bool operator==(const colour& a, const colour& b) {
        return a.red == b.red && a.green == b.green && a.blue == b.blue && a.alpha == b.alpha;
    }
};

// A picture in memory, laid out as a PNG holds it: rows from the top down,
// each image_row_size() bytes with no padding beyond the last whole byte; in
// 1- and 4-bit rows the most significant bits are the leftmost pixel, and the
// bits after the last pixel of a row are 0.
struct decoded_image {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    pixel_format format = pixel_format::rgb;
    unsigned bit_depth = 8;
    std::vector<colour> palette{};  // indexed: at least 1 entry, covering every index used
    std::vector<std::uint8_t> pixels{};
};

// Pictures with more pixels than this are refused: 64 megapixels.
constexpr std::uint64_t MAX_IMAGE_PIXELS = std::uint64_t{64} << 20;

// The bytes of one row of `image`.
[[nodiscard]] std::size_t image_row_size(const decoded_image& image);

// Whether `image` holds what its fields say: a size from 1 by 1 to
// MAX_IMAGE_PIXELS, a bit depth its format has, a palette of 1 to 2^depth
// entries when indexed, and exactly height rows of pixels.
[[nodiscard]] bool image_is_consistent(const decoded_image& image);

// The colour of the pixel at column x, row y (0, 0 the top left), which must
// lie inside a consistent image.
[[nodiscard]] colour image_pixel(const decoded_image& image, std::uint32_t x, std::uint32_t y);

// An "MGC" card's picture: `bits` holds `height` rows from the top down, each
// ((width + 15) / 16) * 2 bytes, a 0 bit black ink and a 1 bit white paper.
// Decodes to 1-bit grey. Nothing unless width and height are not 0 and `bits`
// holds exactly the rows.
[[nodiscard]] std::optional<decoded_image> decode_mgc_picture(std::uint32_t width,
                                                              std::uint32_t height,
                                                              std::string_view bits);

// A device-independent bitmap: an info header (BITMAPINFOHEADER, 40 bytes or
// one of its longer successors, or the 12-byte BITMAPCOREHEADER), the colour
// table, then the pixel rows. 1, 4 and 8 bits a pixel decode to a palette of
// the same depth; 16, 24 and 32 bits to RGB, or RGBA when a 32- or 16-bit
// picture carries an alpha channel that is not all 0 or all 255. Compression
// 0 (none) and, for 16 and 32 bits, 3 and 6 (bit fields); rows bottom-up
// (positive height) or top-down (negative height).
[[nodiscard]] std::optional<decoded_image> decode_dib(std::string_view dib);

// Where a stored DIB, or a BMP file, keeps what its picture is drawn from,
// told by its headers: the colour table's entries that a pixel can use and
// the pixel rows, in bytes from its first byte. What lies between or after
// them is never needed.
struct dib_parts {
    std::uint64_t width = 0;  // in pixels
    std::uint64_t height = 0;
    std::uint64_t table_at = 0;
    std::uint64_t table_size = 0;
    std::uint64_t rows_at = 0;
    std::uint64_t rows_size = 0;
    bool held = false;  // the DIB's bytes hold the rows (its headers hold the colour table)
};

// The bytes of a DIB's headers that dib_parts_of needs (or all it has), behind
// a BMP file's 14-byte file header.
constexpr std::size_t DIB_HEAD_SIZE = 56;

// The parts of a DIB (a BMP file with `bmp_file`) of `size` bytes whose first
// bytes are `head`; nothing when its headers do not parse as decode_dib and
// decode_bmp_file read them or its colour table lies beyond `size`.
[[nodiscard]] std::optional<dib_parts> dib_parts_of(std::string_view head, std::uint64_t size,
                                                    bool bmp_file);

// The picture drawn from a DIB's parts: `head` its headers (from its first
// byte, without a BMP file's file header), `table` and `rows` the bytes of
// the parts dib_parts_of gave.
[[nodiscard]] std::optional<decoded_image> decode_dib_parts(std::string_view head,
                                                            std::string_view table,
                                                            std::string_view rows);

// A BMP file ("BM", its 14-byte file header, then a DIB), such as the native
// data of a Paintbrush object. Its pixel rows are where the file header says
// they are, or right after the colour table when that offset points inside
// the headers.
[[nodiscard]] std::optional<decoded_image> decode_bmp_file(std::string_view file);
