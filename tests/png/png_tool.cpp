// Writes the PNG of a picture file, for check_png.py:
//   png_tool [--stored] dib IN OUT       IN is a DIB
//   png_tool [--stored] bmp IN OUT       IN is a BMP file
//   png_tool [--stored] mgc W H IN OUT   IN is an "MGC" bitmap of W by H pixels
// --stored: the rows in stored deflate blocks, as a build without zlib
// writes them. Exit status 1, and no OUT, when the picture does not decode.
#include <fstream>
#include <iterator>
#include <string>

#include "image/picture.h"
#include "image/png.h"

int main(int argc, char** argv) {
    const bool stored = argc > 1 && std::string(argv[1]) == "--stored";
    if (stored) {
        --argc;
        ++argv;
    }
    const std::string kind = argc > 1 ? argv[1] : "";
    const int in_arg = kind == "mgc" ? 4 : 2;
    if (argc != in_arg + 2) {
        return 2;
    }
    std::ifstream in(argv[in_arg], std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const auto image = kind == "dib" ? decode_dib(bytes)
                       : kind == "bmp"
                           ? decode_bmp_file(bytes)
                           : decode_mgc_picture(std::stoul(argv[2]), std::stoul(argv[3]), bytes);
    const std::string png =
        image ? encode_png(*image, stored ? png_rows::stored : png_rows::deflated) : "";
    if (png.empty()) {
        return 1;
    }
    std::ofstream out(argv[in_arg + 1], std::ios::binary);
    out << png;
    return out.flush() ? 0 : 2;
}
