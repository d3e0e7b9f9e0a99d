// BMP files as the extractor writes them: the 14-byte file header put in
// front of a stored DIB, and an "MGC" picture made a 1-bit BMP file.
// Numbers are little-endian (cardfile/fixed.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// "BM", the file's size (u32), 0 (u32), where the pixel rows start (u32).
constexpr std::size_t BMP_FILE_HEADER_SIZE = 14;
constexpr std::size_t BMP_ROWS_OFFSET = 10;  // within the file header

// The file header of a BMP file of `file_size` bytes whose rows begin at `rows_at`.
[[nodiscard]] std::array<unsigned char, BMP_FILE_HEADER_SIZE> bmp_file_header(
    std::uint32_t file_size, std::uint32_t rows_at);

// The size of a stored DIB's info header and colour table, from its first
// `size` bytes; 0 when they are not those of a DIB.
[[nodiscard]] std::uint32_t dib_rows_offset(const unsigned char* dib, std::size_t size);

// A bitmap of 1 bit a pixel (black 0, white 1) or 24 (blue, green, red):
// `height` rows of `row_size` bytes at `rows`, from the top down, as a BMP
// file of that depth. Its rows are bottom row first, each cut or padded with
// zeros to a multiple of 4 bytes; a 1-bit file has black then white in its
// colour table, so that its bits keep their meaning.
[[nodiscard]] std::string bitmap_bmp(std::uint32_t width, std::uint32_t height, unsigned bits,
                                     std::uint32_t row_size, const unsigned char* rows);

// An "MGC" picture (`height` rows of `row_size` bytes at `bits`, from the top
// down) as a 1-bit BMP file.
[[nodiscard]] inline std::string mgc_picture_bmp(std::uint32_t width, std::uint32_t height,
                                                 std::uint32_t row_size,
                                                 const unsigned char* bits) {
    return bitmap_bmp(width, height, 1, row_size, bits);
}
