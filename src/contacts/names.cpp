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

// The letters of the patronymic ending `text` (UTF-8) ends in: 2 for -ич and
// -іч, 3 for -вна, -ўна and -чна (Cyrillic letters, two bytes each, in
// either case); 0 for none.
std::size_t patronymic_ending(std::string_view text) {
    // The last three characters, last first, in lower case; 0 past the
    // letters that are Cyrillic.
    char16_t last[3] = {0, 0, 0};
    std::size_t end = text.size();
    for (char16_t& c : last) {
        if (end < 2) {
            break;
        }
        const auto lead = static_cast<unsigned char>(text[end - 2]);
        const auto trail = static_cast<unsigned char>(text[end - 1]);
        if (lead < 0xD0 || lead > 0xD3 || (trail & 0xC0) != 0x80) {
            break;
        }
        c = static_cast<char16_t>((lead & 0x1F) << 6 | (trail & 0x3F));
        c = c >= 0x410 && c <= 0x42F ? c + 0x20 : c >= 0x400 && c <= 0x40F ? c + 0x50 : c;
        end -= 2;
    }
    if (last[0] == u'ч' && (last[1] == u'и' || last[1] == u'і')) {
        return 2;
    }
    const bool three = last[0] == u'а' && last[1] == u'н' &&
                       (last[2] == u'в' || last[2] == u'ў' || last[2] == u'ч');
    return three ? 3 : 0;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// The words of a title without a comma, when there are two or three and the
// last is a patronymic: "Family Given Patronymic", or "Given Patronymic".
name_parts family_first(std::string_view title) {
    name_parts name;
    std::string_view rest = trim_blanks(title);
    // The ending first: most titles end otherwise.
    const std::size_t ending = patronymic_ending(rest);
    if (ending == 0) {
        return name;
    }
    std::size_t at = rest.size();
    while (at > 0 && !is_blank(rest[at - 1])) {
        --at;
    }
    // The last word: at least two letters before its ending.
    const std::string_view last = rest.substr(at);
    if (at == 0 || last.size() < 2 * (ending + 2)) {
        return name;
    }
    rest = trim_blanks(rest.substr(0, at));
    std::size_t blank = 0;
    while (blank < rest.size() && !is_blank(rest[blank])) {
        ++blank;
    }
    const std::string_view first = rest.substr(0, blank);
    const std::string_view second = trim_blanks(rest.substr(blank));
    if (std::any_of(second.begin(), second.end(), is_blank) || has_digit(rest) || has_digit(last)) {
        return name;  // four words or more, or a digit
    }
    name.split = true;
    name.family = second.empty() ? std::string_view() : first;
    name.given = second.empty() ? first : second;
    name.additional = last;
    return name;
}

}  // namespace

name_parts name_of_title(std::string_view title) {
    name_parts name;
    const std::size_t comma = title.find(',');
    if (comma == std::string_view::npos) {
        return family_first(title);
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
