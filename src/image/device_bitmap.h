// A "BITMAP" picture: a device-dependent bitmap, stored as a Bitmap16.
// Numbers are little-endian (cardfile/fixed.h).
//
//   offset 0  type (i16, 0)          2  width in pixels (i16)
//          4  height in pixels (i16)  6  width bytes W (i16): the bytes of a row
//          8  planes (u8)             9  bits per pixel (u8)
//         10  the rows, from the top down, W bytes each
//
// Some programs stored the bitmap as it lay in memory, with a 4-byte pointer
// between the bits per pixel and the rows, which then begin at offset 14. The
// picture's stated size S tells the two apart: 10 + W x height or 14 + W x
// height. There is no colour table: 1 bit a pixel on one plane is black (0)
// and white (1), the most significant bit the leftmost pixel; 24 bits a pixel
// are blue, green and red bytes. Any other depth or plane count, or an S
// that agrees with neither layout, gives colours that cannot be known.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "picture.h"

// The bytes of a device-dependent bitmap that say what it is (the longer of
// the two layouts' headers).
constexpr std::size_t DEVICE_BITMAP_HEAD_SIZE = 14;

// What the header of a device-dependent bitmap says, checked against its size.
struct device_bitmap {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    unsigned bits = 1;            // bits a pixel: 1 or 24
    std::uint32_t row_size = 0;   // W: the bytes a row holds in the file
    std::uint32_t rows_at = 0;    // 10 or 14
    std::uint32_t rows_size = 0;  // W x height
};

// The device-dependent bitmap of `size` bytes whose first bytes are `head`
// (DEVICE_BITMAP_HEAD_SIZE of them, or all of them when it is smaller):
// nothing when its colours cannot be known, its rows are too short for its
// width, or it has more than MAX_IMAGE_PIXELS pixels.
[[nodiscard]] std::optional<device_bitmap> read_device_bitmap(std::string_view head,
                                                              std::uint64_t size);

// The picture of a whole device-dependent bitmap `data`, read as `bitmap`
// says: 1-bit grey or RGB.
[[nodiscard]] decoded_image decode_device_bitmap(const device_bitmap& bitmap,
                                                 std::string_view data);

// A whole device-dependent bitmap `data`, read as `bitmap` says, as a BMP
// file of the same depth.
[[nodiscard]] std::string device_bitmap_bmp(const device_bitmap& bitmap, std::string_view data);
