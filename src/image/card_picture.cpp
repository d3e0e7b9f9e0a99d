#include "card_picture.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "base64.h"
#include "bmp.h"
#include "cardfile/format.h"
#include "picture.h"
#include "png.h"

namespace {

// Places beyond this many pixels from the card's corner, or larger, are not
// taken as a place on a card.
constexpr int LARGEST_PLACE = 4096;

bool fits_on_card(long x, long y, long width, long height) {
    return x >= 0 && y >= 0 && x < LARGEST_PLACE && y < LARGEST_PLACE && width > 0 && height > 0 &&
           width <= LARGEST_PLACE && height <= LARGEST_PLACE;
}

void place(card_picture& picture, long x, long y, long width, long height) {
    if (fits_on_card(x, y, width, height)) {
        picture.placed = true;
        picture.x = static_cast<int>(x);
        picture.y = static_cast<int>(y);
        picture.place_width = static_cast<int>(width);
        picture.place_height = static_cast<int>(height);
    }
}

// Makes `picture` the PNG file of `image`, in base64 in `memory`; false when
// it cannot be made. The image is let go once its PNG file is made, and that
// once it is in base64: at most two of the three are held at a time.
bool take_image(card_picture& picture, std::optional<decoded_image>& image,
                picture_memory& memory) {
    if (!image) {
        return false;
    }
    const std::uint32_t width = image->width;
    const std::uint32_t height = image->height;
    std::string png = encode_png(*image);
    image.reset();
    if (png.empty()) {
        return false;
    }
    memory.png_base64 = base64_encode(png);
    picture.kind = card_picture_kind::image;
    picture.width = width;
    picture.height = height;
    picture.png_base64 = memory.png_base64;
    return true;
}

// Lets go of a string's memory.
void release(std::string& bytes) {
    std::string().swap(bytes);
}

enum class drawing { drawn, too_large, not_drawn };

// Draws the DIB (with `bmp_file`, the BMP file) stored at `span`: reads its
// headers, then only the colour table's entries in use and the pixel rows,
// unless the picture has more than LARGEST_DRAWN_PICTURE pixels.
drawing draw_dib(card_stream& data, file_span span, bool bmp_file, picture_memory& memory,
                 card_picture& picture) {
    const std::size_t header_at = bmp_file ? BMP_FILE_HEADER_SIZE : 0;
    const file_span head{span.offset,
                         std::min<std::uint32_t>(span.size, header_at + DIB_HEAD_SIZE)};
    if (!read_span(data, head, memory.head)) {
        return drawing::not_drawn;
    }
    const auto parts = dib_parts_of(memory.head, span.size, bmp_file);
    if (!parts) {
        return drawing::not_drawn;
    }
    if (parts->width * parts->height > LARGEST_DRAWN_PICTURE) {
        return drawing::too_large;
    }
    if (!parts->held) {
        return drawing::not_drawn;
    }
    // Within the span, as dib_parts_of makes sure: offsets and sizes fit.
    const auto part = [&](std::uint64_t at, std::uint64_t size) {
        return file_span{span.offset + static_cast<std::int64_t>(at),
                         static_cast<std::uint32_t>(size)};
    };
    std::optional<decoded_image> image;
    if (read_span(data, part(parts->table_at, parts->table_size), memory.table) &&
        read_span(data, part(parts->rows_at, parts->rows_size), memory.rows)) {
        image = decode_dib_parts(std::string_view(memory.head).substr(header_at), memory.table,
                                 memory.rows);
    }
    release(memory.rows);
    return take_image(picture, image, memory) ? drawing::drawn : drawing::not_drawn;
}

const char* what_is_not_shown(const object_info& object) {
    if (!object.has_picture) {
        return "an object with no picture";
    }
    switch (object.picture.kind) {
    case PICTURE_METAFILE:
        return "a Windows metafile";
    case PICTURE_BITMAP:
        return "a device-dependent bitmap of unknown colours";
    case PICTURE_DIB:
        return "a bitmap that does not decode";
    case PICTURE_CLIPBOARD:
        break;
    }
    return "a picture in another clipboard format";
}

}  // namespace

bool read_span(card_stream& data, file_span span, std::string& bytes) {
    bytes.clear();
    while (span.size > 0) {
        std::size_t size = 0;
        const unsigned char* block = read_data_block(data, span, size);
        if (!block || size == 0) {
            return false;
        }
        bytes.append(reinterpret_cast<const char*>(block), size);
    }
    return true;
}

std::optional<device_bitmap> read_device_bitmap(card_stream& data, file_span span,
                                                std::string& bytes) {
    file_span head = span;
    head.size = std::min<std::uint32_t>(head.size, DEVICE_BITMAP_HEAD_SIZE);
    std::size_t size = 0;
    const unsigned char* block = read_data_block(data, head, size);
    if (!block) {
        return std::nullopt;
    }
    auto bitmap =
        read_device_bitmap(std::string_view(reinterpret_cast<const char*>(block), size), span.size);
    if (!bitmap) {
        return std::nullopt;
    }
    // Of each row, only the bytes its pixels need.
    const std::uint32_t used = (bitmap->width * bitmap->bits + 7) / 8;
    bytes.clear();
    bytes.reserve(std::size_t{used} * bitmap->height);
    for (std::uint32_t y = 0; y < bitmap->height; ++y) {
        file_span row{span.offset + bitmap->rows_at + std::int64_t{bitmap->row_size} * y, used};
        while (row.size > 0) {
            block = read_data_block(data, row, size);
            if (!block || size == 0) {
                return std::nullopt;
            }
            bytes.append(reinterpret_cast<const char*>(block), size);
        }
    }
    bitmap->rows_at = 0;
    bitmap->row_size = used;
    bitmap->rows_size = used * bitmap->height;
    return bitmap;
}

