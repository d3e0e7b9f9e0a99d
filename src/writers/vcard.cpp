#include "vcard.h"

#include <algorithm>
#include <cstring>

#include "contacts/addresses.h"
#include "contacts/names.h"
#include "contacts/phones.h"
#include "decode/decode.h"
#include "text/caret.h"
#include "text/scan.h"

namespace {

// A content line holds at most this many octets before its CR LF.
constexpr std::size_t FOLD_AT = 75;

// What a text value escapes or shows otherwise: '\', ',', ';', the C0
// controls and DEL.
using vcard_special = any_of<terminal_control, byte_is<'\\'>, byte_is<','>, byte_is<';'>>;

// The bytes without which a text holds no address: '@' of an e-mail
// address, the ':' of "http://", a 'w' of "www." in either case.
using address_start = any_of<byte_is<'@'>, byte_is<':'>, byte_is<'w'>, byte_is<'W'>>;

// A content line written straight into the output, folded as it goes: a
// physical line holds at most FOLD_AT octets, a continuation line begins
// with a space, and neither a UTF-8 sequence nor an escape is ever cut.
struct folded_line {
    output_block& block;
    char* at;
    std::size_t column = 0;

    // `most`: the octets of the line's parts before folding, escapes counted.
    folded_line(output_block& out, std::size_t most)
        : block(out), at(output_room(out, most + 3 * (most / (FOLD_AT - 5) + 1) + 2)) {}

    void fold() {
        std::memcpy(at, "\r\n ", 3);
        at += 3;
        column = 1;
    }

    // Bytes written as they are (whole UTF-8 sequences).
    void plain(const char* p, const char* end) {
        while (p != end) {
            if (column == FOLD_AT) {
                fold();
            }
            const std::size_t room = FOLD_AT - column;
            const char* cut = end;
            if (static_cast<std::size_t>(end - p) > room) {
                cut = p + room;
                while (cut != p && (static_cast<unsigned char>(*cut) & 0xC0) == 0x80) {
                    --cut;  // not inside a UTF-8 sequence
                }
                if (cut == p && column > 1) {
                    fold();
                    continue;
                }
                if (cut == p) {
                    cut = p + room;  // not UTF-8 at all: cut where the line is full
                }
            }
            std::memcpy(at, p, static_cast<std::size_t>(cut - p));
            at += cut - p;
            column += static_cast<std::size_t>(cut - p);
            p = cut;
        }
    }
    void plain(std::string_view bytes) { plain(bytes.data(), bytes.data() + bytes.size()); }

    // Two bytes kept together: an escape, a character in caret notation.
    void pair(char first, char second) {
        if (column + 2 > FOLD_AT) {
            fold();
        }
        at[0] = first;
        at[1] = second;
        at += 2;
        column += 2;
    }

    // A control character in caret notation, kept together and escaped:
    // 0x1C, "^\" in caret notation, is "^\\". Each byte of a text has room
    // for 3, so the third is written whether it counts or not.
    void caret(unsigned char c) {
        const char letter = caret_letter(c);
        const std::size_t size = letter == '\\' ? 3 : 2;
        if (column + size > FOLD_AT) {
            fold();
        }
        at[0] = '^';
        at[1] = letter;
        at[2] = letter;
        at += size;
        column += size;
    }

    // Plain bytes [p, stop) (whole UTF-8 sequences), folded where they run
    // past the end of the line: before the sequence the fold would cut.
    void run(const char* p, const char* stop) {
        std::size_t col = column;
        while (col + static_cast<std::size_t>(stop - p) > FOLD_AT) {
            const char* const full = p + (FOLD_AT - col);
            const char* cut = full;
            while (cut != p && (static_cast<unsigned char>(*cut) & 0xC0) == 0x80) {
                --cut;  // not inside a UTF-8 sequence
            }
            if (cut == p && col <= 1) {
                cut = full;  // not UTF-8: cut where the line is full
            }
            std::memcpy(at, p, static_cast<std::size_t>(cut - p));
            at += cut - p;
            std::memcpy(at, "\r\n ", 3);
            at += 3;
            p = cut;
            col = 1;
        }
        std::memcpy(at, p, static_cast<std::size_t>(stop - p));
        at += stop - p;
        column = col + static_cast<std::size_t>(stop - p);
    }

    // `text` (UTF-8) as a text value: '\', ',' and ';' escaped with '\', a
    // line end (CR LF or LF) as "\n", TAB as it is, and every other control
    // character in caret notation ("^M" for a lone CR) and then escaped:
    // 0x1C, "^\" in caret notation, as "^\\". `special` marks its
    // vcard_special bytes.
    void text(std::string_view value, const marked_bytes& special) {
        const char* const begin = value.data();
        const char* p = begin;
        const char* const end = p + value.size();
        while (p != end) {
            // The plain bytes up to the next special one.
            const char* const stop = begin + special.next(static_cast<std::size_t>(p - begin));
            run(p, stop);
            p = stop;
            if (p == end) {
                break;
            }
            const auto c = static_cast<unsigned char>(*p++);
            if (c == '\\' || c == ',' || c == ';') {
                pair('\\', static_cast<char>(c));
            } else if (c == '\n' || (c == '\r' && p != end && *p == '\n')) {
                p += c == '\r' ? 1 : 0;
                pair('\\', 'n');
            } else if (c == '\t') {
                plain("\t");
            } else {
                caret(c);
            }
        }
    }

