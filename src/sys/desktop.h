// The desktop: a page handed to the web browser, and the console window
// that Windows opens for a program started from Explorer.
#pragma once

#include <string>

#include "files.h"

// Creates a new file for a page, "crdview-XXXXXX.html" in the temporary
// folder (TMPDIR or /tmp; on Windows the user's), where none exists, readable
// by its owner alone, and opens it for writing bytes. False, with `error` in
// words, when it cannot. The file is left there: the browser reads it after
// crdview has ended.
[[nodiscard]] bool create_page_file(owned_stream& file, std::string& path, std::string& error);

// Opens the file at `path` with the desktop's viewer for it: xdg-open
// (found on PATH; on macOS, open), or on Windows the program that Explorer
// opens it with. Anything the viewer writes goes to standard error. False,
// with `error` in words, when the viewer could not be started or failed.
[[nodiscard]] bool open_with_viewer(const std::string& path, std::string& error);

// Whether crdview runs in a console window of its own, which closes when
// it ends: on Windows, started from Explorer (a file dropped on it, or a
// double-click). Never elsewhere.
[[nodiscard]] bool console_of_its_own();

// Waits until a key is pressed in that console.
void wait_for_key();
