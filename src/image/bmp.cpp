#include "bmp.h"

#include <algorithm>
#include <cstring>

#include "cardfile/fixed.h"

namespace {

// After the file header: a 40-byte info header (or the older 12-byte one),
// the colour table, the rows.
constexpr std::size_t BMP_INFO_HEADER_SIZE = 40;
constexpr std::size_t BMP_CORE_HEADER_SIZE = 12;
constexpr std::uint32_t BMP_BITFIELDS = 3;
constexpr std::int32_t PIXELS_PER_METRE = 2835;  // 72 dpi

}  // namespace

std::array<unsigned char, BMP_FILE_HEADER_SIZE> bmp_file_header(std::uint32_t file_size,
                                                                std::uint32_t rows_at) {
    std::array<unsigned char, BMP_FILE_HEADER_SIZE> header{'B', 'M'};
    encode_u32(header.data() + 2, file_size);
    encode_u32(header.data() + BMP_ROWS_OFFSET, rows_at);
    return header;
}

std::uint32_t dib_rows_offset(const unsigned char* dib, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const std::uint32_t header = decode_u32(dib);
    if (header == BMP_CORE_HEADER_SIZE && size >= BMP_CORE_HEADER_SIZE) {
        const unsigned bits = decode_u16(dib + 10);
        return header + (bits <= 8 ? 3u << bits : 0);
    }
    if (header < BMP_INFO_HEADER_SIZE || size < BMP_INFO_HEADER_SIZE) {
        return 0;
    }
    const unsigned bits = decode_u16(dib + 14);
    const std::uint32_t compression = decode_u32(dib + 16);
    const std::uint64_t used = decode_u32(dib + 32);
    std::uint64_t table = 4 * (used != 0 ? used : bits <= 8 ? 1u << bits : 0);
    if (compression == BMP_BITFIELDS && header == BMP_INFO_HEADER_SIZE) {
        table += 12;
    }
    const std::uint64_t offset = header + table;
    return offset <= size ? static_cast<std::uint32_t>(offset) : 0;
}

std::string bitmap_bmp(std::uint32_t width, std::uint32_t height, unsigned bits,
                       std::uint32_t row_size, const unsigned char* rows) {
    const std::uint32_t stride = (width * bits + 31u) / 32u * 4u;
    const std::uint32_t colours = bits == 1 ? 2 : 0;
    const std::uint32_t rows_at = BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER_SIZE + 4 * colours;
    const std::uint32_t rows_size = stride * height;
    std::string bmp(rows_at + rows_size, '\0');
    auto* p = reinterpret_cast<unsigned char*>(bmp.data());
    const auto file_header = bmp_file_header(rows_at + rows_size, rows_at);
    std::memcpy(p, file_header.data(), file_header.size());
    unsigned char* info = p + BMP_FILE_HEADER_SIZE;
    encode_u32(info, BMP_INFO_HEADER_SIZE);
    encode_u32(info + 4, width);
    encode_u32(info + 8, height);
    encode_u16(info + 12, 1);  // planes
    encode_u16(info + 14, bits);
    encode_u32(info + 20, rows_size);
    encode_u32(info + 24, PIXELS_PER_METRE);
    encode_u32(info + 28, PIXELS_PER_METRE);
    encode_u32(info + 32, colours);
    if (colours != 0) {
        unsigned char* white = info + BMP_INFO_HEADER_SIZE + 4;
        std::memset(white, 0xFF, 3);
    }
    const std::uint32_t copied = std::min(row_size, stride);
    for (std::uint32_t row = 0; row < height; ++row) {
        std::memcpy(p + rows_at + (height - 1 - row) * stride, rows + std::size_t{row} * row_size,
                    copied);
    }
    return bmp;
}
