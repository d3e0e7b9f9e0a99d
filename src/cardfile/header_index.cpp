// The header and the index: the signature and card count, then the index
// entries in order, each yielding its card's body through read_card_body.
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>

#include "bodies.h"
#include "fixed.h"
#include "format.h"
#include "reader.h"

namespace {

// The next `N` bytes of the header and index (never nullptr: the index is read
// in order, from where the stream stands); `got` of them the file holds.
template <std::size_t N>
const unsigned char* next_index_field(card_stream& in, std::array<unsigned char, N>& spare,
                                      std::size_t& got) {
    start_stream(in);
    const unsigned char* bytes =
        field_at(in, in.index_window, INDEX_WINDOW_SIZE, in.index_position, spare, got);
    in.index_position += static_cast<std::int64_t>(N);
    if (!bytes) {
        spare.fill(0);
        got = 0;
        return spare.data();
    }
    return bytes;
}

// Leaves the file behind the last index entry read.
void put_file_position_back(card_stream& in) {
    if (in.file_position != in.index_position &&
        static_cast<std::uint64_t>(in.index_position) <=
            static_cast<std::uint64_t>(std::numeric_limits<long>::max()) &&
        std::fseek(in.file, static_cast<long>(in.index_position), SEEK_SET) == 0) {
        in.file_position = in.index_position;
    }
}

// What is wrong with the index as a whole, once every entry is read.
void note_index_problems(card_sequence& cards) {
    const std::int16_t count = cards.header.count;
    if (count > 0 && cards.whole_entries < count) {
        cards.file_problems.push_back("the index ends before the stated count of entries (" +
                                      std::to_string(count - cards.whole_entries) + " of " +
                                      std::to_string(count) + " missing)");
    }
}

}  // namespace

void card_stream_deleter::operator()(card_stream* stream) const {
    std::default_delete<card_stream>()(stream);
}

card_reader open_card_reader(std::FILE* file) {
    return card_reader(std::make_unique<card_stream>(card_stream{file}).release());
}

bool read_failed(const card_stream& in) {
    return in.read_failed;
}

int read_error(const card_stream& in) {
    return in.read_error;
}

card_file_header read_card_file_header(card_stream& in) {
    card_file_header header;
    start_stream(in);
    std::size_t signature_got = 0;
    const unsigned char* signature = window_bytes(in, in.index_window, INDEX_WINDOW_SIZE,
                                                  in.index_position, SIGNATURE_SIZE, signature_got);
    in.index_position += static_cast<std::int64_t>(SIGNATURE_SIZE);
    if (in.read_failed || !signature) {
        header.result = CARD_FILE_OPEN_FAILED;
        return header;
    }
    const std::string_view sig(reinterpret_cast<const char*>(signature), signature_got);
    std::size_t got = 0;
    std::size_t wanted = 0;
    if (sig == "RRG") {
        std::array<unsigned char, RRG_HEADER_REST_SIZE> spare;
        header.count = decode_i16(next_index_field(in, spare, got) + RRG_COUNT_AT);
        header.variant = VARIANT_RRG;
        wanted = RRG_HEADER_REST_SIZE;
    } else if (sig == "MGC") {
        std::array<unsigned char, CARD_COUNT_SIZE> spare;
        header.count = decode_i16(next_index_field(in, spare, got));
        header.variant = VARIANT_MGC;
        wanted = CARD_COUNT_SIZE;
    } else {
        header.result = CARD_FILE_BAD_SIGNATURE;
        header.signature = std::string(sig);
        return header;
    }
    if (in.read_failed) {
        header.result = CARD_FILE_OPEN_FAILED;
    }
    header.cut = got < wanted;
    return header;
}

index_record read_index_entry(card_stream& in) {
    std::size_t got = 0;
    const unsigned char* entry = next_index_field(in, in.entry_spare, got);
    index_record read;
    read.whole = got == INDEX_ENTRY_SIZE;
    read.body_offset = decode_i32(entry + INDEX_BODY_OFFSET_AT);
    if (read.body_offset == 0 || entry[INDEX_FLAG_AT] != 0) {
        read.body_offset = NO_CARD_BODY;
        return read;
    }
    read.listed = true;
    read.title = stored_text(entry + INDEX_TEXT_AT, INDEX_TEXT_SIZE);
    return read;
}

card_sequence start_cards(card_stream& in) {
    card_sequence cards;
    cards.header = read_card_file_header(in);
    cards.index_at = in.index_position;
    if (cards.header.result != CARD_FILE_OK) {
        return cards;
    }
    if (cards.header.cut) {
        cards.file_problems.push_back("the header is cut short by the end of the file");
    }
    if (cards.header.count < 0) {
        const std::int64_t size = file_size(in);
        if (size >= in.index_position + static_cast<std::int64_t>(INDEX_ENTRY_SIZE)) {
            cards.file_problems.push_back("the card count is negative (" +
                                          std::to_string(cards.header.count) +
                                          ") but index entries follow the header");
        }
    }
    return cards;
}

namespace {

// The next listed index entry, `number` its card's number.
bool next_listed_entry(card_stream& in, card_sequence& cards, index_record& entry, int& number) {
    if (cards.header.result != CARD_FILE_OK) {
        return false;
    }
    while (cards.next < cards.header.count && !in.read_failed) {
        if (in.file_end >= 0 && in.index_position >= in.file_end) {
            // Entries wholly behind the end of the file read as zeros: none
            // of them has a body, and none is listed.
            in.index_position += static_cast<std::int64_t>(cards.header.count - cards.next) *
                                 static_cast<std::int64_t>(INDEX_ENTRY_SIZE);
            cards.next = cards.header.count;
            break;
        }
        const std::int16_t index = cards.next++;
        entry = read_index_entry(in);
        cards.whole_entries += entry.whole ? 1 : 0;
        if (entry.listed) {
            number = index + 1;
            return true;
        }
    }
    return false;
}

}  // namespace

bool next_title(card_stream& in, card_sequence& cards, card_record& card) {
    index_record entry;
    if (!next_listed_entry(in, cards, entry, card.number)) {
        return false;
    }
    card.body_offset = entry.body_offset;
    card.title = entry.title;
    return true;
}

bool next_card(card_stream& in, card_sequence& cards, card_record& card) {
    if (!next_title(in, cards, card)) {
        return false;
    }
    read_card_body(in, cards.header.variant, card.body_offset, card.body);
    return true;
}

void restart_cards(card_stream& in, card_sequence& cards) {
    in.index_position = cards.index_at;
    cards.next = 0;
    cards.whole_entries = 0;
}

void finish_cards(card_stream& in, card_sequence& cards) {
    if (cards.header.result == CARD_FILE_OK && !in.read_failed &&
        cards.next >= cards.header.count) {
        note_index_problems(cards);
    }
    put_file_position_back(in);
}

std::uint64_t largest_card_file(std::string_view first) {
    return first == "MGC" ? MGC_LARGEST_FILE : first == "RRG" ? RRG_LARGEST_FILE : 0;
}

bool reader_memory_available() {
    constexpr std::size_t READER_MEMORY = 1024 * 1024;
    void* probe = std::malloc(READER_MEMORY);
    std::free(probe);
    return probe != nullptr;
}