namespace {

// The picture of an "MGC" card, or of an object: what is drawn, not where.
void draw_graphic(const graphic_info& graphic, card_stream& data, picture_memory& memory,
                  card_picture& picture) {
    std::optional<decoded_image> image;
    if (read_span(data, graphic.bits, memory.rows)) {
        image = decode_mgc_picture(graphic.width, graphic.height, memory.rows);
    }
    release(memory.rows);
    if (!take_image(picture, image, memory)) {
        picture.kind = card_picture_kind::box;
        picture.what = "a picture the file does not hold whole";
    }
}

// A device-dependent bitmap whose colours can be known ("BITMAP"), unless it
// has more than LARGEST_DRAWN_PICTURE pixels.
drawing draw_device_bitmap(card_stream& data, file_span span, picture_memory& memory,
                           card_picture& picture) {
    file_span head = span;
    head.size = std::min<std::uint32_t>(head.size, DEVICE_BITMAP_HEAD_SIZE);
    if (!read_span(data, head, memory.head)) {
        return drawing::not_drawn;
    }
    const auto stated = read_device_bitmap(memory.head, span.size);
    if (!stated) {
        return drawing::not_drawn;
    }
    if (std::uint64_t{stated->width} * stated->height > LARGEST_DRAWN_PICTURE) {
        return drawing::too_large;
    }
    std::optional<decoded_image> image;
    if (const auto bitmap = read_device_bitmap(data, span, memory.rows)) {
        image = decode_device_bitmap(*bitmap, memory.rows);
    }
    release(memory.rows);
    return take_image(picture, image, memory) ? drawing::drawn : drawing::not_drawn;
}

// A Paintbrush object shows its DIB presentation, which is its BMP file's own
// picture; the BMP file itself stands in when the presentation is none.
void draw_object(const object_info& object, card_stream& data, picture_memory& memory,
                 card_picture& picture) {
    const bool dib = object.has_picture && object.picture.kind == PICTURE_DIB;
    drawing drawn = drawing::not_drawn;
    if (dib) {
        drawn = draw_dib(data, object.picture.data, false, memory, picture);
    } else if (object.has_picture && object.picture.kind == PICTURE_BITMAP) {
        drawn = draw_device_bitmap(data, object.picture.data, memory, picture);
    }
    if (drawn != drawing::drawn && object.has_native && object.native_is_bmp) {
        const drawing native = draw_dib(data, object.native, true, memory, picture);
        drawn = native == drawing::not_drawn ? drawn : native;
    }
    if (drawn == drawing::drawn) {
        return;
    }
    picture.kind = card_picture_kind::box;
    picture.what = drawn == drawing::too_large ? PICTURE_TOO_LARGE : what_is_not_shown(object);
}

picture_key key_of(const card_body& body) {
    picture_key key;
    if (body.has_graphic) {
        key.offset = body.graphic.bits.offset;
        key.size = body.graphic.bits.size;
        key.width = body.graphic.width;
        key.height = body.graphic.height;
        return key;
    }
    const object_info& object = body.object;
    if (object.has_picture) {
        key.offset = object.picture.data.offset;
        key.size = object.picture.data.size;
        key.width = static_cast<std::uint32_t>(object.picture.kind);
    }
    if (object.has_native && object.native_is_bmp) {
        key.bmp_offset = object.native.offset;
        key.bmp_size = object.native.size;
    }
    return key;
}

// Draws what `body` shows, or takes it from the pictures drawn before.
void draw(const card_body& body, card_stream& data, picture_memory& memory, card_picture& picture) {
    const picture_key key = key_of(body);
    for (const picture_memory::drawn& kept : memory.kept) {
        if (kept.key == key) {
            picture.kind = kept.kind;
            picture.png_base64 = kept.png_base64;
            picture.width = kept.width;
            picture.height = kept.height;
            picture.what = kept.what;
            return;
        }
    }
    if (body.has_graphic) {
        draw_graphic(body.graphic, data, memory, picture);
    } else {
        draw_object(body.object, data, memory, picture);
    }
    if (memory.kept.size() < picture_memory::KEPT_PICTURES &&
        memory.kept_bytes + picture.png_base64.size() <= picture_memory::KEPT_BYTES) {
        // The PNG file just drawn moves in (a box has none).
        memory.kept_bytes += picture.png_base64.size();
        memory.kept.push_back(picture_memory::drawn{key, picture.kind, std::move(memory.png_base64),
                                                    picture.width, picture.height, picture.what});
        picture.png_base64 = memory.kept.back().png_base64;
    }
}

}  // namespace

void forget_pictures(picture_memory& memory) {
    memory.kept.clear();
    memory.kept_bytes = 0;
}

card_picture picture_of_card(const card_record& card, card_stream& data, picture_memory& memory) {
    card_picture picture;
    const card_body& body = card.body;
    if (body.has_graphic) {
        const graphic_info& graphic = body.graphic;
        if (!graphic.consistent) {
            return picture;
        }
        draw(body, data, memory, picture);
        place(picture, graphic.x, graphic.y, graphic.width, graphic.height);
        return picture;
    }
    if (!body.has_object) {
        return picture;
    }
    const object_info& object = body.object;
    picture.object = true;
    picture.kind = card_picture_kind::box;
    if (!object.parsed) {
        picture.what = "an object that could not be read";
        return picture;
    }
    picture.class_name = object.class_name;
    picture.linked = object.kind == OLE_LINKED;
    if (picture.linked) {
        picture.link = object.link;
    }
    const std::int16_t* rect = object.rectangle;
    place(picture, rect[0], rect[1], long{rect[2]} - rect[0], long{rect[3]} - rect[1]);
    draw(body, data, memory, picture);
    return picture;
}
