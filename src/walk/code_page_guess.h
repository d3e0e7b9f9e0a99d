// The code page of a card file, guessed from its index lines and texts
// together (a card file is written in one code page).
#pragma once

#include <cstdio>

#include "decode/detect.h"

// Reads the card file `file` from its current position, card by card, until
// the detector has seen enough, and returns what its texts look like. The
// file is put back where it stood. A file that is not a card file, or cannot
// be read, gives the answer for no text at all (ASCII).
[[nodiscard]] detection guess_code_page(std::FILE* file);
