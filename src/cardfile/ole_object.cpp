// The walk over an "RRG" card's OLE 1.0 object, by its stated lengths,
// skipping its data unread, to the card's own fields and text behind it.
#include <algorithm>
#include <array>
#include <string>

#include "bodies.h"
#include "fixed.h"

namespace {

// Every field, string and block must lie inside the file, or the walk has
// failed; `failure` says which rule the object broke first.
struct object_cursor {
    card_stream& in;
    std::int64_t position;
    std::int64_t end;
    std::string failure{};

    bool ok() const { return failure.empty(); }

    void fail(std::string why) {
        if (ok()) {
            failure = std::move(why);
        }
    }

    bool fits(std::uint64_t size) {
        if (ok() && (end < position || static_cast<std::uint64_t>(end - position) < size)) {
            fail("it runs past the end of the file");
        }
        return ok();
    }

    template <std::size_t N>
    const unsigned char* field(std::array<unsigned char, N>& spare) {
        if (!fits(N)) {
            return nullptr;
        }
        std::size_t got = 0;
        const unsigned char* bytes = body_field(in, position, spare, got);
        if (!bytes || got < N || in.read_failed) {
            fail("it runs past the end of the file");
            return nullptr;
        }
        return bytes;
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
            fail("it runs past the end of the file");
            return {};
        }
        std::string value(stored_text(bytes, keep));
        const unsigned char* last =
            window_bytes(in, in.body_window, BODY_WINDOW_SIZE, position + size - 1, 1, got);
        if (!last || got != 1 || in.read_failed) {
            fail("it runs past the end of the file");
        } else if (*last != 0) {
            fail("a counted string without its NUL");
        }
        position += size;
        return value;
    }
};

// The kind of picture a format name names; PICTURE_CLIPBOARD for any other.
picture_kind kind_of_picture(const std::string& format) {
    return format == PICTURE_METAFILE_NAME ? PICTURE_METAFILE
           : format == PICTURE_DIB_NAME    ? PICTURE_DIB
           : format == PICTURE_BITMAP_NAME ? PICTURE_BITMAP
                                           : PICTURE_CLIPBOARD;
}

// A picture's body, of the format `format` names.
void read_picture(object_cursor& c, const std::string& format, object_picture& picture) {
    picture.format = format;
    picture.kind = kind_of_picture(format);
    if (picture.kind != PICTURE_CLIPBOARD) {
        picture.has_size = true;
        picture.width = c.u32();
        picture.height = c.u32();
        std::uint32_t size = c.u32();
        if (picture.kind == PICTURE_METAFILE && c.ok()) {
            if (size < METAFILE_RESERVED_SIZE) {
                c.fail("a metafile picture smaller than its 8 reserved bytes");
                return;
            }
            c.skip(METAFILE_RESERVED_SIZE);
            size -= METAFILE_RESERVED_SIZE;
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
    if (!c.ok() || format == PRESENTATION_NONE) {
        return;
    }
    if (format != PRESENTATION_PICTURE) {
        c.fail("an unknown presentation format (" + std::to_string(format) + ")");
        return;
    }
    const std::string name = c.counted_string();
    if (c.ok()) {
        object.has_picture = true;
        read_picture(c, name, object.picture);
    }
}

// The object type the card stores behind an object of each format.
constexpr std::uint16_t object_type_of(std::uint32_t kind) {
    return kind == OLE_EMBEDDED ? OBJECT_TYPE_EMBEDDED
           : kind == OLE_LINKED ? OBJECT_TYPE_LINKED
                                : OBJECT_TYPE_STATIC;
}

// Whether embedded data at `span` begins as a BMP file does ("BM").
bool begins_as_bmp(card_stream& in, const file_span& span) {
    if (span.size < 2) {
        return false;
    }
    std::size_t got = 0;
    const unsigned char* magic =
        window_bytes(in, in.data_window, BODY_WINDOW_SIZE, span.offset, 2, got);
    return magic && got == 2 && magic[0] == 'B' && magic[1] == 'M';
}

}  // namespace

void read_object(card_stream& in, std::int64_t position, card_body& body) {
    object_info& object = body.object;
    object_cursor c{in, position + static_cast<std::int64_t>(OBJECT_UID_SIZE), file_size(in)};
    c.u32();  // version
    object.kind = c.u32();
    if (c.ok() && object.kind != OLE_EMBEDDED && object.kind != OLE_LINKED &&
        object.kind != OLE_STATIC) {
        c.fail("an unknown object format (" + std::to_string(object.kind) + ")");
    }
    object.class_name = c.counted_string();
    if (!c.ok()) {
        // nothing more to walk
    } else if (object.kind == OLE_EMBEDDED) {
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
    } else if (kind_of_picture(object.class_name) != PICTURE_CLIPBOARD) {
        object.has_picture = true;
        read_picture(c, object.class_name, object.picture);
    } else {
        c.fail("a static object whose class name is not a picture format");
    }
    c.skip(OBJECT_CHARACTER_SIZE_SIZE);
    std::array<unsigned char, OBJECT_RECTANGLE_SIZE> spare;
    if (const unsigned char* rectangle = c.ok() ? c.field(spare) : nullptr) {
        for (int i = 0; i < 4; ++i) {
            object.rectangle[i] = decode_i16(rectangle + 2 * i);
        }
    }
    const std::uint16_t type = c.u16();
    if (c.ok() && type != object_type_of(object.kind)) {
        c.fail("the object type does not match the format");
    }
    const std::uint16_t text_length = c.u16();
    if (!c.ok()) {
        // What a damaged object claims is not shown: only the four fields.
        object_info notice_only;
        notice_only.uid = object.uid;
        notice_only.format_id = object.format_id;
        notice_only.class_name_length = object.class_name_length;
        object = std::move(notice_only);
        if (body.problem.empty()) {
            body.problem = "the object does not parse: " + c.failure;
        }
        return;
    }
    object.parsed = true;
    object.native_is_bmp = object.has_native && object.class_name == PAINTBRUSH_CLASS &&
                           begins_as_bmp(in, object.native);
    read_body_text(in, c.position, text_length, body);
}
