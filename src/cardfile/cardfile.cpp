#include "cardfile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "decode/decode.h"
#include "fixed.h"

namespace {

struct file_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

// Sets up the stream's positions from the file's own at the first read. A
// stream that cannot tell its position (a pipe) is read from where it stands
// and cannot seek to a body.
void start_stream(card_stream& in) {
    if (in.index_position >= 0) {
        return;
    }
    const long at = std::ftell(in.file);
    in.index_position = at < 0 ? 0 : at;
    in.file_position = in.index_position;
}

// Loads into `window` the block of up to `capacity` bytes that starts at
// `position`; `needed` of them are wanted now. Fewer arrive at the end of the
// file. A system error sets read_failed only when it cuts off wanted bytes.
// Returns false, with read_failed set, when the file cannot be positioned there.
bool fill_window(card_stream& in, file_window& window, std::size_t capacity, std::int64_t position,
                 std::size_t needed) {
    if (window.bytes.size() < capacity) {
        window.bytes.resize(capacity);
    }
    window.start = position;
    window.size = 0;
    if (in.file_end >= 0 && position >= in.file_end) {
        return true;  // nothing there to read
    }
    if (position != in.file_position) {
        // fseek takes a long, which may be 32 bits wide.
        if (static_cast<std::uint64_t>(position) >
                static_cast<std::uint64_t>(std::numeric_limits<long>::max()) ||
            std::fseek(in.file, static_cast<long>(position), SEEK_SET) != 0) {
            in.file_position = -1;
            in.read_failed = true;
            return false;
        }
        in.file_position = position;
    }
    const std::size_t got = std::fread(window.bytes.data(), 1, capacity, in.file);
    window.size = got;
    in.file_position += static_cast<std::int64_t>(got);
    if (got < capacity) {
        if (std::ferror(in.file)) {
            std::clearerr(in.file);  // a later read may try again
            if (got < needed) {
                in.read_failed = true;
            }
        } else {
            // Short of the end of the file, or at or beyond it: keep the lowest seen.
            const std::int64_t end = position + static_cast<std::int64_t>(got);
            in.file_end = in.file_end < 0 ? end : std::min(in.file_end, end);
        }
    }
    return true;
}

// Makes the `size` bytes at `position` available from `window`, reading a new
// block when they are not all there already. Returns where they start, or
// nullptr when the file cannot be positioned there; `got` says how many the
// file holds (fewer at its end).
const unsigned char* window_bytes(card_stream& in, file_window& window, std::size_t capacity,
                                  std::int64_t position, std::size_t size, std::size_t& got) {
    const std::int64_t window_end = window.start + static_cast<std::int64_t>(window.size);
    const bool held =
        position >= window.start && position <= window_end &&
        (position + static_cast<std::int64_t>(size) <= window_end || window_end == in.file_end);
    got = 0;
    if (!held) {
        // Reading on from the window: a whole block. A jump elsewhere (bodies
        // out of order): a short read, since the next jump may come at once.
        const bool reading_on =
            window.size > 0 && position >= window.start && position <= window_end;
        const std::size_t block =
            reading_on ? capacity : std::min(capacity, std::max(size, JUMP_READ_SIZE));
        if (!fill_window(in, window, block, position, size)) {
            return nullptr;
        }
    }
    const std::int64_t start = position - window.start;
    const std::size_t available = window.size > static_cast<std::size_t>(start)
                                      ? window.size - static_cast<std::size_t>(start)
                                      : 0;
    got = available < size ? available : size;
    return window.bytes.data() + start;
}

// The `N` bytes at `position`: where they lie in the window when the file
// holds them all, otherwise copied into `spare` behind zeros for the bytes the
// file does not hold. nullptr when the file cannot be positioned there.
template <std::size_t N>
const unsigned char* field_at(card_stream& in, file_window& window, std::size_t capacity,
                              std::int64_t position, std::array<unsigned char, N>& spare) {
    std::size_t got = 0;
    const unsigned char* bytes = window_bytes(in, window, capacity, position, N, got);
    if (!bytes || got == N) {
        return bytes;
    }
    spare.fill(0);
    if (got > 0) {
        std::memcpy(spare.data(), bytes, got);
    }
    return spare.data();
}

// The next `N` bytes of the header and index (never nullptr: the index is read
// in order, from where the stream stands).
template <std::size_t N>
const unsigned char* next_index_field(card_stream& in, std::array<unsigned char, N>& spare) {
    start_stream(in);
    const unsigned char* bytes =
        field_at(in, in.index_window, INDEX_WINDOW_SIZE, in.index_position, spare);
    in.index_position += static_cast<std::int64_t>(N);
    if (!bytes) {
        spare.fill(0);
        return spare.data();
    }
    return bytes;
}

// The body field of `N` bytes at `position`, which moves past it. nullptr
// when the file cannot be positioned there: the card is abandoned.
template <std::size_t N>
const unsigned char* next_body_field(card_stream& in, std::int64_t& position,
                                     std::array<unsigned char, N>& spare) {
    const unsigned char* bytes = field_at(in, in.body_window, BODY_WINDOW_SIZE, position, spare);
    position += static_cast<std::int64_t>(N);
    return bytes;
}

// The stored text up to its first NUL, never beyond `size` bytes.
std::string_view stored_text(const unsigned char* bytes, std::size_t size) {
    const char* text = reinterpret_cast<const char*>(bytes);
    const void* nul = std::memchr(text, '\0', size);
    return {text, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : size};
}

// Spaces before the word Card, so that headings up to card 999 are as wide as the rule.
int heading_indent(std::int16_t index) {
    return index <= 8 ? 2 : index <= 98 ? 1 : 0;
}

// Writes what is gathered of the listing to `out`.
void write_output(card_stream& in, std::FILE* out) {
    if (in.output_used > 0) {
        std::fwrite(in.output.data(), 1, in.output_used, out);
        in.output_used = 0;
    }
}

// Returns where `size` more bytes of listing can be gathered, writing out what
// is gathered first when they would not fit. output_done says how many were.
char* output_room(card_stream& in, std::FILE* out, std::size_t size) {
    if (in.output_used + size > in.output.size()) {
        write_output(in, out);
        if (size > in.output.size()) {
            in.output.resize(std::max(size, OUTPUT_BLOCK_SIZE));
        }
    }
    return in.output.data() + in.output_used;
}

void output_done(card_stream& in, const char* end) {
    in.output_used = static_cast<std::size_t>(end - in.output.data());
}

void put_bytes(card_stream& in, std::string_view bytes, std::FILE* out) {
    char* const at = output_room(in, out, bytes.size());
    std::memcpy(at, bytes.data(), bytes.size());
    output_done(in, at + bytes.size());
}

// Writes "\n", the text as the encoding shows it, and "\n". A conversion is
// written straight into the listing.
void put_text(card_stream& in, int encoding, std::string_view text, std::FILE* out) {
    const bool convert = encoding_name(encoding) != nullptr;
    char* at = output_room(in, out, 2 + (convert ? utf8_room(text.size()) : text.size()));
    *at++ = '\n';
    if (convert) {
        at = to_utf8_at(encoding, text, at);
    } else {
        std::memcpy(at, text.data(), text.size());
        at += text.size();
    }
    *at++ = '\n';
    output_done(in, at);
}

// The heading of card `index` and the rule under it: "\n", the indentation,
// "Card " and the card's number, then "\n--------".
void put_heading(card_stream& in, std::int16_t index, std::FILE* out) {
    constexpr std::string_view card = "Card ";
    constexpr std::string_view rule = "\n--------";
    char* at = output_room(in, out, 1 + 2 + card.size() + 5 + rule.size());
    *at++ = '\n';
    for (int i = heading_indent(index); i > 0; --i) {
        *at++ = ' ';
    }
    at = std::copy(card.begin(), card.end(), at);
    std::array<char, 5> digits{};  // the number is at most 32767
    auto first = digits.end();
    for (int number = index + 1; first == digits.end() || number > 0; number /= 10) {
        *--first = static_cast<char>('0' + number % 10);
    }
    at = std::copy(first, digits.end(), at);
    at = std::copy(rule.begin(), rule.end(), at);
    output_done(in, at);
}

// Writes the body text of `length` bytes at `position`. The text is used where
// it lies in the body window; bytes the file does not hold end it, as a NUL
// would.
void put_body_text(card_stream& in, int encoding, std::int64_t position, std::size_t length,
                   std::FILE* out) {
    std::size_t got = 0;
    const unsigned char* bytes =
        window_bytes(in, in.body_window, BODY_WINDOW_SIZE, position, length, got);
    if (!bytes) {
        return;
    }
    put_text(in, encoding, stored_text(bytes, got), out);
}

void read_mgc_body(card_stream& in, int encoding, std::int64_t position, std::FILE* out) {
    std::array<unsigned char, GRAPHIC_LENGTH_SIZE> spare;
    const unsigned char* graphic = next_body_field(in, position, spare);
    if (!graphic) {
        return;
    }
    const std::uint16_t graphic_length = decode_u16(graphic);
    if (graphic_length != 0) {
        position += graphic_length + GRAPHIC_BLOCK_EXTRA;
    }
    if (const unsigned char* length = next_body_field(in, position, spare)) {
        put_body_text(in, encoding, position, decode_u16(length), out);
    }
}

void read_rrg_body(card_stream& in, int encoding, std::int64_t position, std::FILE* out) {
    std::array<unsigned char, OBJECT_FLAG_SIZE> flag_spare;
    const unsigned char* flag = next_body_field(in, position, flag_spare);
    if (!flag) {
        return;
    }
    if (decode_u16(flag) == 0) {
        std::array<unsigned char, TEXT_LENGTH_SIZE> length_spare;
        if (const unsigned char* length = next_body_field(in, position, length_spare)) {
            put_body_text(in, encoding, position, decode_u16(length), out);
        }
        return;
    }
    std::array<unsigned char, OBJECT_FIELDS_SIZE> fields_spare;
    const unsigned char* fields = next_body_field(in, position, fields_spare);
    if (!fields) {
        return;
    }
    std::array<char, 128> notice{};
    const int size = std::snprintf(
        notice.data(), notice.size(),
        "\n*** OLE object, not supported,\n    UID: %li, format ID: %li, class name len: %li.\n",
        static_cast<long>(decode_i32(fields + OBJECT_UID_AT)),
        static_cast<long>(decode_i32(fields + OBJECT_FORMAT_ID_AT)),
        static_cast<long>(decode_i32(fields + OBJECT_CLASS_NAME_LENGTH_AT)));
    if (size > 0) {
        put_bytes(in, {notice.data(), std::min(static_cast<std::size_t>(size), notice.size() - 1)},
                  out);
    }
}

// read_index_entry and read_card_body, with their output gathered to be written later.
void list_index_entry(card_stream& in, int encoding, std::vector<std::int32_t>& card_offsets,
                      std::int16_t index, std::FILE* out) {
    std::array<unsigned char, INDEX_ENTRY_SIZE> spare;
    const unsigned char* entry = next_index_field(in, spare);
    const std::int32_t body_offset = decode_i32(entry + INDEX_BODY_OFFSET_AT);
    const auto slot = static_cast<std::size_t>(index);
    if (body_offset == 0 || entry[INDEX_FLAG_AT] != 0) {
        card_offsets[slot] = NO_CARD_BODY;
        return;
    }
    card_offsets[slot] = body_offset;
    put_heading(in, index, out);
    put_text(in, encoding, stored_text(entry + INDEX_TEXT_AT, INDEX_TEXT_SIZE), out);
}

void list_card_body(card_stream& in, int encoding, int variant, std::int32_t body_offset,
                    std::FILE* out) {
    if (body_offset < 0) {
        return;
    }
    // The body is read through its own window: the index position stays put.
    start_stream(in);
    if (variant == VARIANT_RRG) {
        read_rrg_body(in, encoding, body_offset, out);
    } else {
        read_mgc_body(in, encoding, body_offset, out);
    }
}

// Called on their own, the per-card functions read the index from the file's
// own position and leave the file at the index position when they return, so
// a caller may look at the file between the calls.
void take_file_position(card_stream& in) {
    const long at = std::ftell(in.file);
    if (at < 0) {
        start_stream(in);  // a stream that cannot tell (a pipe): go on counting
        return;
    }
    in.index_position = at;
    in.file_position = at;
}

void give_file_position(card_stream& in) {
    if (in.file_position != in.index_position &&
        static_cast<std::uint64_t>(in.index_position) <=
            static_cast<std::uint64_t>(std::numeric_limits<long>::max()) &&
        std::fseek(in.file, static_cast<long>(in.index_position), SEEK_SET) == 0) {
        in.file_position = in.index_position;
    }
}

}  // namespace

