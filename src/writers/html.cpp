#include "html.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "decode/decode.h"
#include "image/card_picture.h"
#include "text/caret.h"
#include "text/numbers.h"
#include "text/scan.h"
#include "text/utf8_text.h"
#include "walk/walk.h"

namespace {

// The characters of markup, which a page's text writes as references.
using html_markup = any_of<byte_is<'&'>, byte_is<'<'>, byte_is<'>'>, byte_is<'"'>, byte_is<'\''>>;

// What a page's text escapes or shows otherwise: markup characters, the C0
// controls and DEL.
using html_special = any_of<terminal_control, html_markup>;

// What it always writes otherwise: markup characters, DEL, and the control
// characters but TAB, LF and CR (which it writes otherwise only when CR is
// not before LF).
using html_always = any_of<html_markup, byte_is<0x7F>, byte_range<0x00, 0x08>,
                           byte_range<0x0B, 0x0C>, byte_range<0x0E, 0x1F>>;

// The page's own look: cards on a desk, each a white card with a title bar.
constexpr std::string_view PAGE_STYLE =
    ":root{color-scheme:light}"
    "body{margin:0;padding:1.5rem;background:#e8e4da;color:#1c1c1c;"
    "font:15px/1.35 system-ui,\"Segoe UI\",Roboto,\"Noto Sans\",\"DejaVu Sans\",Arial,sans-serif;"
    "display:flex;flex-direction:column;gap:2rem}"
    "a{color:#1a4f9c}"
    "section.file{display:flex;flex-direction:column;gap:1rem}"
    "h1{font-size:1.4rem;margin:0 0 .2rem;overflow-wrap:anywhere}"
    "h2.list{font-size:1rem;margin:0 0 .3rem}"
    ".facts{margin:0;color:#555}"
    "nav ol{margin:0;padding-left:2.8rem;columns:18rem}"
    ".cards{display:flex;flex-wrap:wrap;gap:1.25rem;align-items:flex-start}"
    ".card{background:#fffef9;border:1px solid #8f897b;box-shadow:3px 3px 0 #b8b1a1;"
    "min-width:24rem;max-width:100%;width:max-content}"
    ".card h3{margin:0;padding:.3rem .6rem;font-size:1rem;background:#f3efe3;"
    "border-bottom:2px solid #c0392b;display:flex;gap:.7rem;overflow-wrap:anywhere}"
    ".card h3 .number{color:#6d6d6d;font-weight:400}"
    ".face{position:relative;padding:8px;min-height:4rem}"
    ".text{position:relative;margin:0;white-space:pre-wrap;overflow-wrap:anywhere;font:inherit;"
    "text-shadow:0 0 2px #fffef9,0 0 3px #fffef9}"
    ".placed{position:absolute}"
    "img{display:block;image-rendering:pixelated}"
    "img.placed{object-fit:contain}"
    ".face>img,.face>.box{margin-bottom:.4rem}"
    ".box{border:1px dashed #777;box-sizing:border-box;display:flex;align-items:flex-end;"
    "justify-content:flex-end;overflow:hidden;color:#555;font-size:.7rem;"
    "background:repeating-linear-gradient(45deg,#f4f4f1 0 6px,#e8e8e3 6px 12px)}"
    ".box:not(.placed){width:10rem;height:4.5rem}"
    ".box span{padding:0 .25rem;background:#fffef9cc}"
    ".caption{margin:0;padding:.2rem .6rem .4rem;color:#555;font-size:.8rem;overflow-wrap:anywhere}"
    ".caption,.problem,.extracted{width:0;min-width:100%;box-sizing:border-box}"
    ".problem,.problems{margin:0;padding:.3rem .6rem;color:#a61b1b;font-size:.85rem}"
    ".extracted{margin:0;padding:.2rem .6rem .4rem;font-size:.85rem}"
    "@media print{body{background:#fff;padding:0}"
    ".card{box-shadow:none;break-inside:avoid}}";

// A string literal: its size known, its copy inlined.
template <std::size_t N>
void put_literal(output_block& block, const char (&text)[N]) {
    char* const at = output_room(block, N - 1);
    std::memcpy(at, text, N - 1);
    output_done(block, at + N - 1);
}

void put_number(output_block& block, std::int64_t value) {
    output_done(block, put_decimal(value, output_room(block, DECIMAL_ROOM)));
}

// A path or file name as an href: '\' made '/', a drive letter made a
// file: URL, and every byte but the unreserved ones and '/' percent-encoded.
void put_href(output_block& block, std::string_view path) {
    const bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/') &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (drive) {
        put_literal(block, "file:///");
    }
    char* at = output_room(block, 3 * path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~' || c == '/' || (drive && i == 1);
        if (unreserved || c == '\\') {
            *at++ = c == '\\' ? '/' : static_cast<char>(c);
        } else {
            *at++ = '%';
            at = put_hex_byte(c, at);
        }
    }
    output_done(block, at);
}

