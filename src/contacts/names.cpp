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

// Whether `word` (UTF-8) ends as a patronymic: in -ич, -іч, -вна, -ўна or
// -чна (Cyrillic letters, two bytes each), with at least two letters before.
bool is_patronymic(std::string_view word) {
    // The last three characters, last first, in lower case; 0 past the
    // letters that are Cyrillic.
    char16_t last[3] = {0, 0, 0};
    std::size_t end = word.size();
    for (char16_t& c : last) {
        if (end < 2) {
            break;
        }
        const auto lead = static_cast<unsigned char>(word[end - 2]);
        const auto trail = static_cast<unsigned char>(word[end - 1]);
        if (lead < 0xD0 || lead > 0xD3 || (trail & 0xC0) != 0x80) {
            break;
        }
        c = static_cast<char16_t>((lead & 0x1F) << 6 | (trail & 0x3F));
        c = c >= 0x410 && c <= 0x42F ? c + 0x20 : c >= 0x400 && c <= 0x40F ? c + 0x50 : c;
        end -= 2;
    }
    const bool two = word.size() >= 8 && last[0] == u'ч' && (last[1] == u'и' || last[1] == u'і');
    const bool three = word.size() >= 10 && last[0] == u'а' && last[1] == u'н' &&
                       (last[2] == u'в' || last[2] == u'ў' || last[2] == u'ч');
    return two || three;
}

// The words of a title without a comma, when there are two or three and the
// last is a patronymic: "Family Given Patronymic", or "Given Patronymic".
name_parts family_first(std::string_view title) {
    name_parts name;
    std::string_view words[4];
    std::size_t count = 0;
    for (std::string_view rest = trim_blanks(title); !rest.empty() && count < 4; ++count) {
        const std::size_t blank = rest.find_first_of(" \t");
        words[count] = rest.substr(0, blank);
        rest =
            blank == std::string_view::npos ? std::string_view() : trim_blanks(rest.substr(blank));
    }
    if (count < 2 || count > 3 || has_digit(title) || !is_patronymic(words[count - 1])) {
        return name;
    }
    name.split = true;
    name.family = count == 3 ? words[0] : std::string_view();
    name.given = words[count - 2];
    name.additional = words[count - 1];
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
