// Card bodies: an "MGC" body (picture and text) and an "RRG" body (text, or
// an object and the text behind it).
#include "bodies.h"

#include <cstdio>
#include <cstring>

#include "fixed.h"
#include "reader.h"

std::string_view stored_text(const unsigned char* bytes, std::size_t size) {
    const char* text = reinterpret_cast<const char*>(bytes);
    const void* nul = std::memchr(text, '\0', size);
    return {text, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : size};
}

std::string bytes_of(std::uint64_t got, std::uint64_t size) {
    return "(" + std::to_string(got) + " of " + std::to_string(size) + " bytes)";
}

void read_body_text(card_stream& in, std::int64_t position, std::size_t length, card_body& body) {
    std::size_t got = 0;
    const unsigned char* bytes =
        window_bytes(in, in.body_window, BODY_WINDOW_SIZE, position, length, got);
    if (!bytes) {
        return;
    }
    body.has_text = true;
    body.text = stored_text(bytes, got);
    if (got < length && body.problem.empty()) {
        body.problem = "the text is cut short by the end of the file " + bytes_of(got, length);
    }
}

void read_counted_text(card_stream& in, std::int64_t position, card_body& body) {
    std::array<unsigned char, TEXT_LENGTH_SIZE> spare;
    std::size_t got = 0;
    const unsigned char* length = body_field(in, position, spare, got);
    if (!length) {
        return;
    }
    if (got < TEXT_LENGTH_SIZE && body.problem.empty()) {
        body.problem = "the text length is cut short by the end of the file";
    }
    read_body_text(in, position, decode_u16(length), body);
}

namespace {

// Notes a body whose first field the file does not hold whole; false when
// it holds none of it (an empty text then).
bool first_field_read(card_stream& in, std::int64_t offset, std::size_t got, card_body& body) {
    if (got == 0) {
        body.problem = "the body offset (" + std::to_string(offset) +
                       ") is at or beyond the end of the file (" + std::to_string(file_size(in)) +
                       " bytes)";
        body.has_text = true;  // zeros: an empty text
        return false;
    }
    body.problem = "the body is cut short by the end of the file";
    return true;
}

// The first field of a body, the u16 at `position` ("MGC": the graphic
// length; "RRG": the object flag), which moves past it; a field cut short
// has zeros for its missing byte. nullptr when nothing more of the body is to
// be read: the file cannot be positioned there, or it ends before the field.
inline const unsigned char* first_field(card_stream& in, std::int64_t& position,
                                        std::array<unsigned char, 2>& spare, card_body& body) {
    static_assert(GRAPHIC_LENGTH_SIZE == 2 && OBJECT_FLAG_SIZE == 2, "a u16 first");
    const std::int64_t offset = position;
    std::size_t got = 0;
    const unsigned char* field = body_field(in, position, spare, got);
    if (field && got < 2 && !first_field_read(in, offset, got, body)) {
        return nullptr;
    }
    return field;
}

void read_mgc_body(card_stream& in, std::int64_t position, card_body& body) {
    const std::int64_t offset = position;
    std::array<unsigned char, 2> spare;
    const unsigned char* graphic = first_field(in, position, spare, body);
    if (!graphic) {
        return;
    }
    const std::uint16_t length = decode_u16(graphic);
    if (length != 0) {
        std::size_t got = 0;
        std::array<unsigned char, GRAPHIC_FIELDS_SIZE> fields_spare;
        const unsigned char* fields = body_field(in, position, fields_spare, got);
        if (!fields) {
            return;
        }
        graphic_info& info = body.graphic;
        body.has_graphic = true;
        info.length = length;
        info.width = decode_u16(fields + GRAPHIC_WIDTH_AT);
        info.height = decode_u16(fields + GRAPHIC_HEIGHT_AT);
        info.x = decode_u16(fields + GRAPHIC_X_AT);
        info.y = decode_u16(fields + GRAPHIC_Y_AT);
        info.row_size = graphic_row_size(info.width);
        info.bits = {position, length};
        // How much of the fields and bits the file holds.
        const std::int64_t end = in.file_end >= 0 ? in.file_end : file_size(in);
        const std::int64_t block_end = position + length;
        const std::uint64_t held = end < 0 || end >= block_end ? GRAPHIC_FIELDS_SIZE + length
                                   : end <= offset + 2
                                       ? 0
                                       : static_cast<std::uint64_t>(end - offset - 2);
        if (held < GRAPHIC_FIELDS_SIZE + length && body.problem.empty()) {
            body.problem = "the picture is cut short by the end of the file " +
                           bytes_of(held, GRAPHIC_FIELDS_SIZE + length);
        }
        info.consistent = info.width != 0 && info.height != 0 &&
                          length == info.row_size * info.height &&
                          held == GRAPHIC_FIELDS_SIZE + length;
        position = block_end;
    }
    read_counted_text(in, position, body);
}

void read_rrg_body(card_stream& in, std::int64_t position, card_body& body) {
    std::array<unsigned char, 2> spare;
    const unsigned char* flag = first_field(in, position, spare, body);
    if (!flag) {
        return;
    }
    if (decode_u16(flag) == 0) {
        read_counted_text(in, position, body);
        return;
    }
    std::size_t got = 0;
    std::array<unsigned char, OBJECT_FIELDS_SIZE> fields_spare;
    std::int64_t at = position;
    const unsigned char* fields = body_field(in, at, fields_spare, got);
    if (!fields) {
        return;
    }
    body.has_object = true;
    body.object.uid = decode_i32(fields + OBJECT_UID_AT);
    body.object.format_id = decode_i32(fields + OBJECT_FORMAT_ID_AT);
    body.object.class_name_length = decode_i32(fields + OBJECT_CLASS_NAME_LENGTH_AT);
    read_object(in, position, body);
}

// A body record made empty for the next card, keeping what its strings hold.
void clear_body(card_body& body) {
    if (body.has_object) {
        body.object = object_info{};
    }
    body.has_text = false;
    body.text = {};
    body.has_graphic = false;
    body.graphic = graphic_info{};
    body.has_object = false;
    body.problem.clear();
}

}  // namespace

void read_card_body(card_stream& in, int variant, std::int32_t body_offset, card_body& body) {
    clear_body(body);
    if (body_offset < 0) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lX",
                      static_cast<unsigned long>(static_cast<std::uint32_t>(body_offset)));
        body.problem =
            std::string("the body offset has its top bit set (") + hex + "); the body is not read";
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
