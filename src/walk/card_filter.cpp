#include "card_filter.h"

#include "decode/decode.h"

bool parse_card_list(std::string_view list, std::vector<card_range>& ranges) {
    constexpr int MOST_CARDS = 32767;
    // A card number: 1 to 32767, digits only.
    const auto number = [](std::string_view digits, int& value) {
        value = 0;
        if (digits.empty()) {
            return false;
        }
        for (const char c : digits) {
            if (c < '0' || c > '9') {
                return false;
            }
            value = value * 10 + (c - '0');
            if (value > MOST_CARDS) {
                return false;
            }
        }
        return value >= 1;
    };
    ranges.clear();
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        const std::size_t dash = item.find('-');
        card_range range;
        if (!number(item.substr(0, dash), range.first)) {
            return false;
        }
        range.last = range.first;
        if (dash != std::string_view::npos &&
            (!number(item.substr(dash + 1), range.last) || range.last < range.first)) {
            return false;
        }
        ranges.push_back(range);
        if (comma == std::string_view::npos) {
            return true;
        }
        list.remove_prefix(comma + 1);
    }
}

namespace {

// Whether `text`, decoded, holds what the filter finds.
bool holds(card_filter& filter, const code_page* page, std::string_view text) {
    if (filter.decoded.size() < decoded_room(page, text.size())) {
        filter.decoded.resize(decoded_room(page, text.size()));
    }
    const char* end = decode_text(page, text, filter.decoded.data());
    fold_case({filter.decoded.data(), static_cast<std::size_t>(end - filter.decoded.data())},
              filter.folded);
    return filter.folded.find(filter.find) != std::string::npos;
}

}  // namespace

bool keep_card(card_filter& filter, const card_record& card, int encoding) {
    if (!filter.numbers.empty()) {
        bool listed = false;
        for (const card_range& range : filter.numbers) {
            listed = listed || (card.number >= range.first && card.number <= range.last);
        }
        if (!listed) {
            return false;
        }
    }
    if (!filter.by_text) {
        return true;
    }
    const code_page* page = code_page_of(encoding);
    return holds(filter, page, card.title) ||
           (card.body.has_text && holds(filter, page, card.body.text));
}
