#include "csv.h"

#include <string>
#include <string_view>

#include "decode/decode.h"
#include "text/numbers.h"
#include "text/scan.h"
#include "text/utf8_text.h"

namespace {

// What makes a field quoted: a comma, a double quote, CR or LF.
using csv_special = any_of<byte_is<','>, byte_is<'"'>, byte_is<'\r'>, byte_is<'\n'>>;

// What is doubled in a quoted field.
using csv_quote = byte_is<'"'>;

// Whether a spreadsheet would evaluate a field that begins with `c` (a
// formula, or a TAB or CR before one).
constexpr bool begins_formula(char c) {
    return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}

// Writes `text` as a field: as it is, or enclosed in double quotes with its
// own double quotes doubled when it holds a comma, a double quote, CR or LF.
// With `guard`, a field that a spreadsheet would evaluate gets an apostrophe
// in front, which keeps it text.
void put_field(output_block& block, std::string_view text, bool guard) {
    const char* p = text.data();
    const char* const end = p + text.size();
    const bool formula = guard && p != end && begins_formula(*p);
    if (find_special<csv_special>(p, end) == end) {
        put_bytes(block, formula ? "'" : "");
        put_bytes(block, text);
        return;
    }
    char* at = output_room(block, 3 + 2 * text.size());
    *at++ = '"';
    if (formula) {
        *at++ = '\'';
    }
    while (p != end) {
        copy_plain<csv_quote>(p, end, at);
        if (p != end) {
            *at++ = '"';
            *at++ = *p++;
        }
    }
    *at++ = '"';
    output_done(block, at);
}

}  // namespace

void csv_writer::begin(const file_start& file) {
    if (file.result != CARD_FILE_OK) {
        return;
    }
    scratch.page = code_page_of(file.encoding);
    if (several) {
        path = valid_utf8(file.path);
    }
    if (!header_written) {
        put_bytes(block, several ? "file," : "");
        put_bytes(block, files_column ? "number,title,text,files\r\n" : "number,title,text\r\n");
        header_written = true;
    }
}

bool csv_writer::card(const card_record& card, card_context& context) {
    if (several) {
        put_field(block, path, !as_stored);
        put_bytes(block, ",");
    }
    output_done(block, put_decimal(card.number, output_room(block, DECIMAL_ROOM)));
    put_bytes(block, ",");
    put_field(block, scratch.decode(card.title), !as_stored);
    put_bytes(block, ",");
    if (card.body.has_text) {
        put_field(block, scratch.decode(card.body.text), !as_stored);
    }
    if (files_column) {
        // Names made of ASCII letters, digits, '-' and '.': never quoted.
        put_bytes(block, ",");
        const char* separator = "";
        for (const std::string& name : context.files) {
            put_bytes(block, separator);
            put_bytes(block, name);
            separator = " ";
        }
    }
    put_bytes(block, "\r\n");
    return !std::ferror(block.out);  // nothing more can be written
}

void csv_writer::end(const file_end&) {
    flush_output(block);
}
