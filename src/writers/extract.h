// Pictures and objects out: each card's picture or embedded object written
// to a file of its own in a directory, beside whatever the run lists.
//
// Files are named from the card's number and the object's class alone
// (card-N.bmp, card-N.wmf, card-N.preview.bmp, card-N.CLASS.bin, the class in
// ASCII letters and digits, at most 32 of them; with several card files, each
// name begins with the card file's name: contacts-card-N.bmp, and a name that
// an earlier file of the run took gets a number: contacts-2-card-N.bmp) and
// hold the file's bytes as they are stored, or for an "MGC" picture or a
// device-dependent bitmap a BMP file made from it. Cards that share a body share its files: they
// are written for the first of them, and named for the others. A file that exists already is left
// as it is and named on standard error; with `overwrite`, an existing regular file is replaced
// (never through a symbolic link, never anything else). A file that cannot be created or written
// whole is named on standard error and removed again; the walk goes on.
#pragma once

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <unordered_map>

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
    // context.files. Never stops the walk: a file that could not be written
    // is told and counted (files_failed).
    bool card(const card_record& card, card_context& context) override;
    void end(const file_end&) override {}

    // The files of one body: the first card that has it, and which of its
    // files were written (EXTRACTED_MAIN, EXTRACTED_PREVIEW).
    struct body_files {
        int number = 0;
        unsigned written = 0;
    };

    std::string dir;                      // where the files go
    bool overwrite = false;               // replace existing regular files
    bool several = false;                 // the run names several card files
    std::FILE* err = stderr;              // where files left as they are or not written get named
    extract_opener open = open_new_file;  // how a file is made (the fuzz target: in memory)
    std::string prefix{};                 // what the names of this card file's files begin with
    int files_written = 0;                // in all
    int files_skipped = 0;                // in all: they exist
    int files_failed = 0;                 // in all: they could not be created or written
    std::set<std::string> prefixes{};     // taken by the files of the run so far
    std::unordered_map<std::int32_t, body_files> bodies{};  // this card file's, by offset
    std::string picture_bytes{};  // a device-dependent bitmap, while it is made a BMP file
};
