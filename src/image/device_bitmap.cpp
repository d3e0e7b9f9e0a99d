#include "device_bitmap.h"

#include <algorithm>

#include "bmp.h"
#include "cardfile/fixed.h"

namespace {

// Where the fields of a Bitmap16 are (see the header), and its rows in
// either layout.
enum : std::size_t { WIDTH_AT = 2, HEIGHT_AT = 4, ROW_SIZE_AT = 6, PLANES_AT = 8, BITS_AT = 9 };
enum : std::uint32_t { ROWS_AT = 10, ROWS_AT_IN_MEMORY = 14 };

}  // namespace

std::optional<device_bitmap> read_device_bitmap(std::string_view head, std::uint64_t size) {
    if (head.size() < ROWS_AT) {
        return std::nullopt;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(head.data());
    const std::int16_t width = decode_i16(p + WIDTH_AT);
    const std::int16_t height = decode_i16(p + HEIGHT_AT);
    const std::int16_t row_size = decode_i16(p + ROW_SIZE_AT);
    const unsigned bits = p[BITS_AT];
    if (width <= 0 || height <= 0 || row_size <= 0 || p[PLANES_AT] != 1 ||
        (bits != 1 && bits != 24) ||
        std::uint64_t{static_cast<std::uint16_t>(width)} * static_cast<std::uint16_t>(height) >
            MAX_IMAGE_PIXELS) {
        return std::nullopt;
    }
    device_bitmap bitmap;
    bitmap.width = static_cast<std::uint32_t>(width);
    bitmap.height = static_cast<std::uint32_t>(height);
    bitmap.bits = bits;
    bitmap.row_size = static_cast<std::uint32_t>(row_size);
    bitmap.rows_size = bitmap.row_size * bitmap.height;
    // A row must hold every pixel of it.
    if (bitmap.row_size < (bitmap.width * bits + 7) / 8) {
        return std::nullopt;
    }
    if (size == ROWS_AT + std::uint64_t{bitmap.rows_size}) {
        bitmap.rows_at = ROWS_AT;
    } else if (size == ROWS_AT_IN_MEMORY + std::uint64_t{bitmap.rows_size}) {
        bitmap.rows_at = ROWS_AT_IN_MEMORY;
    } else {
        return std::nullopt;
    }
    return bitmap;
}

decoded_image decode_device_bitmap(const device_bitmap& bitmap, std::string_view data) {
    decoded_image image;
    image.width = bitmap.width;
    image.height = bitmap.height;
    image.format = bitmap.bits == 1 ? pixel_format::grey : pixel_format::rgb;
    image.bit_depth = bitmap.bits == 1 ? 1 : 8;
    const std::size_t row_size = image_row_size(image);
    image.pixels.resize(row_size * image.height);
    const auto* rows = reinterpret_cast<const unsigned char*>(data.data()) + bitmap.rows_at;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const unsigned char* in = rows + std::size_t{bitmap.row_size} * y;
        std::uint8_t* out = image.pixels.data() + row_size * y;
        if (bitmap.bits == 1) {
            std::copy(in, in + row_size, out);
            // The bits after the last pixel are 0.
            if (const unsigned spare = (8 - bitmap.width % 8) % 8; spare != 0) {
                out[row_size - 1] &= static_cast<std::uint8_t>(0xFF << spare);
            }
            continue;
        }
        for (std::uint32_t x = 0; x < image.width; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
    return image;
}

std::string device_bitmap_bmp(const device_bitmap& bitmap, std::string_view data) {
    return bitmap_bmp(bitmap.width, bitmap.height, bitmap.bits, bitmap.row_size,
                      reinterpret_cast<const unsigned char*>(data.data()) + bitmap.rows_at);
}
