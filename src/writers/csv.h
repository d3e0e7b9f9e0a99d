// CSV (RFC 4180): a header row "number,title,text" ("files" too when cards'
// pictures are written out), then one record a card, each ending with CR LF;
// UTF-8 without a byte-order mark. Only a card file gets a table. With
// several files, one table with a first column "file" (the path as given).
// A field that a spreadsheet would evaluate (one that begins with '=', '+',
// '-', '@', TAB or CR) gets an apostrophe in front, unless `as_stored`.
#pragma once

#include <cstdio>
#include <string>

#include "text/output_block.h"
#include "text/utf8_text.h"
#include "walk/card_writer.h"

struct csv_writer final : card_writer {
    csv_writer(std::FILE* out, bool files_column, bool several = false)
        : block{out}, files_column(files_column), several(several) {}
    void begin(const file_start& file) override;
    bool card(const card_record& card, card_context& context) override;
    void end(const file_end& outcome) override;

    output_block block;
    bool files_column;
    bool several;
    bool as_stored = false;  // fields that a spreadsheet would evaluate as they are
    bool header_written = false;
    std::string path{};  // several: the "file" field of this file's records
    utf8_scratch scratch{nullptr};
};
