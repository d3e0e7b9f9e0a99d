// Pictures decoded from bytes built by hand: DIBs of each depth and layout, a
// BMP file, "MGC" bitmaps; headers that lie, cut short at every byte, fail
// without a read outside their bytes. The PNG files themselves are decoded by
// Python in tests/png/check_png.py.
#include "image/png.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "image/base64.h"
#include "image/picture.h"

namespace {

std::string le16(std::uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)};
}
std::string le32(std::uint32_t v) {
    return le16(v & 0xFFFF) + le16(v >> 16);
}

// A BITMAPINFOHEADER of `size` bytes (zeros after the first 40).
std::string info(std::int32_t width, std::int32_t height, unsigned bits,
                 std::uint32_t compression = 0, std::uint32_t used = 0, std::uint32_t size = 40) {
    std::string h = le32(size) + le32(static_cast<std::uint32_t>(width)) +
                    le32(static_cast<std::uint32_t>(height)) + le16(1) + le16(bits) +
                    le32(compression) + le32(0) + le32(2835) + le32(2835) + le32(used) + le32(0);
    h.resize(size, '\0');
    return h;
}
std::string bgr0(unsigned r, unsigned g, unsigned b) {
    return {char(b), char(g), char(r), '\0'};
}

// Decodes through an exactly sized heap block, so that the sanitizers see a
// read past its end.
std::optional<decoded_image> decode(const std::string& bytes, bool bmp = false) {
    const std::vector<char> block(bytes.begin(), bytes.end());
    const std::string_view view(block.data(), block.size());
    return bmp ? decode_bmp_file(view) : decode_dib(view);
}

const colour K{0, 0, 0, 255}, W{255, 255, 255, 255}, R{255, 0, 0, 255}, G{0, 255, 0, 255},
    B{0, 0, 255, 255};

struct decode_case {
    const char* name;
    pixel_format format;
    unsigned depth;
    std::vector<colour> pixels;  // top row first, 2 a row
    std::string dib;
};

TEST(Picture, DecodesDibs) {
    std::string v4 = info(2, -1, 32, 3, 0, 108);
    v4.replace(40, 16, le32(0xFF) + le32(0xFF00) + le32(0xFF0000) + le32(0xFF000000));
    const decode_case cases[] = {
        // Top-down; index 5 lies beyond the 2 colours.
        {"4-bit",
         pixel_format::indexed,
         4,
         {B, R, R, K},
         info(2, -2, 4, 0, 2) + bgr0(255, 0, 0) + bgr0(0, 0, 255) + le32(0x10) + le32(0x05)},
        // Bottom-up; the bits after the second pixel are padding.
        {"1-bit",
         pixel_format::indexed,
         1,
         {K, {9, 9, 9, 255}, {9, 9, 9, 255}, K},
         info(2, 2, 1) + bgr0(0, 0, 0) + bgr0(9, 9, 9) + le32(0x80) + le32(0x7F)},
        {"24-bit",
         pixel_format::rgb,
         8,
         {R, B},
         info(2, 1, 24) + std::string("\0\0\xFF\xFF\0\0\0\0", 8)},
        {"16-bit 5-5-5",
         pixel_format::rgb,
         8,
         {R, {0, 255, 255, 255}},
         info(2, 1, 16) + le16(0x7C00) + le16(0x03FF)},
        {"16-bit 5-6-5",
         pixel_format::rgb,
         8,
         {G, {132, 130, 132, 255}},
         info(2, 1, 16, 3) + le32(0xF800) + le32(0x07E0) + le32(0x1F) + le32(0x841007E0)},
        {"32-bit, fourth byte 0",
         pixel_format::rgb,
         8,
         {{1, 2, 3, 255}, {4, 5, 6, 255}},
         info(2, 1, 32) + bgr0(1, 2, 3) + bgr0(4, 5, 6)},
        {"32-bit masks",
         pixel_format::rgba,
         8,
         {{0x11, 0x22, 0x33, 0x80}, {0, 0, 0, 255}},
         v4 + le32(0x80332211) + le32(0xFF000000)},
        {"core header",
         pixel_format::indexed,
         1,
         {{1, 255, 1, 255}, {1, 1, 255, 255}},
         le32(12) + le16(2) + le16(1) + le16(1) + le16(1) + "\1\xFF\1\xFF\1\1" + le32(0x40)},
    };
    for (const decode_case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto image = decode(c.dib);
        ASSERT_TRUE(image);
        EXPECT_TRUE(image_is_consistent(*image));
        EXPECT_EQ(image->format, c.format);
        EXPECT_EQ(image->bit_depth, c.depth);
        ASSERT_EQ(std::size_t{image->width} * image->height, c.pixels.size());
        for (std::uint32_t i = 0; i < c.pixels.size(); ++i) {
            EXPECT_EQ(image_pixel(*image, i % 2, i / 2), c.pixels[i]) << "pixel " << i;
        }
        // Cut short anywhere, it is no picture.
        for (std::size_t n = 0; n < c.dib.size(); ++n) {
            EXPECT_FALSE(decode(c.dib.substr(0, n))) << n << " bytes";
        }
    }
    // The padding bits of a row are cleared: rows as a PNG holds them.
    EXPECT_EQ(decode(cases[1].dib)->pixels, (std::vector<std::uint8_t>{0x40, 0x80}));
}

