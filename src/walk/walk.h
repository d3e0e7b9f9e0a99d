// The one walk over a card file: opens it, reads it card by card, hands
// every record to the writers in turn, and reports on standard error what
// is wrong with the file. Every output (the listing, JSON, CSV, HTML,
// vCard, and the extraction of pictures and objects) is a writer plugged
// into it (src/writers/).
#pragma once

#include <cstdio>
#include <string>

#include "card_filter.h"
#include "card_writer.h"

struct walk_options {
    // Handed to the writers in file_start; ENCODING_AUTO: the page the texts
    // look like, chosen for each file and told on `err` after its output.
    int encoding = 0;
    // Texts shown as stored on a terminal: when they are not ASCII, tell on
    // `err` after the output which page they look like and how to show them in it.
    bool suggest_encoding = false;
    // Say nothing of the code page when the texts are ASCII (the listing on
    // a terminal, which converts them from the page they look like).
    bool quiet_when_ascii = false;
    std::FILE* err = stderr;  // where problems and failures are told
    // Tell on `err` why a file could not be opened or read, or is not a card
    // file (the listing also closes its own output with a message then).
    bool report_failures = false;
    card_filter* filter = nullptr;  // nullptr: every listed card
};

// How the walk over one file went.
struct walk_result {
    card_file_result result = CARD_FILE_OK;
    int problems = 0;      // what is wrong with the file, in all
    bool stopped = false;  // a writer stopped the walk
};

// Why the file `start` begins could not be listed, in words: "not a card
// file (it begins with ...)", or the system's reason it could not be read.
[[nodiscard]] std::string why_not_listed(const file_start& start);

// At most this many problems are told a file; then how many more there are.
constexpr int PROBLEMS_TOLD = 20;

// Lists the card file at `path` ("-": standard input) to `writers`: every
// run of crdview, whatever its format, lists each file through here.
[[nodiscard]] walk_result list_card_file(const char* path, const card_writers& writers,
                                         const walk_options& options);

// Lists an already open card file from its current position; `path` names it.
[[nodiscard]] walk_result list_card_stream(std::FILE* file, const char* path,
                                           const card_writers& writers,
                                           const walk_options& options);
