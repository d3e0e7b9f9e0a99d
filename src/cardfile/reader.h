// The card file reader: recognises the two variants of the CRD format, reads
// the index entry by entry and each card's body at its offset, and yields
// every listed card as a plain record (records.h). It prints nothing, and it
// notes what it finds wrong with the file in words, for the caller to report.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "records.h"

// An open card file being read; what it holds is the reader's own.
struct card_stream;
struct card_stream_deleter {
    void operator()(card_stream* stream) const;
};
using card_reader = std::unique_ptr<card_stream, card_stream_deleter>;

// Starts reading `file` from its current position (the start of the card
// file). The file stays the caller's.
[[nodiscard]] card_reader open_card_reader(std::FILE* file);

// Reads the signature and the card count.
[[nodiscard]] card_file_header read_card_file_header(card_stream& in);

// Reads the next index entry and moves past it (exactly INDEX_ENTRY_SIZE
// bytes). An entry with body offset 0 or a non-zero flag byte has no card:
// it is not listed. The title stays valid until the next read.
[[nodiscard]] index_record read_index_entry(card_stream& in);

// Reads the body at `body_offset` in the layout of `variant` into `body`;
// an offset with its top bit set reads nothing. The index position stays put.
void read_card_body(card_stream& in, int variant, std::int32_t body_offset, card_body& body);

// Reads the first block of `span` (at most 128 KiB) through a window of its
// own, so that the views of the current card record stay valid, and takes it
// off the front of `span`. Returns the block and its size, or nullptr when
// the file does not hold it or a read fails.
[[nodiscard]] const unsigned char* read_data_block(card_stream& in, file_span& span,
                                                   std::size_t& size);

// Whether a read has failed (the system reported an error), and its error
// number (0 when the system gave none).
[[nodiscard]] bool read_failed(const card_stream& in);
[[nodiscard]] int read_error(const card_stream& in);

// The cards of a card file in index order, entry by entry: the header, and
// what is wrong with the file as a whole (file_problems, in words, in the order
// found; the cards' own problems are in their bodies).
struct card_sequence {
    card_file_header header{};
    std::int64_t index_at = 0;  // where the first index entry is
    std::int16_t next = 0;      // the next index position
    int whole_entries = 0;      // entries read so far that the file holds whole
    std::vector<std::string> file_problems{};
};

// Starts at the first card: reads the header. header.result says whether there are cards.
[[nodiscard]] card_sequence start_cards(card_stream& in);

// Yields the next listed card; false when there is none left or a read has
// failed (read_failed).
[[nodiscard]] bool next_card(card_stream& in, card_sequence& cards, card_record& card);

// Yields the next listed card's number and title only, its body unread
// (`card.body` is left as it was); false as next_card.
[[nodiscard]] bool next_title(card_stream& in, card_sequence& cards, card_record& card);

// Goes back to the first card, to read the cards again (by next_card or
// next_title) from the index, which the file holds before the bodies.
void restart_cards(card_stream& in, card_sequence& cards);

// Ends the sequence, whether every card was read or not: notes what is wrong
// with the index when it was read to its end (cards.file_problems), and
// leaves the file behind the last index entry read.
void finish_cards(card_stream& in, card_sequence& cards);

// The size of the largest card file that begins with `first` (its first
// SIGNATURE_SIZE bytes): no byte beyond is ever read. 0 when they are not the
// signature of a card file this reader reads.
[[nodiscard]] std::uint64_t largest_card_file(std::string_view first);

// Whether the memory that reading a card file takes (under a megabyte) can
// be had. Asked before reading: with less, even reporting a refused
// allocation as an exception could fail.
[[nodiscard]] bool reader_memory_available();