TEST(Picture, RefusesDibsThatDoNotParse) {
    const std::string rows(64, '\0');
    const std::pair<const char*, std::string> cases[] = {
        {"width 0", info(0, 1, 24) + rows},
        {"height 0", info(1, 0, 24) + rows},
        {"negative width", info(-1, 1, 24) + rows},
        {"lowest height", info(1, INT32_MIN, 24) + rows},
        {"absurd size", info(100000, 100000, 1) + rows},
        {"2 bits", info(1, 1, 2) + rows},
        {"run-length", info(1, 1, 8, 1) + rows},
        {"masks on 24 bits", info(1, 1, 24, 3) + rows},
        {"masks not contiguous", info(1, 1, 32, 3) + le32(0xF0F0) + le32(0) + le32(0) + rows},
        {"colours used absurd", info(1, 1, 8, 0, 0xFFFFFFFF) + rows},
        {"header of 20 bytes", le32(20) + rows},
        {"header past the end", le32(0xFFFFFFF0) + rows},
        {"rows past the end", info(16, 1, 24) + rows.substr(0, 47)},
    };
    for (const auto& [name, dib] : cases) {
        EXPECT_FALSE(decode(dib)) << name;
    }
}

TEST(Picture, BmpFileRowsWhereTheHeaderSays) {
    const std::string dib = info(1, 1, 24);
    const std::string gap = "BM" + le32(0) + le32(0) + le32(14 + 40 + 4) + dib + "gap!" +
                            std::string("\x00\xFF\x00\0", 4);
    EXPECT_EQ(image_pixel(*decode(gap, true), 0, 0), G);
    // An offset inside the headers: the rows follow them.
    const std::string inside = "BM" + le32(0) + le32(0) + le32(20) + dib + bgr0(255, 0, 0);
    EXPECT_EQ(image_pixel(*decode(inside, true), 0, 0), R);
    EXPECT_FALSE(decode("BN" + inside.substr(2), true));
    EXPECT_FALSE(decode("BM" + le32(0) + le32(0) + le32(99) + dib + bgr0(1, 2, 3), true));
}

TEST(Picture, MgcBitmap) {
    // 17 pixels: rows of 4 bytes; 0 is ink.
    const auto image = decode_mgc_picture(17, 2, std::string("\x7F\xFF\x80\xFF\xFF\xFF\x7F\0", 8));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->format, pixel_format::grey);
    EXPECT_EQ(image->pixels, (std::vector<std::uint8_t>{0x7F, 0xFF, 0x80, 0xFF, 0xFF, 0}));
    EXPECT_EQ(image_pixel(*image, 0, 0), K);
    EXPECT_EQ(image_pixel(*image, 16, 0), W);
    EXPECT_EQ(image_pixel(*image, 16, 1), K);
    EXPECT_FALSE(decode_mgc_picture(17, 2, std::string(7, '\0')));
    EXPECT_FALSE(decode_mgc_picture(17, 2, std::string(9, '\0')));
    EXPECT_FALSE(decode_mgc_picture(0, 2, ""));
    EXPECT_FALSE(decode_mgc_picture(17, 0, ""));
}

TEST(Png, RefusesInconsistentImages) {
    decoded_image image = *decode_mgc_picture(8, 1, std::string(2, '\0'));
    EXPECT_EQ(encode_png(image).substr(1, 3), "PNG");
    image.pixels.push_back(0);
    EXPECT_EQ(encode_png(image), "");
    image.pixels.pop_back();
    image.format = pixel_format::indexed;  // a palette of none
    EXPECT_EQ(encode_png(image), "");
    image.palette.resize(3);  // more than 1 bit can index
    EXPECT_EQ(encode_png(image), "");
}

TEST(Base64, Rfc4648Vectors) {
    const char* const expected[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    for (std::size_t n = 0; n <= 6; ++n) {
        EXPECT_EQ(base64_encode(std::string("foobar").substr(0, n)), expected[n]);
    }
    EXPECT_EQ(base64_encode(std::string("\xFB\xFF\x00", 3)), "+/8A");
}

}  // namespace
