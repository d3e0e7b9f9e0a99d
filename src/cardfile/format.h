// The CRD card file format, field by field: every offset, size and code the
// reader uses, in the order the bytes come. Numbers are little-endian (see
// fixed.h); offsets count from the start of the record they belong to.
#pragma once

#include <cstddef>
#include <cstdint>

// --- Header ---------------------------------------------------------------
// "RRG": signature, 4 bytes not interpreted, i16 card count.
// "MGC": signature, i16 card count.
// The index entries follow the header at once, one per card, in card order.
constexpr std::size_t SIGNATURE_SIZE = 3;
constexpr std::size_t RRG_HEADER_REST_SIZE = 6;  // read as one block after the signature
constexpr std::size_t RRG_COUNT_AT = 4;          // within that block (file offset 7)
constexpr std::size_t CARD_COUNT_SIZE = 2;
constexpr std::size_t RRG_HEADER_SIZE = SIGNATURE_SIZE + RRG_HEADER_REST_SIZE;  // 9
constexpr std::size_t MGC_HEADER_SIZE = SIGNATURE_SIZE + CARD_COUNT_SIZE;       // 5

// --- Index entry (the same in both variants) --------------------------------
// | 0  | 6  | not interpreted                                  |
// | 6  | 4  | body offset, i32 from the start of the file; 0: no body |
// | 10 | 1  | flag; the card is listed only when it is 0       |
// | 11 | 41 | the index line (title), NUL-terminated            |
constexpr std::size_t INDEX_ENTRY_SIZE = 52;
constexpr std::size_t INDEX_BODY_OFFSET_AT = 6;
constexpr std::size_t INDEX_FLAG_AT = 10;
constexpr std::size_t INDEX_TEXT_AT = 11;
constexpr std::size_t INDEX_TEXT_SIZE = 41;  // 40 characters and the NUL

// --- "MGC" body -----------------------------------------------------------
// | 0      | 2 | graphic length G (u16): the size of the bitmap bits; 0: no picture |
// | 2      | 2 | width in pixels (u16)      } present only when G is not 0 |
// | 4      | 2 | height in pixels (u16)     }                              |
// | 6      | 2 | x position on the card     }                              |
// | 8      | 2 | y position on the card     }                              |
// | 10     | G | the bitmap bits            }                              |
// | 10 + G | 2 | text length L (u16); at offset 2 when G is 0              |
// | 12 + G | L | the text, not NUL-terminated                              |
// The bits are a monochrome bitmap: rows from the top down, each row
// ((width + 15) / 16) * 2 bytes, the most significant bit the leftmost pixel,
// a 0 bit ink (black) and a 1 bit paper (white).
constexpr std::size_t GRAPHIC_LENGTH_SIZE = 2;
constexpr std::size_t GRAPHIC_FIELDS_SIZE = 8;  // width, height, x, y
constexpr std::size_t GRAPHIC_WIDTH_AT = 0;     // within those fields
constexpr std::size_t GRAPHIC_HEIGHT_AT = 2;
constexpr std::size_t GRAPHIC_X_AT = 4;
constexpr std::size_t GRAPHIC_Y_AT = 6;
constexpr std::size_t TEXT_LENGTH_SIZE = 2;

// The bytes of one row of an "MGC" picture `width` pixels wide.
constexpr std::uint32_t graphic_row_size(std::uint32_t width) {
    return (width + 15u) / 16u * 2u;
}

// --- "RRG" body -----------------------------------------------------------
// | 0 | 2 | object flag (u16) |
// Flag 0: | 2 | 2 | text length L (u16) | then | 4 | L | the text |.
// Flag not 0:
// | 2  | 4 | object UID (the notice prints it as i32)           |
// | 6  | … | the OLE 1.0 object (below)                          |
// | …  | 2 | character width, 2 character height (u16 each)      |
// | …  | 8 | the object's rectangle: left, top, right, bottom (i16 each) |
// | …  | 2 | object type (u16): 0 embedded, 1 linked, 2 static   |
// | …  | 2 | text length L (u16), then L bytes of text           |
// The listing's notice shows the first four u32 after the flag: the UID, the
// object's version (not shown), its format ("format ID") and the length of
// its class name ("class name len").
constexpr std::size_t OBJECT_FLAG_SIZE = 2;
constexpr std::size_t OBJECT_FIELDS_SIZE = 16;
constexpr std::size_t OBJECT_UID_AT = 0;        // within those 16 bytes
constexpr std::size_t OBJECT_FORMAT_ID_AT = 8;  // bytes 4 to 7: the version, not shown
constexpr std::size_t OBJECT_CLASS_NAME_LENGTH_AT = 12;
constexpr std::size_t OBJECT_UID_SIZE = 4;
constexpr std::size_t OBJECT_CHARACTER_SIZE_SIZE = 2 + 2;
constexpr std::size_t OBJECT_RECTANGLE_SIZE = 8;
constexpr std::uint16_t OBJECT_TYPE_EMBEDDED = 0;
constexpr std::uint16_t OBJECT_TYPE_LINKED = 1;
constexpr std::uint16_t OBJECT_TYPE_STATIC = 2;

