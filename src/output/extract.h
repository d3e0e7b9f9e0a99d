// Pictures and objects out: each card's picture or embedded object written
// to a file of its own in a directory, beside whatever the run lists.
//
// Files are named from the card's number and the object's class alone
// (card-N.bmp, card-N.wmf, card-N.preview.bmp, card-N.CLASS.bin), are created
// new (an existing file is never written over) and hold the file's bytes as
// they are stored, or for an "MGC" picture a 1-bit BMP file made from it.
#pragma once

#include <string>
#include <vector>

#include "cardfile/cardfile.h"

struct extract_state {
    std::string dir;                        // where the files go
    int files_written = 0;                  // in all
    std::vector<std::string> card_files{};  // the current card's
    bool failed = false;                    // the run must stop: `error` says why
    std::string error{};
};

// Writes the picture or object of `card` into state.dir; state.card_files
// names what it wrote. Returns false (state.failed) when a file could not be
// created or written; nothing more is to be extracted then.
bool extract_card(card_stream& in, extract_state& state, const card_record& card);

// Whether `dir` is an existing directory that crdview may create files in.
[[nodiscard]] bool writable_directory(const std::string& dir);
