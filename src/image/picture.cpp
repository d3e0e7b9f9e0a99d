#include "picture.h"

#include <algorithm>
#include <cstring>

#include "bmp.h"
#include "cardfile/fixed.h"

namespace {

// BITMAPCOREHEADER, 12 bytes: its size (u32), width (u16), height (u16),
// planes (u16), bits per pixel (u16). Colour table entries of 3 bytes.
constexpr std::uint32_t CORE_HEADER_SIZE = 12;
constexpr std::size_t CORE_WIDTH = 4;
constexpr std::size_t CORE_HEIGHT = 6;
constexpr std::size_t CORE_BITS = 10;

// BITMAPINFOHEADER, 40 bytes: its size (u32), width (i32), height (i32),
// planes (u16), bits per pixel (u16), compression (u32), size of the rows
// (u32), resolution (2 x i32), colours used (u32), colours important (u32).
// Its successors append the red, green, blue and alpha masks (u32 each) and
// more. Colour table entries of 4 bytes: blue, green, red, 0.
constexpr std::uint32_t INFO_HEADER_SIZE = 40;
constexpr std::size_t INFO_WIDTH = 4;
constexpr std::size_t INFO_HEIGHT = 8;
constexpr std::size_t INFO_BITS = 14;
constexpr std::size_t INFO_COMPRESSION = 16;
constexpr std::size_t INFO_COLOURS_USED = 32;
constexpr std::size_t INFO_MASKS = 40;
constexpr std::uint32_t INFO_HEADER_WITH_RGB_MASKS = 52;
constexpr std::uint32_t INFO_HEADER_WITH_ALPHA_MASK = 56;

constexpr std::uint32_t COMPRESSION_NONE = 0;
constexpr std::uint32_t COMPRESSION_BITFIELDS = 3;       // red, green, blue masks
constexpr std::uint32_t COMPRESSION_ALPHABITFIELDS = 6;  // and an alpha mask

const unsigned char* bytes_of(std::string_view s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

// What the info header of a DIB says, checked against the DIB's size.
struct dib_header {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    bool top_down = false;
    unsigned bits = 0;
    std::uint64_t table_at = 0;       // the colour table's offset
    std::uint64_t table_entries = 0;  // its entries in all
    unsigned entry_size = 4;
    std::uint32_t masks[4] = {};  // red, green, blue, alpha: 16 and 32 bits a pixel
    std::uint64_t rows_at = 0;    // right after the colour table
};

// The colour masks of a 16- or 32-bit DIB whose info header of `size` bytes
// at `p` says `compression`: stored at `masks_at` (not 0), or the defaults.
void read_masks(const unsigned char* p, std::uint32_t size, std::uint32_t compression,
                std::uint64_t masks_at, dib_header& h) {
    if (masks_at != 0) {
        const bool alpha = size == INFO_HEADER_SIZE ? compression == COMPRESSION_ALPHABITFIELDS
                                                    : size >= INFO_HEADER_WITH_ALPHA_MASK;
        for (std::size_t i = 0; i < (alpha ? 4u : 3u); ++i) {
            h.masks[i] = decode_u32(p + masks_at + 4 * i);
        }
    } else if (h.bits == 16) {  // 5 bits each of red, green and blue
        h.masks[0] = 0x7C00;
        h.masks[1] = 0x03E0;
        h.masks[2] = 0x001F;
    } else if (h.bits == 32) {  // blue, green, red and a fourth byte, perhaps alpha
        h.masks[0] = 0x00FF0000;
        h.masks[1] = 0x0000FF00;
        h.masks[2] = 0x000000FF;
        h.masks[3] = 0xFF000000;
    }
}

// The info header at the start of `head`, the first bytes of a DIB of
// `dib_size` bytes in all (at least DIB_HEAD_SIZE of them when it has that
// many): its fields, and where its colour table and rows lie.
std::optional<dib_header> read_dib_header(std::string_view head, std::uint64_t dib_size) {
    const unsigned char* p = bytes_of(head);
    if (head.size() < 4 || dib_size < head.size()) {
        return std::nullopt;
    }
    dib_header h;
    const std::uint32_t size = decode_u32(p);
    std::uint32_t compression = COMPRESSION_NONE;
    std::uint64_t masks_at = 0;  // where the masks are, when they are not the defaults
    if (size == CORE_HEADER_SIZE && head.size() >= CORE_HEADER_SIZE) {
        h.width = decode_u16(p + CORE_WIDTH);
        h.height = decode_u16(p + CORE_HEIGHT);
        h.bits = decode_u16(p + CORE_BITS);
        h.entry_size = 3;
        h.table_entries = h.bits <= 8 ? std::uint64_t{1} << h.bits : 0;
        if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 24) {
            return std::nullopt;
        }
    } else if (size >= INFO_HEADER_SIZE && size <= dib_size && head.size() >= INFO_HEADER_SIZE) {
        const std::int32_t width = decode_i32(p + INFO_WIDTH);
        const std::int32_t height = decode_i32(p + INFO_HEIGHT);
        h.width = width > 0 ? static_cast<std::uint64_t>(width) : 0;
        h.top_down = height < 0;
        h.height = h.top_down ? std::uint64_t{0} - static_cast<std::uint64_t>(std::int64_t{height})
                              : static_cast<std::uint64_t>(height);
        h.bits = decode_u16(p + INFO_BITS);
        compression = decode_u32(p + INFO_COMPRESSION);
        const std::uint32_t used = decode_u32(p + INFO_COLOURS_USED);
        h.table_entries = used != 0 ? used : h.bits <= 8 ? std::uint64_t{1} << h.bits : 0;
        const bool bitfields =
            compression == COMPRESSION_BITFIELDS || compression == COMPRESSION_ALPHABITFIELDS;
        if (bitfields && (h.bits == 16 || h.bits == 32)) {
            if (size == INFO_HEADER_SIZE) {
                masks_at = INFO_MASKS;  // right after the header, before the colour table
                h.table_at = compression == COMPRESSION_ALPHABITFIELDS ? 16 : 12;
            } else if (size >= INFO_HEADER_WITH_RGB_MASKS) {
                masks_at = INFO_MASKS;
            } else {
                return std::nullopt;
            }
        } else if (compression != COMPRESSION_NONE ||
                   (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 &&
                    h.bits != 32)) {
            return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    if (h.width == 0 || h.height == 0 || h.width * h.height > MAX_IMAGE_PIXELS) {
        return std::nullopt;
    }
    h.table_at += size;
    h.rows_at = h.table_at + h.table_entries * h.entry_size;
    const bool alpha = size == INFO_HEADER_SIZE ? compression == COMPRESSION_ALPHABITFIELDS
                                                : size >= INFO_HEADER_WITH_ALPHA_MASK;
    const std::uint64_t masks_end = masks_at + (alpha ? 16 : 12);
    if (h.rows_at > dib_size || (masks_at != 0 && masks_end > head.size())) {
        return std::nullopt;
    }
    read_masks(p, size, compression, masks_at, h);
    return h;
}

// A colour channel of a pixel given by a mask of contiguous bits.
struct channel {
    std::uint32_t mask = 0;
    unsigned shift = 0;
    unsigned width = 0;
};

std::optional<channel> channel_of(std::uint32_t mask) {
    channel c{mask, 0, 0};
    if (mask == 0) {
        return c;
    }
    while ((mask >> c.shift & 1) == 0) {
        ++c.shift;
    }
    const std::uint64_t bits = mask >> c.shift;
    if ((bits & (bits + 1)) != 0) {
        return std::nullopt;  // not contiguous
    }
    while (bits >> c.width != 0) {
        ++c.width;
    }
    return c;
}

// The channel's value in `pixel`, scaled to 0..255.
std::uint8_t channel_value(const channel& c, std::uint32_t pixel) {
    const std::uint32_t value = (pixel & c.mask) >> c.shift;
    if (c.width == 0) {
        return 0;
    }
    if (c.width >= 8) {
        return static_cast<std::uint8_t>(value >> (c.width - 8));
    }
    const std::uint32_t top = (std::uint32_t{1} << c.width) - 1;
    return static_cast<std::uint8_t>((value * 255 + top / 2) / top);
}

// Clears the bits after the last pixel of a packed row.
void clear_row_tail(std::uint8_t* row, std::size_t row_size, std::uint64_t bits_used) {
    if (const unsigned spare = (8 - bits_used % 8) % 8; spare != 0) {
        row[row_size - 1] &= static_cast<std::uint8_t>(0xFF << spare);
    }
}

// The colour table's entries that a picture of up to 8 bits a pixel can use.
std::uint64_t used_entries(const dib_header& h) {
    return std::min(h.table_entries, std::uint64_t{1} << h.bits);
}

void decode_indexed(const unsigned char* table, const unsigned char* rows, const dib_header& h,
                    std::uint64_t stride, decoded_image& image) {
    image.format = pixel_format::indexed;
    image.bit_depth = h.bits;
    const std::size_t row_size = image_row_size(image);
    image.pixels.resize(row_size * image.height);
    unsigned top_index = 0;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint64_t source_row = h.top_down ? y : image.height - 1 - y;
        std::uint8_t* row = image.pixels.data() + row_size * y;
        std::memcpy(row, rows + stride * source_row, row_size);
        clear_row_tail(row, row_size, std::uint64_t{image.width} * h.bits);
        for (std::size_t i = 0; i < row_size; ++i) {
            const unsigned b = row[i];
            top_index = std::max(top_index, h.bits == 8   ? b
                                            : h.bits == 4 ? std::max(b >> 4, b & 15)
                                                          : unsigned{b != 0});
        }
    }
    for (std::uint64_t i = 0; i < used_entries(h); ++i) {
        const unsigned char* e = table + h.entry_size * i;
        image.palette.push_back(colour{e[2], e[1], e[0], 255});
    }
    // Indices beyond the colour table show black.
    if (image.palette.size() <= top_index) {
        image.palette.resize(top_index + 1, colour{0, 0, 0, 255});
    }
}

void decode_rgb24(const unsigned char* rows, const dib_header& h, std::uint64_t stride,
                  decoded_image& image) {
    image.format = pixel_format::rgb;
    const std::size_t row_size = image_row_size(image);
    image.pixels.resize(row_size * image.height);
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint64_t source_row = h.top_down ? y : image.height - 1 - y;
        const unsigned char* in = rows + stride * source_row;
        std::uint8_t* out = image.pixels.data() + row_size * y;
        for (std::uint32_t x = 0; x < image.width; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
}

// 16 or 32 bits a pixel, by masks. RGBA when the alpha mask gives an alpha
// channel that is used: one that is 0 throughout (a fourth byte left as 0) or
// 255 throughout is left out.
bool decode_masked(const unsigned char* rows, const dib_header& h, std::uint64_t stride,
                   decoded_image& image) {
    channel channels[4];
    for (std::size_t i = 0; i < 4; ++i) {
        const auto c = channel_of(h.masks[i]);
        if (!c) {
            return false;
        }
        channels[i] = *c;
    }
    image.format = pixel_format::rgba;
    const std::size_t row_size = image_row_size(image);
    image.pixels.resize(row_size * image.height);
    bool alpha_not_0 = false;
    bool alpha_not_255 = false;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint64_t source_row = h.top_down ? y : image.height - 1 - y;
        const unsigned char* in = rows + stride * source_row;
        std::uint8_t* out = image.pixels.data() + row_size * y;
        for (std::uint32_t x = 0; x < image.width; ++x, out += 4) {
            const std::uint32_t pixel =
                h.bits == 16 ? decode_u16(in + 2 * x) : decode_u32(in + 4 * x);
            for (std::size_t i = 0; i < 3; ++i) {
                out[i] = channel_value(channels[i], pixel);
            }
            out[3] = channel_value(channels[3], pixel);
            alpha_not_0 |= out[3] != 0;
            alpha_not_255 |= out[3] != 255;
        }
    }
    if (channels[3].width != 0 && alpha_not_0 && alpha_not_255) {
        return true;
    }
    // No alpha to keep: RGB, in place.
    const std::size_t pixels = std::size_t{image.width} * image.height;
    for (std::size_t i = 0; i < pixels; ++i) {
        std::memmove(image.pixels.data() + 3 * i, image.pixels.data() + 4 * i, 3);
    }
    image.format = pixel_format::rgb;
    image.pixels.resize(pixels * 3);
    return true;
}

std::uint64_t row_stride(const dib_header& h) {
    return (h.width * h.bits + 31) / 32 * 4;
}

// The parts of the DIB whose header `h` is, `header_at` bytes into what
// holds it, with its rows `rows_at` bytes after the header.
dib_parts parts_of(const dib_header& h, std::uint64_t header_at, std::uint64_t rows_at) {
    dib_parts parts;
    parts.width = h.width;
    parts.height = h.height;
    parts.table_at = header_at + h.table_at;
    parts.table_size = h.bits <= 8 ? used_entries(h) * h.entry_size : 0;
    parts.rows_at = header_at + rows_at;
    parts.rows_size = row_stride(h) * h.height;
    return parts;
}

std::optional<decoded_image> decode_rows(const dib_header& h, const unsigned char* table,
                                         const unsigned char* rows) {
    decoded_image image;
    image.width = static_cast<std::uint32_t>(h.width);
    image.height = static_cast<std::uint32_t>(h.height);
    if (h.bits <= 8) {
        decode_indexed(table, rows, h, row_stride(h), image);
    } else if (h.bits == 24) {
        decode_rgb24(rows, h, row_stride(h), image);
    } else if (!decode_masked(rows, h, row_stride(h), image)) {
        return std::nullopt;
    }
    return image;
}

// The picture of a DIB, or of a BMP file, held whole in `bytes`.
std::optional<decoded_image> decode_whole(std::string_view bytes, bool bmp_file) {
    const auto parts = dib_parts_of(bytes, bytes.size(), bmp_file);
    if (!parts || !parts->held) {
        return std::nullopt;
    }
    return decode_dib_parts(bytes.substr(bmp_file ? BMP_FILE_HEADER_SIZE : 0),
                            bytes.substr(parts->table_at, parts->table_size),
                            bytes.substr(parts->rows_at, parts->rows_size));
}

}  // namespace

std::size_t image_row_size(const decoded_image& image) {
    const unsigned bits_per_pixel = image.format == pixel_format::rgb    ? 24
                                    : image.format == pixel_format::rgba ? 32
                                                                         : image.bit_depth;
    return static_cast<std::size_t>((std::uint64_t{image.width} * bits_per_pixel + 7) / 8);
}

bool image_is_consistent(const decoded_image& image) {
    if (image.width == 0 || image.height == 0 ||
        std::uint64_t{image.width} * image.height > MAX_IMAGE_PIXELS) {
        return false;
    }
    const unsigned d = image.bit_depth;
    switch (image.format) {
    case pixel_format::grey:
        if (d != 1 && d != 2 && d != 4 && d != 8) {
            return false;
        }
        break;
    case pixel_format::indexed:
        if ((d != 1 && d != 2 && d != 4 && d != 8) || image.palette.empty() ||
            image.palette.size() > (std::size_t{1} << d)) {
            return false;
        }
        break;
    case pixel_format::rgb:
    case pixel_format::rgba:
        if (d != 8) {
            return false;
        }
        break;
    }
    return image.pixels.size() == image_row_size(image) * image.height;
}

colour image_pixel(const decoded_image& image, std::uint32_t x, std::uint32_t y) {
    const std::uint8_t* row = image.pixels.data() + image_row_size(image) * y;
    if (image.format == pixel_format::rgb || image.format == pixel_format::rgba) {
        const std::uint8_t* p = row + std::size_t{x} * (image.format == pixel_format::rgb ? 3 : 4);
        return {p[0], p[1], p[2], image.format == pixel_format::rgba ? p[3] : std::uint8_t{255}};
    }
    const unsigned d = image.bit_depth;
    const std::size_t bit = std::size_t{x} * d;
    const unsigned top = (1u << d) - 1;
    const unsigned value = (row[bit / 8] >> (8 - d - bit % 8)) & top;
    if (image.format == pixel_format::indexed) {
        return value < image.palette.size() ? image.palette[value] : colour{};
    }
    const auto grey = static_cast<std::uint8_t>(value * 255 / top);
    return {grey, grey, grey, 255};
}

std::optional<decoded_image> decode_mgc_picture(std::uint32_t width, std::uint32_t height,
                                                std::string_view bits) {
    const std::uint64_t stride = (std::uint64_t{width} + 15) / 16 * 2;
    if (width == 0 || height == 0 || std::uint64_t{width} * height > MAX_IMAGE_PIXELS ||
        stride * height != bits.size()) {
        return std::nullopt;
    }
    decoded_image image;
    image.width = width;
    image.height = height;
    image.format = pixel_format::grey;
    image.bit_depth = 1;
    const std::size_t row_size = image_row_size(image);
    image.pixels.resize(row_size * height);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* row = image.pixels.data() + row_size * y;
        std::memcpy(row, bits.data() + stride * y, row_size);
        clear_row_tail(row, row_size, width);
    }
    return image;
}

