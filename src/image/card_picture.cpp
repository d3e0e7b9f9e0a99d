#include "card_picture.h"

#include <algorithm>
#include <optional>

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

// Makes `picture` the PNG of `image`; false when it cannot be made.
bool take_image(card_picture& picture, const std::optional<decoded_image>& image) {
    if (!image) {
        return false;
    }
    picture.png = encode_png(*image);
    if (picture.png.empty()) {
        return false;
    }
    picture.kind = card_picture_kind::image;
    picture.width = image->width;
    picture.height = image->height;
    return true;
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

card_picture picture_of_card(const card_record& card, card_stream& data, std::string& scratch) {
    card_picture picture;
    const card_body& body = card.body;
    if (body.has_graphic) {
        const graphic_info& graphic = body.graphic;
        if (!graphic.consistent) {
            return picture;
        }
        if (!read_span(data, graphic.bits, scratch) ||
            !take_image(picture, decode_mgc_picture(graphic.width, graphic.height, scratch))) {
            picture.kind = card_picture_kind::box;
            picture.what = "a picture the file does not hold whole";
        }
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
    // A Paintbrush object shows its DIB presentation, which is its BMP file's
    // own picture; the BMP file itself stands in when the presentation is none.
    const bool dib = object.has_picture && object.picture.kind == PICTURE_DIB;
    if (dib && read_span(data, object.picture.data, scratch) &&
        take_image(picture, decode_dib(scratch))) {
        return picture;
    }
    if (object.has_picture && object.picture.kind == PICTURE_BITMAP) {
        if (const auto bitmap = read_device_bitmap(data, object.picture.data, scratch);
            bitmap && take_image(picture, decode_device_bitmap(*bitmap, scratch))) {
            return picture;
        }
    }
    if (object.has_native && object.native_is_bmp && read_span(data, object.native, scratch) &&
        take_image(picture, decode_bmp_file(scratch))) {
        return picture;
    }
    picture.what = what_is_not_shown(object);
    return picture;
}
