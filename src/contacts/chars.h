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

// Adds `item` to `found` unless it is there already.
inline void add_once(std::vector<std::string_view>& found, std::string_view item) {
    if (std::find(found.begin(), found.end(), item) == found.end()) {
        found.push_back(item);
    }
}