// A style's position and size: "left:Xpx;top:Ypx;", then the place's width
// and height as the properties named `width` and `height` ("width:Wpx;...").
void put_place(output_block& block, const card_picture& picture, std::string_view width,
               std::string_view height) {
    put_literal(block, "left:");
    put_number(block, picture.x);
    put_literal(block, "px;top:");
    put_number(block, picture.y);
    put_literal(block, "px;");
    put_bytes(block, width);
    put_literal(block, ":");
    put_number(block, picture.place_width);
    put_literal(block, "px;");
    put_bytes(block, height);
    put_literal(block, ":");
    put_number(block, picture.place_height);
    put_literal(block, "px");
}

}  // namespace

void put_html_text(output_block& out, std::string_view text) {
    // copy_plain may write 16 bytes past what it copies.
    char* at = output_room(out, 6 * text.size() + 16);
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end) {
        copy_plain<html_special>(p, end, at);
        if (p == end) {
            break;
        }
        const auto c = static_cast<unsigned char>(*p++);
        std::string_view reference;
        switch (c) {
        case '&':
            reference = "&amp;";
            break;
        case '<':
            reference = "&lt;";
            break;
        case '>':
            reference = "&gt;";
            break;
        case '"':
            reference = "&quot;";
            break;
        case '\'':
            reference = "&#39;";
            break;
        default:
            at = put_shown_control(c, p, end, at);
            continue;
        }
        at = std::copy(reference.begin(), reference.end(), at);
    }
    output_done(out, at);
}