void read_index_entry(card_stream& in, int encoding, std::vector<std::int32_t>& card_offsets,
                      std::int16_t index, std::FILE* out) {
    take_file_position(in);
    list_index_entry(in, encoding, card_offsets, index, out);
    write_output(in, out);
    give_file_position(in);
}

void read_card_body(card_stream& in, int encoding, int variant, std::int32_t body_offset,
                    std::FILE* out) {
    take_file_position(in);
    list_card_body(in, encoding, variant, body_offset, out);
    write_output(in, out);
    give_file_position(in);
}

namespace {

card_file_result list_stream(std::FILE* file, int encoding, std::FILE* out) {
    card_stream in{file};
    start_stream(in);
    std::size_t signature_got = 0;
    const unsigned char* signature = window_bytes(in, in.index_window, INDEX_WINDOW_SIZE,
                                                  in.index_position, SIGNATURE_SIZE, signature_got);
    in.index_position += static_cast<std::int64_t>(SIGNATURE_SIZE);
    if (in.read_failed || !signature) {
        return CARD_FILE_OPEN_FAILED;
    }
    const std::string_view sig(reinterpret_cast<const char*>(signature), signature_got);
    int variant;
    std::int16_t count = 0;
    if (sig == "RRG") {
        std::array<unsigned char, RRG_HEADER_REST_SIZE> spare;
        count = decode_i16(next_index_field(in, spare) + RRG_COUNT_AT);
        variant = VARIANT_RRG;
    } else if (sig == "MGC") {
        std::array<unsigned char, CARD_COUNT_SIZE> spare;
        count = decode_i16(next_index_field(in, spare));
        variant = VARIANT_MGC;
    } else {
        // Only the bytes the file supplied: a short file shows fewer than three.
        std::fputs("\n\nThe signature is not supported: ", out);
        std::fwrite(sig.data(), 1, sig.size(), out);
        return CARD_FILE_BAD_SIGNATURE;
    }
    if (in.read_failed) {
        return CARD_FILE_OPEN_FAILED;
    }
    std::fprintf(out, "\n\n%s card file, total cards: %i\n", variant == VARIANT_RRG ? "RRG" : "MGC",
                 count);
    if (count > 0) {
        std::vector<std::int32_t> card_offsets(static_cast<std::size_t>(count));
        for (std::int16_t i = 0; i < count; ++i) {
            if (in.file_end >= 0 && in.index_position >= in.file_end) {
                // Entries wholly behind the end of the file read as zeros: none
                // of them has a body, and none prints anything.
                in.index_position += static_cast<std::int64_t>(count - i) *
                                     static_cast<std::int64_t>(INDEX_ENTRY_SIZE);
                std::fill(card_offsets.begin() + i, card_offsets.end(), NO_CARD_BODY);
                break;
            }
            list_index_entry(in, encoding, card_offsets, i, out);
            list_card_body(in, encoding, variant, card_offsets[static_cast<std::size_t>(i)], out);
            // Nothing more can be read, or nothing more can be written: stop here.
            if (in.read_failed || std::ferror(out)) {
                break;
            }
        }
        write_output(in, out);
    }
    give_file_position(in);  // behind the last entry read
    return in.read_failed ? CARD_FILE_OPEN_FAILED : CARD_FILE_OK;
}

}  // namespace

// The reader's memory is bounded (under a megabyte in all); should even that
// be refused, the file could not be read.
card_file_result list_card_stream(std::FILE* file, int encoding, std::FILE* out) {
    try {
        return list_stream(file, encoding, out);
    } catch (const std::bad_alloc&) {
        return CARD_FILE_OPEN_FAILED;
    }
}

card_file_result list_card_file(const char* path, int encoding, std::FILE* out) {
    const file_ptr file(std::fopen(path, "rb"));
    if (!file) {
        return CARD_FILE_OPEN_FAILED;
    }
    // The reader keeps its own blocks; stdio buffering would only copy them twice.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    return list_card_stream(file.get(), encoding, out);
}

card_file_result list_card_file(const char* path, int encoding) {
    return list_card_file(path, encoding, stdout);
}
