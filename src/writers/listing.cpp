#include "listing.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "decode/decode.h"
#include "text/caret.h"
#include "text/numbers.h"
#include "text/scan.h"

namespace {

// Spaces before the word Card, so that headings up to card 999 are as wide as the rule.
int heading_indent(int number) {
    return number <= 9 ? 2 : number <= 99 ? 1 : 0;
}

// Writes "\n", the text as the code page shows it, and "\n".
void put_text(output_block& block, const code_page* page, std::string_view text) {
    char* at = output_room(block, 2 + decoded_room(page, text.size()));
    *at++ = '\n';
    at = decode_text(page, text, at);
    *at++ = '\n';
    output_done(block, at);
}

// Writes "\n", the text as the code page shows it with its control
// characters in caret notation, and "\n".
void put_text_for_terminal(output_block& block, const code_page* page, std::string_view text,
                           std::vector<char>& scratch) {
    const shown_form form = page ? shown_form::utf8 : shown_form::stored;
    char* at = output_room(block, 2 + terminal_room(form, decoded_room(page, text.size())));
    *at++ = '\n';
    char* const shown = at;
    at = decode_text(page, text, at);
    if (needs_terminal_form(shown, at, form)) {
        scratch.assign(shown, at);
        at = put_terminal_text(scratch.data(), scratch.data() + scratch.size(), form, shown);
    }
    *at++ = '\n';
    output_done(block, at);
}

// The heading of card `number` and the rule under it: "\n", the indentation,
// "Card " and the number, then "\n--------".
void put_heading(output_block& block, int number) {
    char* at = output_room(block, 3 + 5 + DECIMAL_ROOM + 9);
    at[0] = '\n';
    at[1] = ' ';
    at[2] = ' ';
    at += 1 + heading_indent(number);
    std::memcpy(at, "Card ", 5);
    at = put_decimal(number, at + 5);
    std::memcpy(at, "\n--------", 9);
    output_done(block, at + 9);
}

// For an object card, the notice that stands for the object (before its
// text, which it has only when the object parses).
void put_notice(output_block& block, const card_body& body) {
    if (body.has_object) {
        put_bytes(block, "\n*** OLE object, not supported,\n    UID: ");
        output_done(block, put_decimal(body.object.uid, output_room(block, DECIMAL_ROOM)));
        put_bytes(block, ", format ID: ");
        output_done(block, put_decimal(body.object.format_id, output_room(block, DECIMAL_ROOM)));
        put_bytes(block, ", class name len: ");
        output_done(block,
                    put_decimal(body.object.class_name_length, output_room(block, DECIMAL_ROOM)));
        put_bytes(block, ".\n");
    }
}

const char* closing_message(card_file_result result) {
    switch (result) {
    case CARD_FILE_OK:
        return "\n";
    case CARD_FILE_BAD_SIGNATURE:
        return "\nNot the Windows Card file.\n";
    case CARD_FILE_OPEN_FAILED:
        break;
    }
    return "\nError reading file.\n";
}

// Writes the first bytes of a file that is not a card file, in caret
// notation for a terminal; needs no memory.
void put_signature(std::FILE* out, std::string_view signature, bool caret) {
    if (!caret) {
        std::fwrite(signature.data(), 1, signature.size(), out);
        return;
    }
    for (const char c : signature) {
        char shown[terminal_room(shown_form::stored, 1)];
        const char* const end = put_terminal_text(&c, &c + 1, shown_form::stored, shown);
        std::fwrite(shown, 1, static_cast<std::size_t>(end - shown), out);
    }
}

}  // namespace

// The banner, the header line and the closing message are written straight
// to the stream: they need no memory, so that even a run refused its memory
// says what it could not do.
void listing_writer::begin(const file_start& file) {
    flush_output(block);
    page = code_page_of(file.encoding);
    std::fputs("\nWindows Card File ", block.out);
    if (caret) {
        print_name(block.out, file.path);
    } else {
        std::fputs(file.path, block.out);
    }
    if (file.result == CARD_FILE_BAD_SIGNATURE) {
        // Only the bytes the file supplied: a short file shows fewer than three.
        std::fputs("\n\nThe signature is not supported: ", block.out);
        put_signature(block.out, file.header.signature, caret);
    } else if (file.result == CARD_FILE_OK) {
        std::fprintf(block.out, "\n\n%s card file, total cards: %i\n",
                     file.header.variant == VARIANT_RRG ? "RRG" : "MGC", file.header.count);
    }
}

bool listing_writer::card(const card_record& card, card_context&) {
    put_heading(block, card.number);
    if (!caret) {
        put_text(block, page, card.title);
        put_notice(block, card.body);
        if (card.body.has_text) {
            put_text(block, page, card.body.text);
        }
    } else {
        put_text_for_terminal(block, page, card.title, scratch);
        put_notice(block, card.body);
        if (card.body.has_text) {
            put_text_for_terminal(block, page, card.body.text, scratch);
        }
    }
    return !std::ferror(block.out);  // nothing more can be written
}

void listing_writer::end(const file_end& outcome) {
    flush_output(block);
    if (!outcome.stopped) {
        // The closing message, and the newline that line output appends.
        std::fputs(closing_message(outcome.result), block.out);
        std::fputc('\n', block.out);
    }
}
