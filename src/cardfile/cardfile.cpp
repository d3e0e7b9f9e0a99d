#include "cardfile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "fixed.h"

namespace {

// Notes a failed read, keeping the first error the system gave.
void fail_read(card_stream& in, int error) {
    if (!in.read_failed) {
        in.read_error = error;
    }
    in.read_failed = true;
}

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
            fail_read(in, errno);
            return false;
        }
        in.file_position = position;
    }
    errno = 0;
    const std::size_t got = std::fread(window.bytes.data(), 1, capacity, in.file);
    window.size = got;
    in.file_position += static_cast<std::int64_t>(got);
    if (got < capacity) {
        if (std::ferror(in.file)) {
            const int error = errno;
            std::clearerr(in.file);  // a later read may try again
            if (got < needed) {
                fail_read(in, error);
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

// The body text of `length` bytes at `position`. It is used where it lies in
// the body window; bytes the file does not hold end it, as a NUL would.
void read_body_text(card_stream& in, std::int64_t position, std::size_t length, card_body& body) {
    std::size_t got = 0;
    const unsigned char* bytes =
        window_bytes(in, in.body_window, BODY_WINDOW_SIZE, position, length, got);
    if (!bytes) {
        return;
    }
    body.has_text = true;
    body.text = stored_text(bytes, got);
}

void read_mgc_body(card_stream& in, std::int64_t position, card_body& body) {
    std::array<unsigned char, GRAPHIC_LENGTH_SIZE> spare;
    const unsigned char* graphic = next_body_field(in, position, spare);
    if (!graphic) {
        return;
    }
    const std::uint16_t graphic_length = decode_u16(graphic);
    if (graphic_length != 0) {
        std::int64_t at = position;
        std::array<unsigned char, GRAPHIC_SIZE_FIELDS_SIZE> size_spare;
        const unsigned char* size = next_body_field(in, at, size_spare);
        if (!size) {
            return;
        }
        body.has_graphic = true;
        body.graphic = {graphic_length, decode_u16(size + GRAPHIC_WIDTH_AT),
                        decode_u16(size + GRAPHIC_HEIGHT_AT),
                        position + static_cast<std::int64_t>(GRAPHIC_BITS_AT)};
        position += graphic_length + GRAPHIC_BLOCK_EXTRA;
    }
    if (const unsigned char* length = next_body_field(in, position, spare)) {
        read_body_text(in, position, decode_u16(length), body);
    }
}

// The size of the file, found once by seeking to its end; -1 when the file
// cannot tell.
std::int64_t file_size(card_stream& in) {
    if (in.file_end >= 0) {
        return in.file_end;
    }
    if (std::fseek(in.file, 0, SEEK_END) != 0) {
        std::clearerr(in.file);
        in.file_position = -1;
        return -1;
    }
    const long size = std::ftell(in.file);
    in.file_position = size;
    if (size >= 0) {
        in.file_end = size;
    }
    return size;
}

// Walks an object by its stated lengths, skipping its data unread. Every
// field, string and block must lie inside the file, or the walk has failed.
struct object_cursor {
    card_stream& in;
    std::int64_t position;
    std::int64_t end;
    bool ok = true;

    bool fits(std::uint64_t size) {
        ok = ok && end >= position && static_cast<std::uint64_t>(end - position) >= size;
        return ok;
    }

    template <std::size_t N>
    const unsigned char* field(std::array<unsigned char, N>& spare) {
        if (!fits(N)) {
            return nullptr;
        }
        const unsigned char* bytes = next_body_field(in, position, spare);
        ok = ok && bytes && !in.read_failed;
        return ok ? bytes : nullptr;
    }

    std::uint32_t u32() {
        std::array<unsigned char, 4> spare;
        const unsigned char* bytes = field(spare);
        return bytes ? decode_u32(bytes) : 0;
    }

    std::uint16_t u16() {
        std::array<unsigned char, 2> spare;
        const unsigned char* bytes = field(spare);
        return bytes ? decode_u16(bytes) : 0;
    }

    void skip(std::uint64_t size) {
        if (fits(size)) {
            position += static_cast<std::int64_t>(size);
        }
    }

    // A counted string: its bytes before the first NUL, at most
    // OBJECT_NAME_KEPT of them. Its last byte must be a NUL.
    std::string counted_string() {
        const std::uint32_t size = u32();
        if (!fits(size) || size == 0) {
            return {};
        }
        const std::size_t keep = std::min<std::size_t>(size, OBJECT_NAME_KEPT);
        std::size_t got = 0;
        const unsigned char* bytes =
            window_bytes(in, in.body_window, BODY_WINDOW_SIZE, position, keep, got);
        if (!bytes || got < keep) {
            ok = false;
            return {};
        }
        const std::string value(stored_text(bytes, keep));
        const unsigned char* last =
            window_bytes(in, in.body_window, BODY_WINDOW_SIZE, position + size - 1, 1, got);
        ok = ok && last && got == 1 && *last == 0 && !in.read_failed;
        position += size;
        return value;
    }
};

bool names_sized_picture(const std::string& format) {
    return format == "METAFILEPICT" || format == "DIB" || format == "BITMAP";
}

// A picture's body, of the format `format` names.
void read_picture(object_cursor& c, const std::string& format, object_picture& picture) {
    picture.format = format;
    if (names_sized_picture(format)) {
        picture.has_size = true;
        picture.width = c.u32();
        picture.height = c.u32();
        std::uint32_t size = c.u32();
        if (format == "METAFILEPICT") {
            c.ok = c.ok && size >= METAFILE_RESERVED_SIZE;
            c.skip(METAFILE_RESERVED_SIZE);
            size -= c.ok ? METAFILE_RESERVED_SIZE : 0;
        }
        picture.data = {c.position, size};
        c.skip(size);
        return;
    }
    // A clipboard format: its number, its registered name when the number is 0.
    if (c.u32() == 0) {
        c.counted_string();
    }
    const std::uint32_t size = c.u32();
    picture.data = {c.position, size};
    c.skip(size);
}

void read_presentation(object_cursor& c, object_info& object) {
    c.u32();  // version
    const std::uint32_t format = c.u32();
    if (format == PRESENTATION_NONE) {
        return;
    }
    c.ok = c.ok && format == PRESENTATION_PICTURE;
    const std::string name = c.counted_string();
    if (c.ok) {
        object.has_picture = true;
        read_picture(c, name, object.picture);
    }
}

// The object type the card stores behind an object of each format.
constexpr std::uint16_t object_type_of(std::uint32_t kind) {
    return kind == OLE_EMBEDDED ? 0 : kind == OLE_LINKED ? 1 : 2;
}

// Walks the object of the body whose UID is at `position`, and reads the
// card's text behind it when the object parses.
void read_object(card_stream& in, std::int64_t position, card_body& body) {
    object_info& object = in.object;
    object_cursor c{in, position + static_cast<std::int64_t>(OBJECT_UID_SIZE), file_size(in)};
    c.u32();  // version
    object.kind = c.u32();
    object.class_name = c.counted_string();
    if (object.kind == OLE_EMBEDDED) {
        c.counted_string();  // topic name
        c.counted_string();  // item name
        const std::uint32_t size = c.u32();
        object.native = {c.position, size};
        object.has_native = true;
        c.skip(size);
        read_presentation(c, object);
    } else if (object.kind == OLE_LINKED) {
        object.link = c.counted_string();  // topic name: the linked file
        c.counted_string();                // item name
        c.counted_string();                // network name
        c.u32();                           // reserved
        c.u32();                           // link update option
        read_presentation(c, object);
    } else if (object.kind == OLE_STATIC && names_sized_picture(object.class_name)) {
        object.has_picture = true;
        read_picture(c, object.class_name, object.picture);
    } else {
        c.ok = false;
    }
    c.skip(OBJECT_CARD_FIELDS_SIZE);
    c.ok = c.ok && c.u16() == object_type_of(object.kind);
    const std::uint16_t text_length = c.u16();
    if (!c.ok) {
        // What a damaged object claims is not shown: only the four fields.
        object_info notice_only;
        notice_only.uid = object.uid;
        notice_only.format_id = object.format_id;
        notice_only.class_name_length = object.class_name_length;
        object = std::move(notice_only);
        return;
    }
    object.parsed = true;
    read_body_text(in, c.position, text_length, body);
}

void read_rrg_body(card_stream& in, std::int64_t position, card_body& body) {
    std::array<unsigned char, OBJECT_FLAG_SIZE> flag_spare;
    const unsigned char* flag = next_body_field(in, position, flag_spare);
    if (!flag) {
        return;
    }
    if (decode_u16(flag) == 0) {
        std::array<unsigned char, TEXT_LENGTH_SIZE> length_spare;
        if (const unsigned char* length = next_body_field(in, position, length_spare)) {
            read_body_text(in, position, decode_u16(length), body);
        }
        return;
    }
    std::array<unsigned char, OBJECT_FIELDS_SIZE> fields_spare;
    std::int64_t at = position;
    const unsigned char* fields = next_body_field(in, at, fields_spare);
    if (!fields) {
        return;
    }
    in.object = object_info{};
    in.object.uid = decode_i32(fields + OBJECT_UID_AT);
    in.object.format_id = decode_i32(fields + OBJECT_FORMAT_ID_AT);
    in.object.class_name_length = decode_i32(fields + OBJECT_CLASS_NAME_LENGTH_AT);
    body.object = &in.object;
    read_object(in, position, body);
}

}  // namespace

card_file_header read_card_file_header(card_stream& in) {
    card_file_header header;
    start_stream(in);
    std::size_t signature_got = 0;
    const unsigned char* signature = window_bytes(in, in.index_window, INDEX_WINDOW_SIZE,
                                                  in.index_position, SIGNATURE_SIZE, signature_got);
    in.index_position += static_cast<std::int64_t>(SIGNATURE_SIZE);
    if (in.read_failed || !signature) {
        header.result = CARD_FILE_OPEN_FAILED;
        return header;
    }
    const std::string_view sig(reinterpret_cast<const char*>(signature), signature_got);
    if (sig == "RRG") {
        std::array<unsigned char, RRG_HEADER_REST_SIZE> spare;
        header.count = decode_i16(next_index_field(in, spare) + RRG_COUNT_AT);
        header.variant = VARIANT_RRG;
    } else if (sig == "MGC") {
        std::array<unsigned char, CARD_COUNT_SIZE> spare;
        header.count = decode_i16(next_index_field(in, spare));
        header.variant = VARIANT_MGC;
    } else {
        header.result = CARD_FILE_BAD_SIGNATURE;
        header.signature = sig;
        return header;
    }
    if (in.read_failed) {
        header.result = CARD_FILE_OPEN_FAILED;
    }
    return header;
}

card_entry read_card_entry(card_stream& in) {
    const unsigned char* entry = next_index_field(in, in.entry_spare);
    card_entry read;
    read.body_offset = decode_i32(entry + INDEX_BODY_OFFSET_AT);
    if (read.body_offset == 0 || entry[INDEX_FLAG_AT] != 0) {
        read.body_offset = NO_CARD_BODY;
        return read;
    }
    read.listed = true;
    read.title = stored_text(entry + INDEX_TEXT_AT, INDEX_TEXT_SIZE);
    return read;
}

namespace {

void read_body(card_stream& in, int variant, std::int32_t body_offset, card_body& body) {
    body = card_body{};
    if (body_offset < 0) {
        return;
    }
    // The body is read through its own window: the index position stays put.
    start_stream(in);
    if (variant == VARIANT_RRG) {
        read_rrg_body(in, body_offset, body);
    } else {
        read_mgc_body(in, body_offset, body);
    }
}

}  // namespace

card_body read_card_body_record(card_stream& in, int variant, std::int32_t body_offset) {
    card_body body;
    read_body(in, variant, body_offset, body);
    return body;
}

card_walk start_card_walk(card_stream& in) {
    card_walk walk;
    walk.header = read_card_file_header(in);
    return walk;
}

bool next_card(card_stream& in, card_walk& walk, card_record& card) {
    if (walk.header.result != CARD_FILE_OK) {
        return false;
    }
    while (walk.next < walk.header.count && !in.read_failed) {
        if (in.file_end >= 0 && in.index_position >= in.file_end) {
            // Entries wholly behind the end of the file read as zeros: none
            // of them has a body, and none is listed.
            in.index_position += static_cast<std::int64_t>(walk.header.count - walk.next) *
                                 static_cast<std::int64_t>(INDEX_ENTRY_SIZE);
            walk.next = walk.header.count;
            break;
        }
        const std::int16_t index = walk.next++;
        const card_entry entry = read_card_entry(in);
        if (!entry.listed) {
            continue;
        }
        card.number = index + 1;
        card.title = entry.title;
        read_body(in, walk.header.variant, entry.body_offset, card.body);
        return true;
    }
    return false;
}

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

const unsigned char* read_span_block(card_stream& in, file_span& span, std::size_t& size) {
    size = std::min<std::size_t>(span.size, BODY_WINDOW_SIZE);
    std::size_t got = 0;
    const unsigned char* bytes =
        window_bytes(in, in.data_window, BODY_WINDOW_SIZE, span.offset, size, got);
    if (!bytes || got < size || in.read_failed) {
        return nullptr;
    }
    span.offset += static_cast<std::int64_t>(size);
    span.size -= static_cast<std::uint32_t>(size);
    return bytes;
}

bool reader_memory_available() {
    constexpr std::size_t READER_MEMORY = 1024 * 1024;
    void* probe = std::malloc(READER_MEMORY);
    std::free(probe);
    return probe != nullptr;
}

owned_stream open_card_file(const char* path) {
    owned_stream file(std::fopen(path, "rb"));
    if (file) {
        // The reader keeps its own blocks; stdio buffering would only copy them twice.
        std::setvbuf(file.get(), nullptr, _IONBF, 0);
    }
    return file;
}