std::optional<dib_parts> dib_parts_of(std::string_view head, std::uint64_t size, bool bmp_file) {
    std::uint64_t header_at = 0;
    if (bmp_file) {
        if (head.size() < BMP_FILE_HEADER_SIZE || head[0] != 'B' || head[1] != 'M') {
            return std::nullopt;
        }
        header_at = BMP_FILE_HEADER_SIZE;
    }
    const auto header = read_dib_header(head.substr(header_at), size - header_at);
    if (!header) {
        return std::nullopt;
    }
    std::uint64_t rows_at = header->rows_at;
    if (bmp_file) {
        // Where the file header says, unless that is inside the headers.
        const std::uint64_t stated = decode_u32(bytes_of(head) + BMP_ROWS_OFFSET);
        if (stated >= BMP_FILE_HEADER_SIZE + header->rows_at) {
            rows_at = stated - BMP_FILE_HEADER_SIZE;
        }
    }
    dib_parts parts = parts_of(*header, header_at, rows_at);
    parts.held = parts.rows_at <= size && parts.rows_size <= size - parts.rows_at;
    return parts;
}

std::optional<decoded_image> decode_dib_parts(std::string_view head, std::string_view table,
                                              std::string_view rows) {
    const auto header = read_dib_header(head, UINT64_MAX);
    if (!header ||
        (header->bits <= 8 && table.size() < used_entries(*header) * header->entry_size) ||
        rows.size() < row_stride(*header) * header->height) {
        return std::nullopt;
    }
    return decode_rows(*header, bytes_of(table), bytes_of(rows));
}

std::optional<decoded_image> decode_dib(std::string_view dib) {
    return decode_whole(dib, false);
}

std::optional<decoded_image> decode_bmp_file(std::string_view file) {
    return decode_whole(file, true);
}