namespace {

// Whether a text holds a byte that put_html_text writes otherwise: a markup
// character, DEL, or a control character but TAB, LF and the CR of a CR LF
// pair. Special bytes are ASCII, never the second byte of a double-byte
// character: the stored text and the text decoded from it hold them alike.
bool has_html_special(html_writer& page, std::string_view text) {
    byte_marks& always = page.marks[0];
    byte_marks& cr = page.marks[1];
    byte_marks& lf = page.marks[2];
    mark_bytes<html_always, byte_is<'\r'>, byte_is<'\n'>>(text, always, cr, lf);
    for (std::size_t w = 0; w < always.size(); ++w) {
        // A CR whose next byte is no LF (none is after the last byte).
        const std::uint64_t lf_next = lf[w] >> 1 | (w + 1 < lf.size() ? lf[w + 1] << 63 : 0);
        if ((always[w] | (cr[w] & ~lf_next)) != 0) {
            return true;
        }
    }
    return false;
}

// A stored text (a title, a card's text, a class name, a link) as the page
// shows it: decoded straight into the output when it holds no byte to be
// written otherwise.
void put_stored(html_writer& page, std::string_view stored) {
    if (page.as_stored) {
        page.text = valid_utf8(stored);
        put_html_text(page.block, page.text);
        return;
    }
    output_block& block = page.block;
    if (!has_html_special(page, stored)) {
        output_done(
            block, decode_text(page.scratch.page, stored,
                               output_room(block, decoded_room(page.scratch.page, stored.size()))));
        return;
    }
    put_html_text(block, page.scratch.decode(stored));
}

void put_card_id(html_writer& page, int number) {
    put_bytes(page.block, page.id_prefix);
    put_literal(page.block, "card-");
    put_number(page.block, number);
}

// The picture on the card's face: an <img> of its PNG, or a labelled box.
void put_picture(html_writer& page, const card_picture& picture) {
    output_block& block = page.block;
    if (picture.kind == card_picture_kind::image) {
        put_literal(block, "<img");
        if (picture.placed) {
            put_literal(block, " class=\"placed\" style=\"");
            put_place(block, picture, "width", "height");
            put_literal(block, "\"");
        }
        put_literal(block, " width=\"");
        put_number(block, picture.width);
        put_literal(block, "\" height=\"");
        put_number(block, picture.height);
        put_bytes(block, picture.object ? "\" alt=\"The card's object\""
                                        : "\" alt=\"The card's picture\"");
        put_literal(block, " src=\"data:image/png;base64,");
        put_large_bytes(block, picture.png_base64);
        put_literal(block, "\">");
        return;
    }
    put_bytes(block, picture.placed ? "<div class=\"box placed\" style=\"" : "<div class=\"box\">");
    if (picture.placed) {
        put_place(block, picture, "width", "height");
        put_literal(block, "\">");
    }
    put_literal(block, "<span>");
    put_bytes(block, picture.what);
    put_literal(block, "</span></div>");
}

// Under the card's face, what object a box or a linked picture stands for.
void put_caption(html_writer& page, const card_picture& picture) {
    output_block& block = page.block;
    put_literal(block, "<p class=\"caption\">");
    if (!picture.class_name.empty()) {
        put_literal(block, "<b>");
        put_stored(page, picture.class_name);
        put_literal(block, "</b> ");
    }
    put_bytes(block, picture.linked ? "object, linked to " : "object");
    if (picture.linked) {
        put_literal(block, "<span class=\"link\">");
        put_stored(page, picture.link);
        put_literal(block, "</span>");
    }
    if (picture.kind == card_picture_kind::box) {
        put_literal(block, ": ");
        put_bytes(block, picture.what);
        put_literal(block, ", not shown");
    }
    put_literal(block, "</p>\n");
}

// The page's head, and with several files the list of them all.
void open_page(html_writer& page, std::string_view path) {
    output_block& block = page.block;
    put_bytes(block,
              "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
              "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
              "img-src data:; style-src 'unsafe-inline'\">\n"
              "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
              "<meta name=\"generator\" content=\"crdview\">\n"
              "<link rel=\"icon\" href=\"data:,\">\n<title>");
    put_html_text(block, page.several ? "Card files" : path);
    put_literal(block, "</title>\n<style>");
    put_bytes(block, PAGE_STYLE);
    put_literal(block, "</style>\n</head>\n<body>\n");
    page.page_open = true;
    if (!page.several || page.files.empty()) {
        return;
    }
    put_literal(block, "<nav class=\"files\"><h2 class=\"list\">Card files</h2><ol>\n");
    for (std::size_t i = 0; i < page.files.size(); ++i) {
        put_literal(block, "<li><a href=\"#file-");
        put_number(block, static_cast<std::int64_t>(i) + 1);
        put_literal(block, "\">");
        put_html_text(block, page.files[i]);
        put_literal(block, "</a></li>\n");
    }
    put_literal(block, "</ol></nav>\n");
}

// The header of a file's section: its name, and what it is or why it could
// not be listed.
void put_section_header(html_writer& page, const file_start& file, std::string_view path) {
    output_block& block = page.block;
    put_literal(block, "<section class=\"file\" id=\"file-");
    put_number(block, page.sections);
    put_literal(block, "\">\n<header><h1>");
    put_html_text(block, path);
    if (file.result != CARD_FILE_OK) {
        put_literal(block, "</h1><p class=\"problem\">");
        put_html_text(block, why_not_listed(file));
        put_literal(block, "</p></header>\n</section>\n");
        return;
    }
    put_literal(block, "</h1><p class=\"facts\">");
    put_bytes(block, file.header.variant == VARIANT_RRG ? "RRG" : "MGC");
    put_literal(block, " card file, ");
    put_number(block, file.header.count);
    put_bytes(block, file.header.count == 1 ? " card" : " cards");
    put_literal(block, ", texts in ");
    const char* name = encoding_name(file.encoding);
    put_bytes(block, name ? name : "the bytes as stored");
    if (file.encoding_detected) {
        put_literal(block, " (told by the texts)");
    }
    put_literal(block, "</p></header>\n");
}

// Ends the list of titles, which the cards follow.
void close_titles(html_writer& page) {
    if (page.titles_open) {
        put_literal(page.block, "</ol></nav>\n<div class=\"cards\">\n");
        page.titles_open = false;
    }
}

}  // namespace

