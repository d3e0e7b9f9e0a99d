#include "addresses.h"

#include <algorithm>

#include "chars.h"
#include "text/scan.h"

namespace {

// Where a web address may show: the ':' of "http://", the '.' of "www.".
using web_mark = any_of<byte_is<':'>, byte_is<'.'>>;

}  // namespace

void find_email_addresses(std::string_view text, std::vector<std::string_view>& found) {
    const auto local_char = [](char c) {
        return is_alnum(c) || c == '.' || c == '_' || c == '%' || c == '+' || c == '-';
    };
    const auto domain_char = [](char c) { return is_alnum(c) || c == '.' || c == '-'; };
    std::size_t from = 0;
    for (std::size_t at = text.find('@'); at != std::string_view::npos; at = text.find('@', from)) {
        std::size_t left = at;
        while (left > from && local_char(text[left - 1])) {
            --left;
        }
        while (left < at && text[left] == '.') {
            ++left;
        }
        std::size_t right = at + 1;
        while (right < text.size() && domain_char(text[right])) {
            ++right;
        }
        while (right > at + 1 && (text[right - 1] == '.' || text[right - 1] == '-')) {
            --right;
        }
        from = std::max(right, at + 1);
        const std::string_view domain = text.substr(at + 1, right - at - 1);
        const std::size_t dot = domain.rfind('.');
        if (left == at || dot == std::string_view::npos || domain.front() == '.' ||
            domain.front() == '-' || domain.find("..") != std::string_view::npos ||
            text[at - 1] == '.' || (right < text.size() && text[right] == '@')) {
            continue;
        }
        const std::string_view top = domain.substr(dot + 1);
        if (top.size() >= 2 && std::all_of(top.begin(), top.end(), is_letter)) {
            found.push_back(text.substr(left, right - left));
        }
    }
    drop_repeats(found);
}

void find_web_addresses(std::string_view text, std::vector<std::string_view>& found) {
    const auto starts_with = [&](std::size_t i, std::string_view prefix) {
        if (text.size() - i < prefix.size()) {
            return false;
        }
        for (std::size_t k = 0; k < prefix.size(); ++k) {
            const char c = text[i + k];
            if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != prefix[k]) {
                return false;
            }
        }
        return true;
    };
    std::size_t mark = 0;
    while ((mark = static_cast<std::size_t>(
                find_special<web_mark>(text.data() + mark, text.data() + text.size()) -
                text.data())) < text.size()) {
        // The address begins 4 or 5 bytes before the ':' of "http://" or
        // "https://", 3 before the '.' of "www.".
        std::size_t i = mark;
        std::size_t prefix = 0;
        if (text[mark] == ':' && mark >= 4 && starts_with(mark - 4, "http://")) {
            i = mark - 4;
            prefix = 7;
        } else if (text[mark] == ':' && mark >= 5 && starts_with(mark - 5, "https://")) {
            i = mark - 5;
            prefix = 8;
        } else if (text[mark] == '.' && mark >= 3 && starts_with(mark - 3, "www.")) {
            i = mark - 3;
            prefix = 4;
        }
        ++mark;
        const char before = i > 0 ? text[i - 1] : ' ';
        if (prefix == 0 || is_alnum(before) || before == '.' || before == '@' || before == '/') {
            continue;
        }
        std::size_t end = i + prefix;
        while (end < text.size()) {
            const auto c = static_cast<unsigned char>(text[end]);
            if (c <= 0x20 || c >= 0x7F || one_of(static_cast<char>(c), "<>\"'`{}|\\^,;")) {
                break;
            }
            ++end;
        }
        // Punctuation that ends a sentence is not part of the address; nor a
        // closing bracket that opens nowhere in it. The brackets are counted
        // once, at the first closing one, and each one trimmed off is taken
        // off the count.
        std::ptrdiff_t opened = -1;
        std::ptrdiff_t closed = 0;
        while (end > i + prefix) {
            const char last = text[end - 1];
            if (last == ')' && opened < 0) {
                const std::string_view whole = text.substr(i, end - i);
                opened = std::count(whole.begin(), whole.end(), '(');
                closed = std::count(whole.begin(), whole.end(), ')');
            }
            if (one_of(last, ".:!?") || (last == ')' && opened < closed)) {
                closed -= last == ')' ? 1 : 0;
                --end;
            } else {
                break;
            }
        }
        const std::string_view address = text.substr(i, end - i);
        const std::string_view host = address.substr(prefix);
        if (!host.empty() && (prefix != 4 || host.find('.') != std::string_view::npos)) {
            found.push_back(address);
        }
        mark = std::max(end, mark);
    }
    drop_repeats(found);
}
