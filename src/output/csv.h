// CSV (RFC 4180): a header row "number,title,text", then one record a card,
// each ending with CR LF; UTF-8 without a byte-order mark.
#pragma once

#include <cstdio>

#include "cardfile/cardfile.h"

// Writes the cards of `walk`, whose header was read without failure, to
// `out`, texts decoded from `encoding`, a code page. A read that fails on
// the way (in.read_failed) ends the records. With `extract`, each card's
// picture or object is written out first, and a fourth column, "files",
// names what each card wrote (separated by spaces); where that fails
// (extract->failed) the records end too.
struct extract_state;
void write_csv(card_stream& in, card_walk& walk, int encoding, std::FILE* out,
               extract_state* extract = nullptr);