    void finish() {
        std::memcpy(at, "\r\n", 2);
        output_done(block, at + 2);
    }
};

// A PHOTO line: `name` and the picture in base64 (ASCII), folded, a few
// lines at a time: a picture's megabytes never make the output block grow.
void put_photo(output_block& block, std::string_view name, std::string_view base64) {
    constexpr std::size_t LINES = 256;  // lines a time
    folded_line line{block, name.size()};
    line.plain(name);
    std::size_t column = line.column;
    output_done(block, line.at);
    while (!base64.empty()) {
        const std::size_t part = std::min(base64.size(), LINES * (FOLD_AT - 1));
        folded_line more{block, part};
        more.column = column;
        more.plain(base64.substr(0, part));
        column = more.column;
        output_done(block, more.at);
        base64.remove_prefix(part);
    }
    char* const end = output_room(block, 2);
    std::memcpy(end, "\r\n", 2);
    output_done(block, end + 2);
}

// N's five parts (family; given; additional; prefixes; suffixes) of a title.
// `marks`: the marks of the title's vcard_special bytes.
void put_name(folded_line& line, std::string_view title, const byte_marks& marks) {
    const name_parts name = name_of_title(title);
    if (!name.split) {
        line.text(title, {marks.data(), title.size()});
        line.plain(";;;;");
        return;
    }
    // The parts as parts of the title, read from its marks.
    const auto part = [&](std::string_view part) {
        if (!part.empty()) {
            const auto first = static_cast<std::size_t>(part.data() - title.data());
            line.text(part, {marks.data(), part.size(), first});
        }
    };
    part(name.family);
    line.plain(";");
    part(name.given);
    line.plain(";");
    part(name.additional);
    line.plain(";;");
}

// A stored text made UTF-8: in `into` when the texts are shown as stored,
// otherwise in the writer's scratch (valid until its next text).
std::string_view utf8_of(vcard_writer& writer, std::string_view stored, std::string& into) {
    if (writer.as_stored) {
        into = valid_utf8(stored);
        return into;
    }
    return writer.scratch.decode(stored);
}

// The text's phone numbers, e-mail and web addresses (TEL, EMAIL, URL), and
// the text itself (NOTE).
void put_note(vcard_writer& writer, std::string_view note) {
    output_block& block = writer.block;
    const bool four = writer.version >= 4;
    byte_marks& special_marks = writer.special_marks;
    std::vector<std::string_view>& found = writer.found;
    // Numbers and addresses are ASCII, with nothing to escape.
    const auto put_found = [&](std::string_view name_part, std::string_view value) {
        folded_line line{block, name_part.size() + 7 + value.size()};
        line.plain(name_part);
        if (name_part == "URL:" && value.size() >= 4 && (value[0] == 'w' || value[0] == 'W') &&
            value[3] == '.') {
            line.plain("http://");
        }
        line.plain(value);
        line.finish();
    };
    // One pass marks what the text needs: escapes, where phone numbers
    // may begin, and whether it holds a byte an address needs.
    mark_bytes<vcard_special, phone_start, address_start>(note, special_marks, writer.phone_marks,
                                                          writer.address_marks);
    found.clear();
    find_marked_phone_numbers(note, writer.phone_marks, found);
    for (const std::string_view number : found) {
        put_found("TEL:", number);
    }
    if (any_marked(writer.address_marks)) {
        found.clear();
        find_email_addresses(note, found);
        for (const std::string_view address : found) {
            put_found(four ? "EMAIL:" : "EMAIL;TYPE=INTERNET:", address);
        }
        found.clear();
        find_web_addresses(note, found);
        for (const std::string_view address : found) {
            put_found("URL:", address);
        }
    }
    folded_line line{block, 5 + 3 * note.size()};
    line.plain("NOTE:");
    line.text(note, {special_marks.data(), note.size()});
    line.finish();
}

}  // namespace

void vcard_writer::begin(const file_start& file) {
    forget_pictures(pictures);
    open = file.result == CARD_FILE_OK;
    scratch.page = code_page_of(file.encoding);
    as_stored = scratch.page == nullptr;
}

bool vcard_writer::card(const card_record& card, card_context& context) {
    const bool four = version >= 4;
    put_bytes(block, four ? "BEGIN:VCARD\r\nVERSION:4.0\r\n" : "BEGIN:VCARD\r\nVERSION:3.0\r\n");
    title.assign(utf8_of(*this, card.title, title));
    std::string_view name = title;
    std::string fallback;
    if (trim_blanks(name).empty()) {
        fallback = "Card " + std::to_string(card.number);
        name = fallback;
    }
    // Escapes make a byte 3 at most.
    folded_line fn{block, 3 + 3 * name.size()};
    fn.plain("FN:");
    mark_bytes<vcard_special>(name, special_marks);
    fn.text(name, {special_marks.data(), name.size()});
    fn.finish();
    folded_line n{block, 2 + 3 * name.size() + 4};
    n.plain("N:");
    put_name(n, name, special_marks);
    n.finish();
    if (card.body.has_text) {
        put_note(*this, utf8_of(*this, card.body.text, text));
    }
    const card_picture picture = picture_of_card(card, context.data, pictures);
    if (picture.kind == card_picture_kind::image) {
        put_photo(block, four ? "PHOTO:data:image/png;base64," : "PHOTO;ENCODING=b;TYPE=PNG:",
                  picture.png_base64);
    }
    put_bytes(block, "END:VCARD\r\n");
    return !std::ferror(block.out);  // nothing more can be written
}

void vcard_writer::end(const file_end&) {
    open = false;
    flush_output(block);
}
