// The card file reader: recognises the two variants of the CRD format, walks
// the index and reads each card's body, and hands every card on as a plain
// record. It prints nothing; the writers in output/ turn records into bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Variant of the format, told by the file's first three bytes.
enum card_file_variant : int {
    VARIANT_RRG = 0,  // signature "RRG"
    VARIANT_MGC = 1,  // signature "MGC"
};

// Outcome of listing one card file.
enum card_file_result : int {
    CARD_FILE_OK = 0,
    CARD_FILE_OPEN_FAILED = -1,    // could not be opened, or a read failed
    CARD_FILE_BAD_SIGNATURE = -2,  // neither "RRG" nor "MGC"
};

// Slot value in card_offsets for an index entry that has no body to read.
constexpr std::int32_t NO_CARD_BODY = -1;

// Header. "RRG": signature, 4 bytes not interpreted, signed 16-bit card count.
// "MGC": signature, signed 16-bit card count. The index entries follow at once.
constexpr std::size_t SIGNATURE_SIZE = 3;
constexpr std::size_t RRG_HEADER_REST_SIZE = 6;  // read as one block after the signature
constexpr std::size_t RRG_COUNT_AT = 4;          // within that block (file offset 7)
constexpr std::size_t CARD_COUNT_SIZE = 2;

// Index entry, the same in both variants.
constexpr std::size_t INDEX_ENTRY_SIZE = 52;
constexpr std::size_t INDEX_BODY_OFFSET_AT = 6;  // 32-bit absolute offset; 0: no body
constexpr std::size_t INDEX_FLAG_AT = 10;        // 1 byte; listed only when 0
constexpr std::size_t INDEX_TEXT_AT = 11;        // the index line, NUL-terminated
constexpr std::size_t INDEX_TEXT_SIZE = 41;      // 40 characters and the NUL

// "MGC" body: unsigned 16-bit graphic block length G, then G + 10 bytes of
// graphic block when G is not 0, then unsigned 16-bit text length L and L bytes.
constexpr std::size_t GRAPHIC_LENGTH_SIZE = 2;
constexpr long GRAPHIC_BLOCK_EXTRA = 10;
constexpr std::size_t TEXT_LENGTH_SIZE = 2;

// "RRG" body: unsigned 16-bit object flag; when 0, unsigned 16-bit text
// length L and L bytes of text; otherwise four 32-bit object fields.
constexpr std::size_t OBJECT_FLAG_SIZE = 2;
constexpr std::size_t OBJECT_FIELDS_SIZE = 16;
constexpr std::size_t OBJECT_UID_AT = 0;
constexpr std::size_t OBJECT_FORMAT_ID_AT = 8;  // bytes 4 to 7 are not interpreted
constexpr std::size_t OBJECT_CLASS_NAME_LENGTH_AT = 12;

// What a graphic block of an "MGC" body begins with, right after its length:
// the picture's width and height in pixels (unsigned 16-bit each).
constexpr std::size_t GRAPHIC_SIZE_FIELDS_SIZE = 4;
constexpr std::size_t GRAPHIC_WIDTH_AT = 0;
constexpr std::size_t GRAPHIC_HEIGHT_AT = 2;
// The bitmap bits follow the width, the height and the picture's place on the
// card (x and y, unsigned 16-bit each): rows from the top down, each row
// ((width + 15) / 16) * 2 bytes, the most significant bit the leftmost pixel,
// a 0 bit ink (black) and a 1 bit paper (white).
constexpr std::size_t GRAPHIC_BITS_AT = 8;

// Reading is done in large blocks, one window for the index and one for the
// bodies, so a listing costs a few system calls per window of file rather than
// a seek and a refill per card. Each window holds at least one whole body text.
constexpr std::size_t INDEX_WINDOW_SIZE = 64 * 1024;
constexpr std::size_t BODY_WINDOW_SIZE = 128 * 1024;
// What is read after a jump away from a window's bytes.
constexpr std::size_t JUMP_READ_SIZE = 4 * 1024;

