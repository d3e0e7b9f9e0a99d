#include "formats.h"

#include <new>

#include "text/utf8_text.h"

namespace {

template <typename Writer, typename... Arguments>
Writer& make(writer_room& room, Arguments&&... arguments) {
    return room.emplace<Writer>(std::forward<Arguments>(arguments)...);
}

card_writer& make_listing(writer_room& room, const writer_settings& s) {
    auto& listing = make<listing_writer>(room, s.out);
    listing.caret = s.terminal;
    return listing;
}

card_writer& make_json(writer_room& room, const writer_settings& s) {
    return make<json_writer>(room, s.out, s.several);
}

card_writer& make_csv(writer_room& room, const writer_settings& s) {
    auto& csv = make<csv_writer>(room, s.out, s.extract != nullptr, s.several);
    csv.as_stored = s.csv_as_stored;
    return csv;
}

card_writer& make_html(writer_room& room, const writer_settings& s) {
    auto& html = make<html_writer>(room, s.out, s.several, s.extract ? s.extract : "");
    try {
        for (const char* path : s.files ? *s.files : std::vector<const char*>()) {
            html.files.push_back(valid_utf8(path));
        }
    } catch (const std::bad_alloc&) {
        html.files.clear();  // memory refused: the page goes without its list of files
    }
    return html;
}

card_writer& make_vcard(writer_room& room, const writer_settings& s) {
    return make<vcard_writer>(room, s.out, 3);
}

card_writer& make_vcard4(writer_room& room, const writer_settings& s) {
    return make<vcard_writer>(room, s.out, 4);
}

}  // namespace

const std::array<output_format, 6> OUTPUT_FORMATS = {{
    {"listing", " (the default)", true, make_listing},
    {"json", "", false, make_json},
    {"csv", "", false, make_csv},
    {"html", "", false, make_html},
    {"vcard", "", false, make_vcard},
    {"vcard4", "", false, make_vcard4},
}};

const output_format* format_by_name(std::string_view name) {
    for (const output_format& format : OUTPUT_FORMATS) {
        if (name == format.name) {
            return &format;
        }
    }
    return nullptr;
}

void print_format_names(std::FILE* out, bool with_help, const char* last_joint) {
    const char* joint = "";
    for (std::size_t i = 0; i < OUTPUT_FORMATS.size(); ++i) {
        std::fputs(joint, out);
        std::fputs(OUTPUT_FORMATS[i].name, out);
        if (with_help) {
            std::fputs(OUTPUT_FORMATS[i].help, out);
        }
        joint = i + 2 == OUTPUT_FORMATS.size() ? last_joint : ", ";
    }
}
