// The card file reader: recognises the two variants of the CRD format and
// prints a listing of every card, its heading, index line and text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
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

// Reading is done in large blocks, one window for the index and one for the
// bodies, so a listing costs a few system calls per window of file rather than
// a seek and a refill per card. Each window holds at least one whole body text.
constexpr std::size_t INDEX_WINDOW_SIZE = 64 * 1024;
constexpr std::size_t BODY_WINDOW_SIZE = 128 * 1024;
// What is read after a jump away from a window's bytes.
constexpr std::size_t JUMP_READ_SIZE = 4 * 1024;
// The listing is gathered and written to the output stream in blocks of about this size.
constexpr std::size_t OUTPUT_BLOCK_SIZE = 64 * 1024;

// A block of the card file held in memory: the bytes [start, start + size).
struct file_window {
    std::vector<unsigned char> bytes{};
    std::int64_t start = 0;
    std::size_t size = 0;
};

// An open card file being listed. `read_failed` is set when the system
// reports an error (not the end of the file) for bytes a read needed.
//
// read_index_entry and read_card_body take the index position from the file's
// own position and leave the file there (behind the entry just read) when they
// return. Within list_card_stream the stream keeps the index position itself
// and puts the file there once the listing ends.
struct card_stream {
    std::FILE* file;
    bool read_failed = false;
    std::int64_t index_position = -1;  // next index byte; -1 until the first read
    std::int64_t file_position = -1;   // where `file` stands; -1 when not known
    std::int64_t file_end = -1;        // end of the file once a read has met it
    file_window index_window{};
    file_window body_window{};
    std::vector<char> output{};  // listing not yet written: the first `output_used` bytes
    std::size_t output_used = 0;
};

// Lists the card file at `path` to `out` (standard output when omitted).
[[nodiscard]] card_file_result list_card_file(const char* path, int encoding, std::FILE* out);
[[nodiscard]] card_file_result list_card_file(const char* path, int encoding);

// Lists an already open card file, read from its current position (its start).
[[nodiscard]] card_file_result list_card_stream(std::FILE* file, int encoding, std::FILE* out);

// Reads exactly INDEX_ENTRY_SIZE bytes from the stream's position, records the
// card's body offset (or NO_CARD_BODY) in card_offsets[index] and prints the
// card's heading and index line.
void read_index_entry(card_stream& in, int encoding, std::vector<std::int32_t>& card_offsets,
                      std::int16_t index, std::FILE* out);

// Prints the text (or object notice) of the body at `body_offset`; a negative
// offset prints nothing. Leaves the stream where it found it.
void read_card_body(card_stream& in, int encoding, int variant, std::int32_t body_offset,
                    std::FILE* out);