// --- The OLE 1.0 object -----------------------------------------------------
// A counted string is a u32 length N, then N bytes, the last a NUL when N is
// not 0 (the string is the bytes before it).
// | version (u32, ignored) | format (u32) | class name (counted string) |, then by format:
// - embedded: topic name, item name (counted strings), native data size (u32)
//   and the native data, then a presentation;
// - linked: topic name (the linked file's path), item name, network name
//   (counted strings), a reserved u32, the link update option (u32), then a
//   presentation;
// - static: the class name is the picture format, whose picture body follows.
// A presentation: version (u32), format (u32: 0 nothing follows, 5 a class
// name, the picture format, and its picture body follow).
// A picture body: for "METAFILEPICT", "DIB" and "BITMAP" width, height and
// size S (u32 each), then S bytes (a metafile picture's S counts 8 reserved
// bytes before the metafile); for any other name (a clipboard format) its
// number (u32), its registered name (a counted string) when the number is 0,
// then size S (u32) and S bytes.
constexpr std::uint32_t OLE_LINKED = 1;
constexpr std::uint32_t OLE_EMBEDDED = 2;
constexpr std::uint32_t OLE_STATIC = 3;
constexpr std::uint32_t PRESENTATION_NONE = 0;
constexpr std::uint32_t PRESENTATION_PICTURE = 5;
constexpr std::uint32_t METAFILE_RESERVED_SIZE = 8;
constexpr const char* PICTURE_METAFILE_NAME = "METAFILEPICT";
constexpr const char* PICTURE_DIB_NAME = "DIB";
constexpr const char* PICTURE_BITMAP_NAME = "BITMAP";
// The class of a Paintbrush picture, whose native data is a BMP file ("BM").
constexpr const char* PAINTBRUSH_CLASS = "PBrush";
// Names longer than this are kept cut (a path is at most 260 bytes).
constexpr std::size_t OBJECT_NAME_KEPT = 1024;

// --- The largest file the format can address -------------------------------
// Whatever lies beyond is never read. A body begins at an offset below 2^31
// (an offset with its top bit set is not read), and reaches at most:
// - "MGC": G (u16), the picture's fields, 65535 bytes of bits, L (u16) and
//   65535 bytes of text;
// - "RRG": an object, whose seven lengths are u32 (the longest: a linked
//   object with a picture in a registered clipboard format: its class, topic,
//   item and network names, the picture format's name, the registered name and
//   the picture's data), with its fixed fields, then L (u16) and the text.
// (The index ends long before: the header and 32767 entries.)
constexpr std::uint64_t LARGEST_BODY_OFFSET = 0x7FFFFFFF;
constexpr std::uint64_t LARGEST_U16_LENGTH = 0xFFFF;
constexpr std::uint64_t LARGEST_U32_LENGTH = 0xFFFFFFFF;
constexpr std::uint64_t MGC_LARGEST_BODY = GRAPHIC_LENGTH_SIZE + GRAPHIC_FIELDS_SIZE +
                                           LARGEST_U16_LENGTH + TEXT_LENGTH_SIZE +
                                           LARGEST_U16_LENGTH;
constexpr std::uint64_t OBJECT_COUNTED_PARTS = 7;
// The flag, UID, version, format, the linked object's reserved u32 and update
// option, the presentation's version and format, the clipboard format's
// number, the character size, the rectangle, the object type and L.
constexpr std::uint64_t OBJECT_FIXED_SIZE = OBJECT_FLAG_SIZE + OBJECT_UID_SIZE + 4 + 4 + 4 + 4 + 4 +
                                            4 + 4 + OBJECT_CHARACTER_SIZE_SIZE +
                                            OBJECT_RECTANGLE_SIZE + 2 + TEXT_LENGTH_SIZE;
constexpr std::uint64_t RRG_LARGEST_BODY =
    OBJECT_FIXED_SIZE + OBJECT_COUNTED_PARTS * (4 + LARGEST_U32_LENGTH) + LARGEST_U16_LENGTH;
constexpr std::uint64_t MGC_LARGEST_FILE =
    LARGEST_BODY_OFFSET + MGC_LARGEST_BODY;  // 2 GiB + 128 KiB
constexpr std::uint64_t RRG_LARGEST_FILE = LARGEST_BODY_OFFSET + RRG_LARGEST_BODY;  // 30 GiB
static_assert(MGC_LARGEST_FILE == 2147614729u && RRG_LARGEST_FILE == 32212320325u);
static_assert(RRG_HEADER_SIZE + 32767 * INDEX_ENTRY_SIZE < LARGEST_BODY_OFFSET);
