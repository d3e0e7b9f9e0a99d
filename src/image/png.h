// PNG files made from decoded pictures: the signature, IHDR, PLTE for a
// palette, the rows deflated by zlib (or kept in stored deflate blocks) in
// IDAT chunks, IEND. The rows are
// written at the depth the picture has (1-bit grey, a palette of 1, 2, 4 or
// 8 bits, 8-bit RGB or RGBA), unfiltered.
#pragma once

#include <string>

#include "picture.h"

// How a PNG file's rows are kept: deflated by zlib, or in stored deflate
// blocks, as they are (which every PNG reader reads). A crdview built
// without zlib (the web page) always stores them.
enum class png_rows { deflated, stored };

// The PNG file of `image`; empty when the image is not consistent
// (image_is_consistent) or zlib fails.
[[nodiscard]] std::string encode_png(const decoded_image& image,
                                     png_rows rows = png_rows::deflated);
