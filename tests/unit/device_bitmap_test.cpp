// Device-dependent bitmaps ("BITMAP" pictures) read from headers built by
// hand: which ones have colours that can be known, and where their rows are.
// Their pixels are read back by Chromium (tests/html) and from the BMP files
// written out (tests/extract).
#include "image/device_bitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

std::string le16(std::uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)};
}

// The header of a Bitmap16: type 0, width, height, W, planes, bits a pixel.
std::string bitmap16(int width, int height, int row_size, int planes, int bits) {
    return le16(0) + le16(static_cast<std::uint32_t>(width)) +
           le16(static_cast<std::uint32_t>(height)) + le16(static_cast<std::uint32_t>(row_size)) +
           static_cast<char>(planes) + static_cast<char>(bits);
}

TEST(DeviceBitmap, WhichHeadersGiveAPicture) {
    struct row {
        const char* what;
        std::string head;
        std::uint64_t size;
        std::uint32_t rows_at;  // 0: no picture
    };
    const row rows[] = {
        {"1 bit, as filed", bitmap16(12, 3, 2, 1, 1), 10 + 6, 10},
        {"1 bit, in memory", bitmap16(12, 3, 2, 1, 1) + "ptr!", 14 + 6, 14},
        {"24 bits, rows padded", bitmap16(3, 2, 10, 1, 24), 10 + 20, 10},
        {"rows wider than the pixels", bitmap16(16, 2, 4, 1, 1), 10 + 8, 10},
        {"S agrees with neither", bitmap16(12, 3, 2, 1, 1), 10 + 7, 0},
        {"S one row short", bitmap16(12, 3, 2, 1, 1), 14 + 4, 0},
        {"4 bits", bitmap16(4, 1, 2, 1, 4), 12, 0},
        {"8 bits", bitmap16(2, 1, 2, 1, 8), 12, 0},
        {"two planes", bitmap16(8, 1, 2, 2, 1), 12, 0},
        {"rows too short for the width", bitmap16(24, 1, 2, 1, 1), 12, 0},
        {"24 bits, rows too short", bitmap16(3, 1, 8, 1, 24), 18, 0},
        {"width 0", bitmap16(0, 1, 2, 1, 1), 12, 0},
        {"negative height", bitmap16(8, -1, 2, 1, 1), 8, 0},
        {"negative W", bitmap16(8, 1, -2, 1, 1), 8, 0},
        {"more pixels than a picture may have", bitmap16(32767, 32767, 4096, 1, 1),
         10 + 4096ull * 32767, 0},
        {"header cut short", bitmap16(8, 1, 2, 1, 1).substr(0, 9), 12, 0},
    };
    for (const row& r : rows) {
        const auto bitmap = read_device_bitmap(r.head, r.size);
        EXPECT_EQ(bitmap ? bitmap->rows_at : 0, r.rows_at) << r.what;
    }
}

}  // namespace
