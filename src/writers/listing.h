// The listing: the classic plain-text form of a card file. The banner with
// the path, the variant and card count, then each card's numbered heading,
// index line and text, then the closing message.
#pragma once

#include <cstdio>
#include <vector>

#include "text/output_block.h"
#include "walk/card_writer.h"

struct code_page;

struct listing_writer final : card_writer {
    explicit listing_writer(std::FILE* out) : block{out} {}
    void begin(const file_start& file) override;
    bool card(const card_record& card, card_context& context) override;
    void end(const file_end& outcome) override;

    output_block block;
    const code_page* page = nullptr;
    // For a terminal, which neither a card nor a file's name may drive: the
    // control characters of titles and texts in caret notation (every one
    // but TAB, LF and the CR of a CR LF pair, as "^[" for ESC, "^M" for a
    // lone CR, "^?" for DEL), and their C1 controls as "M-^[" (the bytes
    // 0x80 to 0x9F of texts as stored, the characters U+0080 to U+009F of
    // texts decoded); the banner's path and the first bytes of a file that
    // is not a card file likewise.
    bool caret = false;
    std::vector<char> scratch{};  // a text with control characters, before it is shown
};
