#include "phones.h"

#include <algorithm>

#include "chars.h"

namespace {

struct digit_groups {
    std::size_t count = 0;
    unsigned char sizes[16];  // of the first 16 groups
    std::string_view first{}, last{};
    bool same_separator = true;  // one and the same single character between every two
    char separator = 0;
};

digit_groups groups_of(std::string_view number) {
    digit_groups groups;
    std::size_t i = 0;
    std::string_view between;
    while (i < number.size()) {
        const std::size_t start = i;
        while (i < number.size() && !is_digit(number[i])) {
            ++i;
        }
        between = number.substr(start, i - start);
        const std::size_t digits = i;
        while (i < number.size() && is_digit(number[i])) {
            ++i;
        }
        if (i == digits) {
            break;
        }
        if (groups.count > 0) {
            if (between.size() != 1 || (groups.count > 1 && between[0] != groups.separator)) {
                groups.same_separator = false;
            }
            groups.separator = between.empty() ? 0 : between[0];
        } else if (!between.empty()) {
            groups.same_separator = false;  // '+' or '(' in front
        }
        if (groups.count < 16) {
            groups.sizes[groups.count] =
                static_cast<unsigned char>(std::min<std::size_t>(i - digits, 255));
        }
        if (groups.count == 0) {
            groups.first = number.substr(digits, i - digits);
        }
        groups.last = number.substr(digits, i - digits);
        ++groups.count;
    }
    return groups;
}

bool is_year(std::string_view digits) {
    return digits.size() == 4 && (digits.substr(0, 2) == "19" || digits.substr(0, 2) == "20");
}

// Whether a run of 7 to 15 digits is something a careful reader would not dial.
bool not_a_phone_number(std::string_view number, std::string_view before) {
    const digit_groups g = groups_of(number);
    if (g.count > 16) {
        return true;
    }
    const bool dated =
        g.same_separator && (g.separator == '.' || g.separator == '/' || g.separator == '-');
    if (dated && g.count == 3 &&
        ((g.sizes[0] <= 2 && g.sizes[1] <= 2 && is_year(g.last)) ||
         (is_year(g.first) && g.sizes[1] <= 2 && g.sizes[2] <= 2))) {
        return true;  // a date
    }
    if (g.same_separator && g.count == 2 && g.separator == '-' &&
        ((is_year(g.first) && is_year(g.last)) ||
         (g.sizes[0] == 5 && (g.sizes[1] == 4 || g.sizes[1] == 3)))) {
        return true;  // years from and to; a postal code
    }
    if (g.same_separator && g.count >= 3 && (g.separator == ' ' || g.separator == '.') &&
        g.sizes[0] <= 3 &&
        std::all_of(g.sizes + 1, g.sizes + g.count, [](std::size_t size) { return size == 3; })) {
        return true;  // a sum in thousands
    }
    while (!before.empty() && (before.back() == ' ' || before.back() == '\t')) {
        before.remove_suffix(1);  // the blanks between the mark and the number
    }
    return before.size() >= 3 && before.substr(before.size() - 3) == "\xE3\x80\x92";  // 〒
}

}  // namespace

void find_phone_numbers(std::string_view text, std::vector<std::string_view>& found) {
    byte_marks starts;
    mark_bytes<phone_start>(text, starts);
    find_marked_phone_numbers(text, starts, found);
}

void find_marked_phone_numbers(std::string_view text, const byte_marks& starts,
                               std::vector<std::string_view>& found) {
    const marked_bytes marks{starts.data(), text.size()};
    const std::size_t n = text.size();
    std::size_t i = 0;
    while ((i = marks.next(i)) < n) {
        const char c = text[i];
        if (!is_digit(c) && c != '+' && c != '(') {
            ++i;
            continue;
        }
        const char before = i > 0 ? text[i - 1] : ' ';
        const bool joined =
            is_alnum(before) || one_of(before, "/_=@&?%#+:") ||
            ((before == '-' || before == '.' || before == ',') && i > 1 && is_alnum(text[i - 2]));
        const bool starts = c == '+'   ? i + 1 < n && (is_digit(text[i + 1]) || text[i + 1] == '(')
                            : c == '(' ? i + 1 < n && is_digit(text[i + 1])
                                       : true;
        if (joined || !starts) {
            // Not the start of a number: past the digits and the dashes,
            // dots and brackets joined to them.
            ++i;
            while (i < n && (is_digit(text[i]) || one_of(text[i], "-.()"))) {
                ++i;
            }
            continue;
        }
        std::size_t j = i + (c == '+' ? 1 : 0);
        std::size_t end = i;  // after the last digit
        std::size_t digits = 0;
        int brackets = 0;  // 1: one opened; 2: opened and closed
        while (j < n) {
            const char d = text[j];
            if (is_digit(d)) {
                ++digits;
                end = ++j;
                continue;
            }
            const char previous = j > 0 ? text[j - 1] : ' ';
            const bool more = j + 1 < n && (is_digit(text[j + 1]) || text[j + 1] == '(');
            if ((d == ' ' && previous != ' ' && more) ||
                ((d == '-' || d == '.') && (is_digit(previous) || previous == ')') && more) ||
                (d == '(' && brackets == 0 && j + 1 < n && is_digit(text[j + 1])) ||
                (d == ')' && brackets == 1 && is_digit(previous))) {
                brackets += d == '(' || d == ')' ? 1 : 0;
                ++j;
                continue;
            }
            break;
        }
        const std::string_view number = text.substr(i, end - i);
        const auto balanced = [number] {
            return std::count(number.begin(), number.end(), '(') ==
                   std::count(number.begin(), number.end(), ')');
        };
        const bool apart = end >= n || !(is_alnum(text[end]) || text[end] == '@');
        if (digits >= 7 && digits <= 15 && apart && balanced() &&
            !not_a_phone_number(number, text.substr(0, i))) {
            found.push_back(number);
        }
        i = std::max(end, i + 1);
        while (i < n && is_digit(text[i])) {
            ++i;
        }
    }
    drop_repeats(found);
}
