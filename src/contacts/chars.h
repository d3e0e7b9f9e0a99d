// Character tests for finding contacts in UTF-8 texts (private to
// src/contacts/): what they look at is ASCII.
#pragma once

#include <algorithm>
#include <string_view>
#include <vector>

inline bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

inline bool is_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

inline bool is_alnum(char c) {
    return is_digit(c) || is_letter(c);
}

inline bool one_of(char c, std::string_view set) {
    for (const char member : set) {
        if (c == member) {
            return true;
        }
    }
    return false;
}

// Keeps the first of each run of equal items of `found`, in order: linear
// for a few, sorted for many, so that a text of thousands of numbers or
// addresses costs n log n, never n squared.
inline void drop_repeats(std::vector<std::string_view>& found) {
    const std::size_t n = found.size();
    if (n < 2) {
        return;
    }
    if (n <= 16) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (std::find(found.begin(), found.begin() + kept, found[i]) == found.begin() + kept) {
                found[kept++] = found[i];
            }
        }
        found.resize(kept);
        return;
    }
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return found[a] < found[b]; });
    std::vector<bool> repeat(n);
    for (std::size_t k = 1; k < n; ++k) {
        repeat[order[k]] = found[order[k]] == found[order[k - 1]];
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!repeat[i]) {
            found[kept++] = found[i];
        }
    }
    found.resize(kept);
}
