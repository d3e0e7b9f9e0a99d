// JSON: one UTF-8 document (RFC 8259) of the card file, written as the cards
// are read, one card a line.
#pragma once

#include <cstdio>

#include "cardfile/cardfile.h"

// Writes the document of the cards of `walk`, whose header was read without
// failure, to `out`: "file" (`path`), "variant", "encoding", "count", then
// "cards". Texts are decoded from `encoding`, a code page. A read that fails
// on the way (in.read_failed) ends the cards; the document is still closed.
// With `extract`, each card's picture or object is written out first, and a
// card that wrote some names them in "files"; where that fails
// (extract->failed) the cards end too.
struct extract_state;
void write_json(card_stream& in, card_walk& walk, const char* path, int encoding, std::FILE* out,
                extract_state* extract = nullptr);
