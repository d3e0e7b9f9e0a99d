// Phone numbers in the texts of cards.
#pragma once

#include <string_view>
#include <vector>

#include "text/marks.h"

// The phone numbers in `text` (UTF-8), in order, each once: a run of digits
// with spaces, dashes, dots and brackets between them and perhaps a leading
// '+', holding 7 to 15 digits, standing apart from letters and digits
// around it; not a date (12.03.1994, 1994-03-12), a span of years
// (1994-1995), a postal code (12345-6789, a Japanese one after its mark) or a
// number grouped in thousands (3 000 000).
void find_phone_numbers(std::string_view text, std::vector<std::string_view>& found);

// Where a phone number may begin: a digit, '+' or '('.
using phone_start = any_of<byte_range<'0', '9'>, byte_is<'+'>, byte_is<'('>>;

// The same, with `starts` the marks of `text`'s phone_start bytes (mark_bytes).
void find_marked_phone_numbers(std::string_view text, const byte_marks& starts,
                               std::vector<std::string_view>& found);
