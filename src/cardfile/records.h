// What the card file reader hands on: plain records, documented field by
// field. A record holds no pointer into the reader; its string views point at
// bytes that stay valid until the next read from the same card file (for the
// length of one writer call).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Variant of the format, told by the file's first three bytes.
enum card_file_variant : int {
    VARIANT_RRG = 0,  // signature "RRG"
    VARIANT_MGC = 1,  // signature "MGC"
};

// Outcome of reading one card file.
enum card_file_result : int {
    CARD_FILE_OK = 0,
    CARD_FILE_OPEN_FAILED = -1,    // could not be opened, or a read failed
    CARD_FILE_BAD_SIGNATURE = -2,  // neither "RRG" nor "MGC"
};

// The body offset of an index entry that has no body to read.
constexpr std::int32_t NO_CARD_BODY = -1;

// The header: the variant and the stored card count, or why there is none.
struct card_file_header {
    card_file_result result = CARD_FILE_OK;
    int variant = VARIANT_RRG;
    std::int16_t count = 0;
    bool cut = false;  // the file ends inside the card count (zeros read)
    // CARD_FILE_BAD_SIGNATURE: the bytes the file begins with (fewer than
    // three when it is shorter).
    std::string signature{};
};

// One index entry.
struct index_record {
    bool listed = false;           // false: body offset 0 or a non-zero flag byte
    std::int32_t body_offset = 0;  // as stored; NO_CARD_BODY when not listed
    std::string_view title{};      // the index line up to its first NUL, as stored
    bool whole = true;             // false: the file ends inside the entry (zeros read)
};

// A run of bytes in the card file, left where it is: a writer copies it out
// block by block with read_data_block (reader.h), never whole.
struct file_span {
    std::int64_t offset = 0;
    std::uint32_t size = 0;
};

// An "MGC" picture: its stored fields and where its bits lie.
struct graphic_info {
    std::uint16_t length = 0;  // the stored length G of the bits
    std::uint16_t width = 0;   // in pixels (zeros where the file ends)
    std::uint16_t height = 0;
    std::uint16_t x = 0;  // its place on the card
    std::uint16_t y = 0;
    std::uint32_t row_size = 0;  // bytes a row
    // A picture to draw: width and height not 0, G equal to the row size
    // times the height, and the file holds every bit.
    bool consistent = false;
    file_span bits{};
};

// What an object's picture is, told by its format name.
enum picture_kind : int {
    PICTURE_METAFILE,   // "METAFILEPICT": a Windows metafile
    PICTURE_DIB,        // "DIB": a device-independent bitmap
    PICTURE_BITMAP,     // "BITMAP": a device-dependent bitmap
    PICTURE_CLIPBOARD,  // any other clipboard format
};

// The picture an object shows on its card.
struct object_picture {
    std::string format{};  // its format name as stored: "METAFILEPICT", "DIB", ...
    picture_kind kind = PICTURE_CLIPBOARD;
    bool has_size = false;  // metafiles, DIBs and bitmaps
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    file_span data{};  // a metafile's without its 8 reserved bytes
};

// An "RRG" card's object: the four fields the listing's notice shows (as
// stored, whether the object parses or not), and what the walk over the
// object found when it parses.
struct object_info {
    std::int32_t uid = 0;
    std::int32_t format_id = 0;
    std::int32_t class_name_length = 0;
    bool parsed = false;
    std::uint32_t kind = 0;  // OLE_LINKED, OLE_EMBEDDED or OLE_STATIC
    std::string class_name{};
    std::string link{};       // linked: the topic name, the linked file
    bool has_native = false;  // embedded
    file_span native{};
    bool native_is_bmp = false;  // a Paintbrush picture whose data is a BMP file
    bool has_picture = false;
    object_picture picture{};
    std::int16_t rectangle[4] = {0, 0, 0, 0};  // left, top, right, bottom on the card
};

// One card's body. `text` (has_text) is the stored text up to its first NUL,
// what the file holds of it; a card without a text read (a body offset with
// its top bit set, an object card whose object does not parse) has none.
struct card_body {
    bool has_text = false;
    std::string_view text{};
    bool has_graphic = false;
    graphic_info graphic{};
    bool has_object = false;
    object_info object{};
    // What is wrong with the body, in words ("the text is cut short by the end
    // of the file (12 of 40 bytes)"); empty when nothing is.
    std::string problem{};
};

// One listed card, as next_card yields it.
struct card_record {
    int number = 0;                // index position + 1
    std::int32_t body_offset = 0;  // as the index entry gives it: cards that share a body share it
    std::string_view title{};
    card_body body{};
};
