// vCard: one contact a card, for address books. vCard 3.0 (RFC 2426), or 4.0
// (RFC 6350); UTF-8 without a byte-order mark, CR LF line ends, lines folded
// at 75 octets (never inside a UTF-8 sequence), texts escaped. Several card
// files make one stream of vCards.
//
// FN is the card's title; N its parts when the title reads "Last, First
// Middle", or family first with a patronymic last ("Family Given
// Patronymic", "Given Patronymic"); otherwise the whole title is the family
// name. NOTE is the whole text, its control characters in caret notation as
// a terminal listing shows them. Every text value is escaped after that;
// TEL, EMAIL and URL are each phone number, e-mail address and web address
// found in the text; PHOTO the card's picture as a PNG file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "image/card_picture.h"
#include "text/marks.h"
#include "text/output_block.h"
#include "text/utf8_text.h"
#include "walk/card_writer.h"

struct vcard_writer final : card_writer {
    // `version`: 3 or 4.
    vcard_writer(std::FILE* out, int version) : block{out}, version(version) {}
    void begin(const file_start& file) override;
    bool card(const card_record& card, card_context& context) override;
    void end(const file_end& outcome) override;

    output_block block;
    int version;
    utf8_scratch scratch{nullptr};
    bool as_stored = false;                 // texts as stored: made valid UTF-8
    bool open = false;                      // a card file is being written
    std::string title{};                    // the title, UTF-8
    std::string text{};                     // the text, UTF-8
    picture_memory pictures{};              // the pictures of the card file drawn so far
    std::vector<std::string_view> found{};  // the numbers or addresses of a text
    // The marks of a text's bytes: those to escape, where phone numbers may
    // begin, those that begin addresses.
    byte_marks special_marks{}, phone_marks{}, address_marks{};
};
