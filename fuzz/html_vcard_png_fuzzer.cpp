// Fuzz target: HTML, vCard and PNG. Writes any sequence of bytes read as a
// card file as an HTML page and as vCards (texts as stored, or from
// Windows-932 when the input's size is odd; vCard 3.0 or 4.0 by the next bit
// of its size), which draws every picture
// in it as a PNG file: a trap when the page is not closed or a vCard line
// breaks the folding rules. The same bytes are also decoded as a DIB and as
// a BMP file straight away, and every picture they give is made a PNG file
// both ways (deflated and stored), which must be whole.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "decode/decode.h"
#include "fuzz_input.h"
#include "image/picture.h"
#include "image/png.h"
#include "writers/html.h"
#include "writers/vcard.h"

// The target's own checks are not what is explored: no coverage is traced in them.
#define CHECK_CODE __attribute__((no_sanitize("coverage")))

namespace {

// The length of the UTF-8 sequence at text[i] (RFC 3629: no overlong form,
// no surrogate, nothing past U+10FFFF), or 0 when there is none.
CHECK_CODE std::size_t utf8_sequence(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) {
        return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u;
    };
    const auto tail = [&](std::size_t k, unsigned low, unsigned high) {
        return byte(k) >= low && byte(k) <= high;
    };
    const unsigned c = byte(0);
    if (c < 0x80) {
        return 1;
    }
    if (c >= 0xC2 && c <= 0xDF) {
        return tail(1, 0x80, 0xBF) ? 2 : 0;
    }
    if (c >= 0xE0 && c <= 0xEF) {
        const unsigned low = c == 0xE0 ? 0xA0 : 0x80;
        const unsigned high = c == 0xED ? 0x9F : 0xBF;
        return tail(1, low, high) && tail(2, 0x80, 0xBF) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const unsigned low = c == 0xF0 ? 0x90 : 0x80;
        const unsigned high = c == 0xF4 ? 0x8F : 0xBF;
        return tail(1, low, high) && tail(2, 0x80, 0xBF) && tail(3, 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
}

// Whether `text` is UTF-8 whose lines each end with CR LF and hold at most
// 75 octets: what a vCard stream is, whatever the card file.
CHECK_CODE bool vcard_lines(std::string_view text) {
    std::size_t column = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            column = 0;
            i += 2;
            continue;
        }
        const std::size_t size = utf8_sequence(text, i);
        column += size;
        if (size == 0 || text[i] == '\r' || text[i] == '\n' || column > 75) {
            return false;
        }
        i += size;
    }
    return column == 0;
}

void check_card_file(const std::uint8_t* data, std::size_t size) {
    const int encoding = size % 2 == 0 ? ENCODING_NONE : ENCODING_WINDOWS_932;
    html_writer html{nullptr, true, "fuzz <dir>"};
    vcard_writer vcard{nullptr, size / 2 % 2 == 0 ? 3 : 4};
    const std::string_view closing = "</body>\n</html>\n";
    card_file_result result = CARD_FILE_OK;
    const std::string page =
        fuzz::written_by(html, data, size, encoding, "fuzz<&\">\xff.crd", result);
    if (result != CARD_FILE_OK) {
        return;
    }
    if (page.size() < closing.size() ||
        page.compare(page.size() - closing.size(), closing.size(), closing) != 0 ||
        !vcard_lines(fuzz::written_by(vcard, data, size, encoding, "fuzz.crd", result))) {
        __builtin_trap();
    }
}

// A PNG file begins with its signature and ends with its IEND chunk.
void check_png(const decoded_image& image, png_rows rows) {
    const std::string png = encode_png(image, rows);
    const std::string_view end("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
    if (png.size() < 8 + end.size() || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        png.compare(png.size() - end.size(), end.size(), end) != 0) {
        __builtin_trap();
    }
}

void check_pictures(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const auto& image : {decode_dib(bytes), decode_bmp_file(bytes)}) {
        if (image && std::uint64_t{image->width} * image->height <= 1u << 16) {
            check_png(*image, png_rows::deflated);
            check_png(*image, png_rows::stored);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check_card_file(data, size);
    check_pictures(data, size);
    return 0;
}
