// The command line as crdview reads it: options in any order among the
// files, "--" before files that begin with '-', and the classic "-X Y FILE".
#pragma once

#include <cstddef>

#include "formats.h"

// The command line as read: its options, and where its files are (the files
// themselves are found again in `argv` by for_each_file, so that reading the
// command line allocates nothing: with memory this short, the reader reports it).
struct command_line {
    const char* program = nullptr;
    int argc = 0;
    const char* const* argv = nullptr;
    std::size_t file_count = 0;
    // The classic three words "-X Y FILE" whose first two are not a known
    // "-e NAME": FILE is listed as stored (classic_option names X).
    const char* classic_option = nullptr;
    const char* classic_file = nullptr;
    bool help = false;
    bool version = false;
    bool strict = false;                   // a listed file with problems fails too
    bool raw = false;                      // control characters as stored on a terminal too
    bool overwrite = false;                // --extract replaces existing regular files
    bool csv_as_stored = false;            // CSV fields a spreadsheet would evaluate as stored
    bool open = false;                     // --open: the page in the web browser
    const char* format = nullptr;          // --format
    const char* encoding = nullptr;        // --encoding
    const char* short_encoding = nullptr;  // -e
    const char* encoding_again = nullptr;  // a second -e: its name
    const char* extract = nullptr;         // --extract
    const char* find = nullptr;            // --find
    const char* cards = nullptr;           // --card
    const char* missing_value = nullptr;   // an option given last, without its value
    const char* not_option = nullptr;      // the first word that is no option
    const output_format* output = &OUTPUT_FORMATS[0];  // --format, once it is checked
};

// Reads the command line `argv` (argc elements). Allocates nothing.
[[nodiscard]] command_line parse_command_line(int argc, const char* const* argv);

// Calls `run(path, context)` with each file of the command line in turn.
void for_each_file(const command_line& line, void (*run)(const char* path, void* context),
                   void* context);

// Calls `run(path)` with each file of the command line in turn.
template <typename Run>
void for_each_file(const command_line& line, Run run) {
    for_each_file(
        line, [](const char* path, void* context) { (*static_cast<Run*>(context))(path); }, &run);
}
