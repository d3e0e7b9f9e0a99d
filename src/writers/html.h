// HTML: one self-contained UTF-8 HTML5 page of the card files of a run,
// written as the cards are read. Nothing on it loads anything: its styles
// are inline, its pictures PNG data: URIs, and its Content-Security-Policy
// allows nothing else.
//
// Everything stands in reading order. With several files, a list of the
// files heads the page. A card file is a section: its name, variant, card
// count and code page (or why it could not be listed), the list of its
// titles (each a link to its card), then the cards, each drawn as a card:
// its number and title in a title bar, its text with its line breaks, its
// picture where the file places it on the card (above the text when it does
// not), or a labelled box for what a browser cannot show; last, what is
// wrong with the file as a whole.
//
// The list of files is the run's (`files`); the titles come from the walk
// before the cards (lists_titles_first), read from the index, which a card
// file holds before the bodies: the page streams, holding no card.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
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
    [[nodiscard]] bool lists_titles_first() const override { return true; }
    void title(int number, std::string_view title) override;
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
    bool titles_open = false;  // the list of titles is being written
    int sections = 0;
    std::string id_prefix{};  // what this file's card ids begin with
    // Every file of the run, made UTF-8, for the list of files that heads a
    // page of several (a section each, in this order).
    std::vector<std::string> files{};
    picture_memory pictures{};  // the pictures of the card file drawn so far
    std::string text{};         // a text made valid UTF-8 (as_stored)
    byte_marks marks[3];        // the marks of a text's special bytes, while they are looked at
};

// Writes `text`, UTF-8, to `out` with '&', '<', '>', '"' and '\'' as
// character references and its control characters in caret notation, as a
// terminal listing shows them: every one but TAB, LF and the CR of a CR LF
// pair, as "^[" for ESC, "^M" for a lone CR, "^?" for DEL.
void put_html_text(output_block& out, std::string_view text);
