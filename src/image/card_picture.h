// The picture a card shows, for the writers that draw it (HTML, vCard): read
// from the card file as its headers say, block by block (the header, the
// colour table's entries in use and the pixel rows, never the bytes around
// them), decoded and made a PNG file. One picture is held in memory at a time
// while it is drawn: at most LARGEST_DRAWN_PICTURE pixels.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cardfile/reader.h"
#include "device_bitmap.h"

// What a card shows besides its text.
enum class card_picture_kind {
    none,   // nothing: a text card, or an "MGC" picture that is not one to draw
    image,  // a picture, made a PNG
    box,    // something a browser cannot show: a labelled box stands for it
};

// Pictures of more pixels than this are not drawn: 4 megapixels (2048 x
// 2048), more than any screen of the days card files were made on (1280 x
// 1024 is 1.3). The largest drawn takes at most 16 MiB of pixel rows as
// stored, as many decoded, and its PNG file.
constexpr std::uint64_t LARGEST_DRAWN_PICTURE = std::uint64_t{4} << 20;

// What a box says for a picture of more than LARGEST_DRAWN_PICTURE pixels.
constexpr const char* PICTURE_TOO_LARGE = "a picture of more than 4 megapixels";

struct card_picture {
    card_picture_kind kind = card_picture_kind::none;
    // image: the PNG file in base64, valid until the next picture_of_card
    // with the same picture_memory.
    std::string_view png_base64{};
    std::uint32_t width = 0;  // image: its size in pixels
    std::uint32_t height = 0;
    // Where the file places it on the card, in pixels from the top left
    // corner of the card's face, and the size of that place (an object's
    // rectangle; an "MGC" picture's own size).
    bool placed = false;
    int x = 0;
    int y = 0;
    int place_width = 0;
    int place_height = 0;
    // What it is, in words, for a box or a caption: "a Windows metafile",
    // "a linked object". Stored bytes (the class name, the link path) are
    // kept apart, as stored, for the writer to decode and escape.
    const char* what = "";
    bool object = false;       // an object: `class_name` and `link` say which
    bool linked = false;       // a linked object: `link` is its file
    std::string class_name{};  // as stored
    std::string link{};        // as stored
};

// Copies the bytes of `span` out of the card file into `bytes` (replacing
// what it held), block by block; false when the file does not hold them all.
[[nodiscard]] bool read_span(card_stream& data, file_span span, std::string& bytes);

// The device-dependent bitmap ("BITMAP" picture) at `span`: its header read
// and checked first, then of each row the bytes its pixels need, copied into
// `bytes` one after the other (the bitmap returned says so: rows at 0, each
// as long as needed). Nothing when its colours cannot be known or the file
// does not hold it whole.
[[nodiscard]] std::optional<device_bitmap> read_device_bitmap(card_stream& data, file_span span,
                                                              std::string& bytes);

// Where a picture's bytes are in a card file: the same place, the same picture.
struct picture_key {
    std::int64_t offset = -1;  // of the DIB, the "MGC" bits, or the BMP file
    std::uint32_t size = 0;
    std::int64_t bmp_offset = -1;  // of a BMP file that stands in for the DIB
    std::uint32_t bmp_size = 0;
    std::uint32_t width = 0;  // an "MGC" picture's
    std::uint32_t height = 0;

    friend bool operator==(const picture_key& a, const picture_key& b) {
        return a.offset == b.offset && a.size == b.size && a.bmp_offset == b.bmp_offset &&
               a.bmp_size == b.bmp_size && a.width == b.width && a.height == b.height;
    }
};

// What picture_of_card keeps from card to card of one card file: the stored
// bytes while a picture is decoded, and the pictures drawn so far by where
// they are in the file, so that index entries sharing a body draw it once
// (up to KEPT_PICTURES pictures, KEPT_BYTES of PNG files in base64).
struct picture_memory {
    static constexpr std::size_t KEPT_PICTURES = 64;
    static constexpr std::size_t KEPT_BYTES = std::size_t{16} << 20;

    struct drawn {
        picture_key key{};
        card_picture_kind kind = card_picture_kind::none;
        std::string png_base64{};
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        const char* what = "";
    };
    std::string head{};  // a DIB's headers
    std::string table{};
    std::string rows{};  // its pixel rows, or an "MGC" picture's bits
    std::string png_base64{};
    std::vector<drawn> kept{};
    std::size_t kept_bytes = 0;
};

// Forgets the pictures drawn: the next card file's places are not this one's.
void forget_pictures(picture_memory& memory);

// The picture of `card`: an "MGC" picture from its bits; an object's DIB
// or device-dependent bitmap, or the BMP file a Paintbrush object holds; a
// box for a metafile, a device-dependent bitmap of unknown colours, another
// clipboard format, an object with no picture, a picture that does not
// decode or one of more than LARGEST_DRAWN_PICTURE pixels.
[[nodiscard]] card_picture picture_of_card(const card_record& card, card_stream& data,
                                           picture_memory& memory);
