#include "names.h"

#include <algorithm>

#include "chars.h"

std::string_view trim_blanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

namespace {

bool has_digit(std::string_view text) {
    return std::any_of(text.begin(), text.end(), is_digit);
}

}  // namespace

name_parts name_of_title(std::string_view title) {
    name_parts name;
    const std::size_t comma = title.find(',');
    if (comma == std::string_view::npos) {
        return name;
    }
    const std::string_view last = trim_blanks(title.substr(0, comma));
    const std::string_view rest = trim_blanks(title.substr(comma + 1));
    const std::size_t space = rest.find_first_of(" \t");
    const std::string_view first = rest.substr(0, space);
    if (last.empty() || first.empty() || rest.find(',') != std::string_view::npos ||
        has_digit(last) || has_digit(rest)) {
        return name;
    }
    name.split = true;
    name.family = last;
    name.given = first;
    name.additional =
        space == std::string_view::npos ? std::string_view() : trim_blanks(rest.substr(space));
    return name;
}