// A block of the card file held in memory: the bytes [start, start + size).
struct file_window {
    std::vector<unsigned char> bytes{};
    std::int64_t start = 0;
    std::size_t size = 0;
};

// The header: the variant and the stored card count, or why there is none.
struct card_file_header {
    card_file_result result = CARD_FILE_OK;
    int variant = VARIANT_RRG;
    std::int16_t count = 0;
    // CARD_FILE_BAD_SIGNATURE: the bytes the file begins with (fewer than
    // three when it is shorter), held by the stream.
    std::string_view signature{};
};

// One index entry.
struct card_entry {
    bool listed = false;           // false: body offset 0 or a non-zero flag byte
    std::int32_t body_offset = 0;  // as stored; NO_CARD_BODY when not listed
    std::string_view title{};      // the index line up to its first NUL, as stored
};

// What is known of an "MGC" graphic block.
struct graphic_info {
    std::uint16_t length = 0;  // the stored length G
    std::uint16_t width = 0;   // the two fields behind the length (zeros where the file ends)
    std::uint16_t height = 0;
    std::int64_t bits_at = 0;  // where the G bytes of the bitmap begin
};

// An "RRG" object card body: the object flag (not 0), the UID, the OLE 1.0
// object, then the card's own fields and its text. Every number is
// little-endian. The OLE object: version, format (OLE_LINKED, OLE_EMBEDDED or
// OLE_STATIC), class name (a counted string: a u32 length N, then N bytes
// ending with a NUL when N is not 0), then
// - embedded: topic name, item name (counted strings), the native data's
//   size (u32) and the native data, then a presentation;
// - linked: topic name (the linked file's path), item name, network name
//   (counted strings), a reserved u32, the link update option (u32), then a
//   presentation;
// - static: the picture body of the format the class name names.
// A presentation: version, format (0: nothing follows; 5: a class name, the
// picture format, and the picture body). A picture body: for "METAFILEPICT",
// "DIB" and "BITMAP" width, height and size S (u32 each), then S bytes (a
// metafile picture's S includes 8 reserved bytes before the metafile); for
// any other name (a clipboard format) the format number (u32), its name (a
// counted string) when the number is 0, then size S (u32) and S bytes.
// Behind the object: character width and height (u16 each), the object's
// rectangle (four i16), the object type (u16: 0 embedded, 1 linked, 2
// static), the text length L (u16) and L bytes of text.
constexpr std::size_t OBJECT_UID_SIZE = 4;
constexpr std::uint32_t OLE_LINKED = 1;
constexpr std::uint32_t OLE_EMBEDDED = 2;
constexpr std::uint32_t OLE_STATIC = 3;
constexpr std::uint32_t PRESENTATION_NONE = 0;
constexpr std::uint32_t PRESENTATION_PICTURE = 5;
constexpr std::uint32_t METAFILE_RESERVED_SIZE = 8;
// Character width and height, and the rectangle: skipped.
constexpr std::size_t OBJECT_CARD_FIELDS_SIZE = 2 + 2 + 8;
// Names longer than this are kept cut (a path is at most 260 bytes).
constexpr std::size_t OBJECT_NAME_KEPT = 1024;

// A run of bytes in the file, left where it is.
struct file_span {
    std::int64_t offset = 0;
    std::uint32_t size = 0;
};

// The picture an object shows on its card.
struct object_picture {
    std::string format{};   // its class name as stored: "METAFILEPICT", "DIB", ...
    bool has_size = false;  // METAFILEPICT, DIB and BITMAP
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    file_span data{};  // a metafile picture's without its 8 reserved bytes
};

// The fields of an "RRG" body that carries an object: the four the listing's
// notice shows (read as stored whether the object parses or not), and what
// the walk over the object found when it parses.
struct object_info {
    std::int32_t uid = 0;
    std::int32_t format_id = 0;
    std::int32_t class_name_length = 0;
    bool parsed = false;
    std::uint32_t kind = 0;  // OLE_LINKED, OLE_EMBEDDED or OLE_STATIC
    std::string class_name{};
    std::string link{};       // linked: the topic name
    bool has_native = false;  // embedded
    file_span native{};
    bool has_picture = false;
    object_picture picture{};
};