void html_writer::begin(const file_start& file) {
    forget_pictures(pictures);
    section_open = file.result == CARD_FILE_OK;
    // A file that gives no section of its own is named in one when the
    // list of files links to it.
    if (!section_open && !several) {
        return;
    }
    const code_page* page = code_page_of(file.encoding);
    scratch.page = page;
    as_stored = page == nullptr;
    const std::string path = valid_utf8(file.path);
    if (!page_open) {
        open_page(*this, path);
    }
    ++sections;
    id_prefix = several ? "file-" + std::to_string(sections) + "-" : std::string();
    put_section_header(*this, file, path);
    if (section_open) {
        put_literal(block, "<nav class=\"titles\"><h2 class=\"list\">Cards</h2><ol>\n");
        titles_open = true;
    }
}

void html_writer::title(int number, std::string_view title) {
    put_literal(block, "<li value=\"");
    put_number(block, number);
    put_literal(block, "\"><a href=\"#");
    put_card_id(*this, number);
    put_literal(block, "\">");
    put_stored(*this, title);
    put_literal(block, "</a></li>\n");
}

bool html_writer::card(const card_record& card, card_context& context) {
    close_titles(*this);
    const card_picture picture = picture_of_card(card, context.data, pictures);
    put_literal(block, "<article class=\"card\" id=\"");
    put_card_id(*this, card.number);
    put_literal(block, "\">\n<h3><span class=\"number\">");
    put_number(block, card.number);
    put_literal(block, "</span> <span class=\"title\">");
    put_stored(*this, card.title);
    put_literal(block, "</span></h3>\n<div class=\"face\"");
    if (picture.placed) {
        put_literal(block, " style=\"min-width:");
        put_number(block, picture.x + picture.place_width);
        put_literal(block, "px;min-height:");
        put_number(block, picture.y + picture.place_height);
        put_literal(block, "px\"");
    }
    put_literal(block, ">");
    if (picture.kind != card_picture_kind::none) {
        put_picture(*this, picture);
    }
    if (card.body.has_text) {
        put_literal(block, "<p class=\"text\">");
        put_stored(*this, card.body.text);
        put_literal(block, "</p>");
    }
    put_literal(block, "</div>\n");
    if (picture.object && (picture.linked || picture.kind == card_picture_kind::box)) {
        put_caption(*this, picture);
    }
    if (!context.files.empty()) {
        put_literal(block, "<p class=\"extracted\">Extracted:");
        for (const std::string& name : context.files) {
            put_literal(block, " <a href=\"");
            if (!extract_dir.empty()) {
                put_href(block, extract_dir);
                if (extract_dir.back() != '/' && extract_dir.back() != '\\') {
                    put_literal(block, "/");
                }
            }
            put_href(block, name);
            put_literal(block, "\">");
            put_html_text(block, name);
            put_literal(block, "</a>");
        }
        put_literal(block, "</p>\n");
    }
    if (!card.body.problem.empty()) {
        put_literal(block, "<p class=\"problem\">");
        put_html_text(block, card.body.problem);
        put_literal(block, "</p>\n");
    }
    put_literal(block, "</article>\n");
    return !std::ferror(block.out);  // nothing more can be written
}

void html_writer::end(const file_end& outcome) {
    if (section_open) {
        close_titles(*this);
        put_literal(block, "</div>\n");
        if (!outcome.file_problems.empty()) {
            put_literal(block, "<ul class=\"problems\">\n");
            for (const std::string& problem : outcome.file_problems) {
                put_literal(block, "<li>");
                put_html_text(block, problem);
                put_literal(block, "</li>\n");
            }
            put_literal(block, "</ul>\n");
        }
        put_literal(block, "</section>\n");
        section_open = false;
    }
    flush_output(block);
}

void html_writer::finish() {
    if (page_open) {
        put_literal(block, "</body>\n</html>\n");
        flush_output(block);
    }
}
