// Names read from the titles of cards.
#pragma once

#include <string_view>

// `text` without the spaces and tabs at either end.
[[nodiscard]] std::string_view trim_blanks(std::string_view text);

// A person's name as a title (UTF-8) gives it.
struct name_parts {
    // The title reads "Last, First Middle": a family name before a comma, a
    // given name and perhaps more names after it, no second comma and no
    // digit. Or, with no comma and no digit, it is two or three words whose
    // last is a patronymic (Russian, Ukrainian, Belarusian, Bulgarian: ending
    // in -ич, -іч, -вна, -ўна or -чна, in either case), family name first:
    // "Family Given Patronymic" or "Given Patronymic" (no family name).
    // Otherwise the title is not taken apart.
    bool split = false;
    std::string_view family{};
    std::string_view given{};
    std::string_view
        additional{};  // the rest after the given name, or the patronymic (may be empty)
};

[[nodiscard]] name_parts name_of_title(std::string_view title);
