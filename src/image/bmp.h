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

// An "MGC" picture (`height` rows of `row_size` bytes at `bits`, from the top
// down) as a 1-bit BMP file: its rows bottom row first, each padded to a
// multiple of 4 bytes; black then white in the colour table, so that its bits
// keep their meaning.
[[nodiscard]] std::string mgc_picture_bmp(std::uint32_t width, std::uint32_t height,
                                          std::uint32_t row_size, const unsigned char* bits);
