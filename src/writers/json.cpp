#include "json.h"

#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cardfile/format.h"
#include "decode/decode.h"
#include "text/numbers.h"
#include "text/scan.h"
#include "text/utf8_text.h"

namespace {

// What a JSON string escapes: control characters, '"' and '\'.
using json_special = any_of<c0_control, byte_is<'"'>, byte_is<'\\'>>;

// Writes `text`, UTF-8, as a JSON string: '"' and '\' escaped, and every
// control character as \n, \r, \t or \u00XX.
void put_string(output_block& block, std::string_view text) {
    char* at = output_room(block, 2 + 6 * text.size());
    *at++ = '"';
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end) {
        copy_plain<json_special>(p, end, at);
        if (p == end) {
            break;
        }
        // Card texts end their lines with CR LF: both at once.
        if (end - p >= 2 && p[0] == '\r' && p[1] == '\n') {
            std::memcpy(at, "\\r\\n", 4);
            at += 4;
            p += 2;
            continue;
        }
        const auto c = static_cast<unsigned char>(*p++);
        *at++ = '\\';
        switch (c) {
        case '"':
        case '\\':
            *at++ = static_cast<char>(c);
            break;
        case '\n':
            *at++ = 'n';
            break;
        case '\r':
            *at++ = 'r';
            break;
        case '\t':
            *at++ = 't';
            break;
        default:
            *at++ = 'u';
            *at++ = '0';
            *at++ = '0';
            at = put_hex_byte(c, at, true);
        }
    }
    *at++ = '"';
    output_done(block, at);
}

void put_literal(output_block& block, std::string_view text) {
    put_bytes(block, text);
}

void put_number(output_block& block, std::int64_t value) {
    output_done(block, put_decimal(value, output_room(block, DECIMAL_ROOM)));
}

// Numbers, each after what comes before it (its name and the punctuation).
void put_members(output_block& block,
                 std::initializer_list<std::pair<std::string_view, std::int64_t>> members) {
    for (const auto& [before, value] : members) {
        put_literal(block, before);
        put_number(block, value);
    }
}

// What the walk over an object that parses found.
void put_object(output_block& block, utf8_scratch& scratch, const object_info& object) {
    put_literal(block, ", \"class_name\": ");
    put_string(block, scratch.decode(object.class_name));
    put_literal(block, ", \"kind\": ");
    put_literal(block, object.kind == OLE_EMBEDDED ? "\"embedded\""
                       : object.kind == OLE_LINKED ? "\"linked\""
                                                   : "\"static\"");
    if (object.kind == OLE_LINKED) {
        put_literal(block, ", \"link\": ");
        put_string(block, scratch.decode(object.link));
    }
    if (object.has_native) {
        put_literal(block, ", \"native_size\": ");
        put_number(block, object.native.size);
    }
    if (object.has_picture) {
        put_literal(block, ", \"picture\": {\"format\": ");
        put_string(block, scratch.decode(object.picture.format));
        if (object.picture.has_size) {
            put_members(block, {{", \"width\": ", object.picture.width},
                                {", \"height\": ", object.picture.height}});
        }
        put_literal(block, "}");
    }
}

// A list of ASCII strings: ["a", "b"].
void put_list(output_block& block, const std::vector<std::string>& items) {
    put_literal(block, "[");
    const char* separator = "";
    for (const std::string& item : items) {
        put_literal(block, separator);
        put_string(block, item);
        separator = ", ";
    }
    put_literal(block, "]");
}

void put_card(output_block& block, utf8_scratch& scratch, const card_record& card,
              const std::vector<std::string>& files) {
    const card_body& body = card.body;
    put_literal(block, "{\"number\": ");
    put_number(block, card.number);
    put_literal(block, ", \"title\": ");
    put_string(block, scratch.decode(card.title));
    put_literal(block, ", \"text\": ");
    if (body.has_text) {
        put_string(block, scratch.decode(body.text));
    } else {
        put_literal(block, "null");
    }
    if (body.has_graphic) {
        const graphic_info& g = body.graphic;
        put_members(block, {{", \"graphic\": {\"length\": ", g.length},
                            {", \"width\": ", g.width},
                            {", \"height\": ", g.height},
                            {", \"x\": ", g.x},
                            {", \"y\": ", g.y}});
        put_literal(block, "}");
    }
    if (body.has_object) {
        const object_info& o = body.object;
        put_members(block, {{", \"object\": {\"uid\": ", o.uid},
                            {", \"format_id\": ", o.format_id},
                            {", \"class_name_length\": ", o.class_name_length}});
        if (body.object.parsed) {
            put_object(block, scratch, body.object);
        }
        put_literal(block, "}");
    }
    if (!files.empty()) {
        put_literal(block, ", \"files\": ");
        put_list(block, files);
    }
    if (!body.problem.empty()) {
        put_literal(block, ", \"problems\": [");
        put_string(block, body.problem);
        put_literal(block, "]");
    }
    put_literal(block, "}");
}

}  // namespace

void json_writer::begin(const file_start& file) {
    open = file.result == CARD_FILE_OK;
    if (!open) {
        return;
    }
    if (several) {
        put_literal(block, documents == 0 ? "[\n" : ",\n");
    }
    ++documents;
    scratch.page = code_page_of(file.encoding);
    const char* name = encoding_name(file.encoding);
    put_literal(block, "{\"file\": ");
    put_string(block, valid_utf8(file.path));
    put_literal(block, ", \"variant\": ");
    put_literal(block, file.header.variant == VARIANT_RRG ? "\"RRG\"" : "\"MGC\"");
    put_literal(block, ", \"encoding\": ");
    put_string(block, name ? name : "");
    put_literal(block, file.encoding_detected ? ", \"encoding_detected\": true"
                                              : ", \"encoding_detected\": false");
    put_literal(block, ", \"count\": ");
    put_number(block, file.header.count);
    put_literal(block, ",\n \"cards\": [");
    separator = "\n  ";
}

bool json_writer::card(const card_record& card, card_context& context) {
    put_literal(block, separator);
    separator = ",\n  ";
    put_card(block, scratch, card, context.files);
    return !std::ferror(block.out);  // nothing more can be written
}

void json_writer::end(const file_end& outcome) {
    if (open) {
        put_literal(block, "\n ],\n \"problems\": ");
        put_list(block, outcome.file_problems);
        put_literal(block, several ? "}" : "}\n");
        open = false;
    }
    flush_output(block);
}

void json_writer::finish() {
    if (several) {
        put_literal(block, documents == 0 ? "[]\n" : "\n]\n");
        flush_output(block);
    }
}
