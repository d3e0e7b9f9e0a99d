// The picture a card shows, for the writers that draw it (HTML, vCard): read
// from the card file block by block, decoded and made a PNG file. Only one
// picture is held in memory at a time.
#pragma once

#include <cstdint>
#include <string>

#include "cardfile/reader.h"
#include "device_bitmap.h"

// What a card shows besides its text.
enum class card_picture_kind {
    none,   // nothing: a text card, or an "MGC" picture that is not one to draw
    image,  // a picture, made a PNG
    box,    // something a browser cannot show: a labelled box stands for it
};

struct card_picture {
    card_picture_kind kind = card_picture_kind::none;
    std::string png{};        // image: the PNG file
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

// The picture of `card`: an "MGC" picture from its bits; an object's DIB
// or device-dependent bitmap, or the BMP file a Paintbrush object holds; a
// box for a metafile, another clipboard format, an object with no
// picture, or a picture that does not decode. `scratch` holds the stored
// bytes meanwhile.
[[nodiscard]] card_picture picture_of_card(const card_record& card, card_stream& data,
                                           std::string& scratch);
