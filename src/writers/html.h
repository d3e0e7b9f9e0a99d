// HTML: one self-contained UTF-8 HTML5 page of the card files of a run,
// written as the cards are read. Nothing on it loads anything: its styles
// are inline, its pictures PNG data: URIs, and its Content-Security-Policy
// allows nothing else.
//
// A card file is a section: its name, variant, card count and code page,
// the list of its titles (each a link to its card), then the cards, each
// drawn as a card: its number and title in a title bar, its text with its
// line breaks, its picture where the file places it on the card (above the
// text when it does not), or a labelled box for what a browser cannot show.
// With several files, a list of the files heads the page.
//
// The lists of titles and of files are only known once their cards and files
// have been read: they are written after them and shown first by the page's
// style (a flex order), so that the page streams.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "image/card_picture.h"
#include "text/marks.h"
#include "text/output_block.h"
#include "text/utf8_text.h"
#include "walk/card_writer.h"

struct html_writer final : card_writer {
    // `several`: the run names several files. `extract_dir`: where --extract
    // writes the files that a card's links point to ("" without it).
    html_writer(std::FILE* out, bool several, std::string extract_dir = {})
        : block{out}, several(several), extract_dir(std::move(extract_dir)) {}
    void begin(const file_start& file) override;
    bool card(const card_record& card, card_context& context) override;
    void end(const file_end& outcome) override;
    void finish() override;

    output_block block;
    bool several;
    std::string extract_dir;
    utf8_scratch scratch{nullptr};
    bool as_stored = false;  // texts as stored: shown as UTF-8 where they are
    bool page_open = false;
    bool section_open = false;
    int sections = 0;
    std::string id_prefix{};  // what this file's card ids begin with
    // This file's titles, as stored: for each card, its number (2 bytes),
    // the title's size (1 byte) and its bytes (an index line holds at most 41).
    std::string titles{};
    std::vector<std::string> files{};  // the sections' paths, made UTF-8
    picture_memory pictures{};         // the pictures of the card file drawn so far
    std::string text{};                // a text made valid UTF-8 (as_stored)
    byte_marks marks[3];  // the marks of a text's special bytes, while they are looked at
};

// Writes `text`, UTF-8, to `out` with '&', '<', '>', '"' and '\'' as
// character references and its control characters in caret notation, as a
// terminal listing shows them: every one but TAB, LF and the CR of a CR LF
// pair, as "^[" for ESC, "^M" for a lone CR, "^?" for DEL.
void put_html_text(output_block& out, std::string_view text);
