// Which cards a run keeps: --card (numbers and ranges) and --find (a text
// in the title or the card's text, compared after decoding and without
// regard to case).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cardfile/records.h"

// Card numbers from `first` to `last`.
struct card_range {
    int first = 0;
    int last = 0;
};

// Which cards a walk hands to its writers: those whose number is in
// `numbers` (any number when it is empty) and, when `by_text`, whose title
// or text holds `find` once decoded, compared without regard to case. A card
// left out is left out as a skipped entry is: no writer sees it and its
// problems are not told.
struct card_filter {
    std::vector<card_range> numbers{};
    bool by_text = false;
    std::string find{};  // as fold_case gives it
    // Room for the texts looked at.
    std::vector<char> decoded{};
    std::string folded{};
};

// Reads a list of card numbers and ranges, "3", "3,7", "10-20,25", into
// `ranges`; false when `list` is not one (an empty item, a number that is
// not one of a card, 1 to 32767, or a range that runs backwards).
[[nodiscard]] bool parse_card_list(std::string_view list, std::vector<card_range>& ranges);

// Whether `filter` keeps `card`, with its texts in `encoding`.
[[nodiscard]] bool keep_card(card_filter& filter, const card_record& card, int encoding);
