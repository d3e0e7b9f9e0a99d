// vCard: one contact a card, for address books. vCard 3.0 (RFC 2426), or 4.0
// (RFC 6350); UTF-8 without a byte-order mark, CR LF line ends, lines folded
// at 75 octets (never inside a UTF-8 sequence), texts escaped. Several card
// files make one stream of vCards.
//
// FN is the card's title; N its parts when the title reads "Last, First
// Middle" (otherwise the whole title is the family name); NOTE the whole
// text, its control characters in caret notation as a terminal listing shows
// them; TEL, EMAIL and URL each phone number, e-mail address and web address
// found in the text; PHOTO the card's picture as a PNG file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "walk/card_writer.h"
#include "text/output_block.h"
#include "text/text_out.h"

struct vcard_writer final : card_writer {
    // `version`: 3 or 4.
    vcard_writer(std::FILE* out, int version) : block{out}, version(version) {}
    void begin(const file_start& file) override;
    bool card(const card_record& card, card_context& context) override;
    void end(const file_end& outcome) override;

    output_block block;
    int version;
    utf8_scratch scratch{nullptr};
    bool as_stored = false;  // texts as stored: made valid UTF-8
    bool open = false;       // a card file is being written
    std::string title{};     // the title, UTF-8
    std::string text{};      // the text, UTF-8
    std::string picture_bytes{};
    std::vector<std::string_view> found{};
    // Where the text holds a byte to escape, where a phone number may begin.
    std::vector<std::uint64_t> special_marks{}, phone_marks{};
};

// The phone numbers in `text` (UTF-8), in order, each once: a run of digits
// with spaces, dashes, dots and brackets between them and perhaps a leading
// '+', holding 7 to 15 digits, standing apart from letters and digits
// around it; not a date (12.03.1994, 1994-03-12), a span of years
// (1994-1995), a postal code (12345-6789, a Japanese one after its mark) or a
// number grouped in thousands (3 000 000).
void find_phone_numbers(std::string_view text, std::vector<std::string_view>& found);

// The e-mail addresses in `text`: local@domain.tld, each once.
void find_email_addresses(std::string_view text, std::vector<std::string_view>& found);

// The web addresses in `text`: http://..., https://... and www...., each
// once, without the punctuation that ends a sentence.
void find_web_addresses(std::string_view text, std::vector<std::string_view>& found);