// One card's body. `text` (has_text) is the stored text up to its first NUL,
// what the file holds of it; a card without a text read (a negative body
// offset, an object card whose object does not parse) has none.
struct card_body {
    bool has_text = false;
    std::string_view text{};
    bool has_graphic = false;
    graphic_info graphic{};
    // An object card: what is known of its object, held by the stream until
    // its next object card; nullptr for every other card.
    const object_info* object = nullptr;
};

// An open card file being read. `read_failed` is set when the system
// reports an error (not the end of the file) for bytes a read needed, or the
// file cannot be positioned where a read needs it; `read_error` then holds
// the system's error number (0 when it gave none).
//
// read_index_entry and read_card_body take the index position from the file's
// own position and leave the file there (behind the entry just read) when they
// return. Within a walk of the whole file the stream keeps the index position
// itself and puts the file there once the walk ends (give_file_position).
struct card_stream {
    std::FILE* file;
    bool read_failed = false;
    int read_error = 0;
    std::int64_t index_position = -1;  // next index byte; -1 until the first read
    std::int64_t file_position = -1;   // where `file` stands; -1 when not known
    std::int64_t file_end = -1;        // end of the file once a read has met it
    file_window index_window{};
    file_window body_window{};
    // An index entry the file holds only in part, its missing bytes zeros.
    std::array<unsigned char, INDEX_ENTRY_SIZE> entry_spare{};
    object_info object{};       // the last object card's
    file_window data_window{};  // for read_span: objects and pictures copied out
};

// One listed card, as the reader yields it. The views stay valid until the
// next read from the stream.
struct card_record {
    int number = 0;  // index position + 1
    std::string_view title{};
    card_body body{};
};

// Reads the first block of `span` (at most BODY_WINDOW_SIZE bytes) through a
// window of its own, so that the views of the current card record stay
// valid, and takes it off the front of `span`. Returns the block and its
// size, or nullptr when the file does not hold it or a read fails. A span is
// copied block by block this way, never held whole.
[[nodiscard]] const unsigned char* read_span_block(card_stream& in, file_span& span,
                                                   std::size_t& size);

// A walk over the cards of a card file, entry by entry.
struct card_walk {
    card_file_header header{};
    std::int16_t next = 0;  // the next index position
};

// Reads the signature and the card count from the stream's position (the
// start of the file).
[[nodiscard]] card_file_header read_card_file_header(card_stream& in);

// Reads the index entry at the stream's index position and moves past it
// (exactly INDEX_ENTRY_SIZE bytes). An entry with body offset 0 or a non-zero
// flag byte has no card: it is not listed.
[[nodiscard]] card_entry read_card_entry(card_stream& in);

// Reads the body at `body_offset` in the layout of `variant`; a negative
// offset reads nothing.
[[nodiscard]] card_body read_card_body_record(card_stream& in, int variant,
                                              std::int32_t body_offset);

// Starts a walk: reads the header. header.result says whether there are cards.
[[nodiscard]] card_walk start_card_walk(card_stream& in);

// Yields the next listed card; false when there is none left or a read has
// failed (in.read_failed).
[[nodiscard]] bool next_card(card_stream& in, card_walk& walk, card_record& card);

// For reading entry by entry from where the file stands, with the file
// looked at in between: take_file_position takes the index position from the
// file's own position, give_file_position leaves the file there (behind the
// last index entry read). A walk calls give_file_position when it ends.
void take_file_position(card_stream& in);
void give_file_position(card_stream& in);

// Whether the memory that reading a card file takes (under a megabyte) can
// be had. Asked before a walk: with less, even reporting a refused
// allocation as an exception could fail.
[[nodiscard]] bool reader_memory_available();

// A stream that is closed when it goes out of scope.
struct stream_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using owned_stream = std::unique_ptr<std::FILE, stream_closer>;

// Opens `path` for reading in binary mode, for card_stream; empty (errno set)
// when it cannot be opened.
[[nodiscard]] owned_stream open_card_file(const char* path);
