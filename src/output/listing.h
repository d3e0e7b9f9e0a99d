// The listing: the classic plain-text form of a card file, the card file
// reader's records written as headings, index lines and texts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "cardfile/cardfile.h"

// Lists the card file at `path` to `out` (standard output when omitted):
// the header line, then every card. The banner before it and the closing
// message after it are the caller's.
[[nodiscard]] card_file_result list_card_file(const char* path, int encoding, std::FILE* out);
[[nodiscard]] card_file_result list_card_file(const char* path, int encoding);

struct extract_state;

// Lists an already open card file, read from its current position (its start).
// With `extract`, each card's picture or object is written out as the card is
// listed; the listing stops where that fails (extract->failed).
[[nodiscard]] card_file_result list_card_stream(std::FILE* file, int encoding, std::FILE* out,
                                                extract_state* extract = nullptr);

// Reads exactly INDEX_ENTRY_SIZE bytes from the stream's position, records the
// card's body offset (or NO_CARD_BODY) in card_offsets[index] and prints the
// card's heading and index line.
void read_index_entry(card_stream& in, int encoding, std::vector<std::int32_t>& card_offsets,
                      std::int16_t index, std::FILE* out);

// Prints the text (or object notice) of the body at `body_offset`; a negative
// offset prints nothing. Leaves the stream where it found it.
void read_card_body(card_stream& in, int encoding, int variant, std::int32_t body_offset,
                    std::FILE* out);
