#include "code_page_guess.h"

#include <memory>

#include "cardfile/reader.h"

detection guess_code_page(std::FILE* file) {
    const long start = std::ftell(file);
    const auto detector = std::make_unique<code_page_detector>();
    {
        const card_reader reader = open_card_reader(file);
        card_sequence cards = start_cards(*reader);
        card_record card;
        while (!detect_done(*detector) && next_card(*reader, cards, card)) {
            detect_feed(*detector, card.title);
            detect_feed(*detector, card.body.text);
        }
    }
    if (start >= 0) {
        std::fseek(file, start, SEEK_SET);
    }
    return detect_finish(*detector);
}
