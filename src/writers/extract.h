// Pictures and objects out: each card's picture or embedded object written
// to a file of its own in a directory, beside whatever the run lists.
//
// Files are named from the card's number and the object's class alone
// (card-N.bmp, card-N.wmf, card-N.preview.bmp, card-N.CLASS.bin; with several
// card files, each name begins with the card file's name: contacts-card-N.bmp)
// and hold the file's bytes as they are stored, or for an "MGC" picture a
// 1-bit BMP file made from it. A file that exists already is left as it is
// and named on standard error; with `overwrite`, an existing regular file is
// replaced (never through a symbolic link, never anything else).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "sys/files.h"
#include "walk/card_writer.h"

// Where the extractor's files are opened: open_new_file, or a sink of the
// caller's with the same contract (the fuzz target's keeps them in memory).
using extract_opener = open_outcome (*)(const std::string& path, bool overwrite, owned_stream& out,
                                        std::string& error, const char*& why);

struct extract_writer final : card_writer {
    explicit extract_writer(std::string dir) : dir(std::move(dir)) {}
    // With `several`, takes the card file's name for the names of its files.
    void begin(const file_start& file) override;
    // Writes the card's picture or object and names the files it wrote in
    // context.files; false (failed) when a file could not be created or
    // written: nothing more is to be extracted then.
    bool card(const card_record& card, card_context& context) override;
    void end(const file_end&) override {}

    std::string dir;          // where the files go
    bool overwrite = false;   // replace existing regular files
    bool several = false;     // the run names several card files
    std::FILE* err = stderr;  // where files left as they are get named
    extract_opener open = open_new_file;
    std::string prefix{};   // what the names of this card file's files begin with
    int files_written = 0;  // in all
    int files_skipped = 0;  // in all: they exist
    bool failed = false;    // the run must stop: `error` says why
    std::string error{};
};
