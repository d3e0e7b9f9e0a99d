// JSON: one UTF-8 document (RFC 8259) of a card file, written as the cards
// are read, one card a line: "file", "variant", "encoding", "count", then
// "cards", then the file's own "problems". Only a card file gets a document:
// a file that cannot be read or is not a card file writes nothing. With
// several files, one array of their documents.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "text/output_block.h"
#include "text/utf8_text.h"
#include "walk/card_writer.h"

struct json_writer final : card_writer {
    // `several`: the run names several files; their documents form an array.
    explicit json_writer(std::FILE* out, bool several = false) : block{out}, several(several) {}
    void begin(const file_start& file) override;
    bool card(const card_record& card, card_context& context) override;
    void end(const file_end& outcome) override;
    void finish() override;

    output_block block;
    bool several;
    int documents = 0;  // begun so far
    utf8_scratch scratch{nullptr};
    bool open = false;  // a document was begun
    const char* separator = "";
};
