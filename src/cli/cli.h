// The command-line front end of crdview.
#pragma once

#include <cstdio>

// Exit statuses.
constexpr int EXIT_LISTED = 0;      // the file was listed (or the help or version shown)
constexpr int EXIT_NOT_LISTED = 1;  // not opened, not read, not a card file, or not written
constexpr int EXIT_USAGE = 2;       // the arguments do not fit

// Prints the help text to `out`, with the base name of `program_path` (the
// first element of the argument vector) as the program's name; "crdview"
// when there is no such element or it is empty.
void print_help(const char* program_path, std::FILE* out);

// Runs crdview on the command line `argv` (argc elements), writing the
// listing (or document) to `out` and what it tells the user besides to `err`
// (standard error when omitted), and returns the exit status. A write error
// on `out` stops the run at the card it hit, with EXIT_NOT_LISTED; `out` is
// neither flushed nor closed here, so that what stdio still holds is the
// caller's to check (main does, for standard output).
[[nodiscard]] int run_crdview(int argc, const char* const* argv, std::FILE* out, std::FILE* err);
[[nodiscard]] int run_crdview(int argc, const char* const* argv, std::FILE* out);

// crdview started from the desktop in a console window of its own (on
// Windows, from Explorer: files dropped on it, or a double-click): shows the
// files given in the web browser, as --open does, or with none says what
// crdview is; waits for a key before the window closes on words to read.
[[nodiscard]] int run_from_desktop(int argc, const char* const* argv, std::FILE* out,
                                   std::FILE* err);
