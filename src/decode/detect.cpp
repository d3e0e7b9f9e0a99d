#include "detect.h"

#include <array>
#include <cstring>

#include "decode.h"

namespace {

#include "detect_models.inc"

constexpr int SINGLE_BYTE_PAGES = 10;

// The pages, single-byte first, in the order of code_page_detector::cost.
struct page_model {
    int encoding;
    const char* costs;  // PAIRS_* or CHARS_*
    const char* hint;
};

const std::array<page_model, DETECT_PAGE_COUNT> PAGES = {{
    {ENCODING_WINDOWS_874, PAIRS_874, "Thai"},
    {ENCODING_WINDOWS_1250, PAIRS_1250,
     "Central European: Polish, Czech, Slovak, Hungarian, Croatian, Slovene, Romanian, ..."},
    {ENCODING_WINDOWS_1251, PAIRS_1251,
     "Cyrillic: Russian, Ukrainian, Bulgarian, Serbian, Belarusian, Macedonian, ..."},
    {ENCODING_WINDOWS_1252, PAIRS_1252,
     "Western European: English, German, French, Spanish, Italian, Portuguese, Dutch, "
     "Scandinavian, ..."},
    {ENCODING_WINDOWS_1253, PAIRS_1253, "Greek"},
    {ENCODING_WINDOWS_1254, PAIRS_1254, "Turkish"},
    {ENCODING_WINDOWS_1255, PAIRS_1255, "Hebrew"},
    {ENCODING_WINDOWS_1256, PAIRS_1256, "Arabic: Arabic, Persian, Urdu, ..."},
    {ENCODING_WINDOWS_1257, PAIRS_1257, "Baltic: Lithuanian, Latvian, Estonian"},
    {ENCODING_WINDOWS_1258, PAIRS_1258, "Vietnamese"},
    {ENCODING_WINDOWS_932, CHARS_932, "Japanese"},
    {ENCODING_WINDOWS_936, CHARS_936, "Simplified Chinese"},
    {ENCODING_WINDOWS_949, CHARS_949, "Korean"},
    {ENCODING_WINDOWS_950, CHARS_950, "Traditional Chinese"},
}};

// Indexes into PAGES, in the order ties are broken: Windows-1252 first, then
// the Latin pages that share most of its letters.
constexpr std::array<int, DETECT_PAGE_COUNT> PREFERENCE = {3, 1, 5, 8,  9,  2,  4,
                                                           6, 7, 0, 10, 11, 12, 13};

// The cost that each character of COST_ALPHABET stands for.
struct cost_table {
    unsigned char of[256] = {};
};

constexpr cost_table make_cost_table() {
    cost_table table{};
    for (int i = 0; i < 256; ++i) {
        table.of[i] = COST_MAX;
    }
    for (int i = 0; COST_ALPHABET[i] != '\0'; ++i) {
        table.of[static_cast<unsigned char>(COST_ALPHABET[i])] = static_cast<unsigned char>(i);
    }
    return table;
}

constexpr cost_table COSTS = make_cost_table();

inline int cost_at(const char* costs, std::size_t index) {
    return COSTS.of[static_cast<unsigned char>(costs[index])];
}

// Symbols of the single-byte models (make_detect_models.py): bytes 0x80 to
// 0xFF are 0 to 127; an ASCII byte is a space (or control), a digit or
// punctuation, or its letter in either case, LETTER_A + 0 to 25.
constexpr unsigned SPACE = 128, PUNCT = 129, LETTER_A = 130;

struct symbol_table {
    unsigned char of[128] = {};
};

constexpr symbol_table make_symbol_table() {
    symbol_table table{};
    for (unsigned byte = 0; byte < 128; ++byte) {
        unsigned symbol = PUNCT;
        if (byte >= 'a' && byte <= 'z') {
            symbol = LETTER_A + (byte - 'a');
        } else if (byte >= 'A' && byte <= 'Z') {
            symbol = LETTER_A + (byte - 'A');
        } else if (byte <= ' ' || byte == 0x7F) {
            symbol = SPACE;
        }
        table.of[byte] = static_cast<unsigned char>(symbol);
    }
    return table;
}

constexpr symbol_table ASCII_SYMBOLS = make_symbol_table();

inline unsigned symbol_of(unsigned char byte) {
    return byte >= 0x80 ? byte - 0x80u : ASCII_SYMBOLS.of[byte];
}

// The position of the first byte 0x80 to 0xFF of `text` at or after `from`;
// `size` when there is none.
std::size_t next_high(const unsigned char* text, std::size_t from, std::size_t size) {
    std::size_t i = from;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text + i, 8);
        if ((word & 0x8080808080808080u) != 0) {
            break;
        }
    }
    while (i < size && text[i] < 0x80) {
        ++i;
    }
    return i;
}

static_assert(SYMBOLS == DETECT_SYMBOLS, "detect_models.inc and detect.h disagree");

// Counts the pairs of neighbours in `text` from `first` (its first byte 0x80
// to 0xFF) with at least one byte 0x80 to 0xFF, the text's ends counted as
// spaces, for the single-byte pages.
void count_pairs(code_page_detector& detector, const unsigned char* text, std::size_t first,
                 std::size_t size) {
    std::size_t i = first;
    while (i < size) {
        unsigned previous = i == 0 ? SPACE : symbol_of(text[i - 1]);
        for (; i < size && text[i] >= 0x80; ++i) {
            unsigned current = text[i] - 0x80u;
            ++detector.pairs[previous * SYMBOLS + current];
            detector.seen[current >> 6] |= std::uint64_t{1} << (current & 63);
            ++detector.high_bytes;
            previous = current;
        }
        unsigned next = i < size ? symbol_of(text[i]) : SPACE;
        ++detector.pairs[previous * SYMBOLS + next];
        i = next_high(text, i, size);
    }
}

// Scores the bytes of `text` from `first` under the double-byte page
// PAGES[page], read as the conversion reads them: a lead byte and the byte
// after it are one character when the page assigns the pair, otherwise the
// lead byte is a fault (the highest cost) and the byte after it is read
// afresh.
void score_double_byte(code_page_detector& detector, int page, const unsigned char* text,
                       std::size_t first, std::size_t size) {
    const char* costs = PAGES[page].costs;
    const char* singles = costs + LEADS * TRAILS;
    std::int64_t total = 0;
    std::size_t i = first;
    while (i < size) {
        unsigned byte = text[i];
        if (byte < 0x80) {
            i = next_high(text, i, size);
            continue;
        }
        int single = cost_at(singles, byte - 0x80u);
        if (single < COST_MAX || byte < LEAD_FIRST || byte >= LEAD_FIRST + LEADS) {
            total += single;
            ++i;
            continue;
        }
        if (i + 1 < size && text[i + 1] >= TRAIL_FIRST && text[i + 1] <= TRAIL_LAST) {
            int pair = cost_at(costs, (byte - LEAD_FIRST) * TRAILS + (text[i + 1] - TRAIL_FIRST));
            if (pair < COST_MAX) {
                total += pair;
                i += 2;
                continue;
            }
        }
        total += COST_MAX;
        ++i;
    }
    detector.cost[page] += total;
}

// True when every byte that `detector` has seen is the same character in
// the single-byte pages PAGES[a] and PAGES[b].
bool same_characters(const code_page_detector& detector, int a, int b) {
    const code_page* page_a = code_page_of(PAGES[a].encoding);
    const code_page* page_b = code_page_of(PAGES[b].encoding);
    if (page_a == nullptr || page_b == nullptr) {
        return false;
    }
    for (unsigned byte = 0; byte < 128; ++byte) {
        if ((detector.seen[byte >> 6] >> (byte & 63) & 1) == 0) {
            continue;
        }
        char in[1] = {static_cast<char>(byte + 0x80)};
        char out_a[utf8_room(1)], out_b[utf8_room(1)];
        char* end_a = decode_text(page_a, std::string_view(in, 1), out_a);
        char* end_b = decode_text(page_b, std::string_view(in, 1), out_b);
        if (end_a - out_a != end_b - out_b ||
            std::memcmp(out_a, out_b, static_cast<std::size_t>(end_a - out_a)) != 0) {
            return false;
        }
    }
    return true;
}

// The costs of the two kinds of model are weighed against each other by
// these factors. A single-byte model counts each byte twice (in the pair
// before it and the pair after it), a double-byte model once for the two
// bytes of a character: the factors even that out, and lean a little more
// towards single-byte pages, whose texts give the double-byte models long
// runs of valid pairs (Thai, Cyrillic, Greek). Measured by
// bench/detect_accuracy.py on running text the models never saw: a
// double-byte file's cost in its own page is at most 0.3 of its best
// single-byte cost, and a single-byte file's best double-byte cost is at
// least 0.78 of its own page's, so the weighed costs are at least 1.3 times
// apart either way.
constexpr std::int64_t SINGLE_BYTE_WEIGHT = 2;
constexpr std::int64_t DOUBLE_BYTE_WEIGHT = 5;

// The weighed cost of a byte 0x80 to 0xFF, on average, above which the page
// chosen does not fit the texts well. In the Latin pages a letter beyond
// ASCII stands among ASCII letters, and running text in its own page costs
// up to 111 a byte in the measurements; names cost the double-byte pages
// more than running text (a Japanese name and address 110). In the other
// pages the letters stand among their own kind, and running text costs at
// most 96 a byte. Random bytes cost 155 or more (120 in a text of a few
// bytes), and bytes of a regular pattern 116 or more.
constexpr std::int64_t WEAK_COST_PER_BYTE_MIXED = 135;
constexpr std::int64_t WEAK_COST_PER_BYTE = 110;

// True for the pages whose letters beyond ASCII stand among ASCII letters
// (Latin) or are two bytes each: WEAK_COST_PER_BYTE_MIXED holds for them.
bool mixed(int page) {
    const int encoding = PAGES[page].encoding;
    return page >= SINGLE_BYTE_PAGES || encoding == ENCODING_WINDOWS_1250 ||
           encoding == ENCODING_WINDOWS_1252 || encoding == ENCODING_WINDOWS_1254 ||
           encoding == ENCODING_WINDOWS_1257 || encoding == ENCODING_WINDOWS_1258;
}

// What a page costs before any byte, in weighed units: Windows-1252 is the
// page of most card files, which tips a file of a few accented letters
// (a Dutch "ë", an Icelandic place name) its way.
constexpr std::int64_t OTHER_PAGE_PRIOR = 30;

std::int64_t weighed_cost(const std::array<std::int64_t, DETECT_PAGE_COUNT>& cost, int page) {
    return cost[page] * (page < SINGLE_BYTE_PAGES ? SINGLE_BYTE_WEIGHT : DOUBLE_BYTE_WEIGHT) +
           (PAGES[page].encoding == ENCODING_WINDOWS_1252 ? 0 : OTHER_PAGE_PRIOR);
}

}  // namespace

void detect_feed(code_page_detector& detector, std::string_view stored_text) {
    if (detect_done(detector)) {
        return;
    }
    const auto* text = reinterpret_cast<const unsigned char*>(stored_text.data());
    std::size_t size = stored_text.size();
    std::size_t first = next_high(text, 0, size);
    if (first == size) {
        return;
    }
    count_pairs(detector, text, first, size);
    for (int page = SINGLE_BYTE_PAGES; page < DETECT_PAGE_COUNT; ++page) {
        score_double_byte(detector, page, text, first, size);
    }
}

std::array<std::int64_t, DETECT_PAGE_COUNT> detect_costs(const code_page_detector& detector) {
    std::array<std::int64_t, DETECT_PAGE_COUNT> cost{};
    for (int page = 0; page < DETECT_PAGE_COUNT; ++page) {
        cost[page] = detector.cost[page];
    }
    for (std::size_t pair = 0; pair < SYMBOLS * SYMBOLS; ++pair) {
        std::uint32_t count = detector.pairs[pair];
        if (count == 0) {
            continue;
        }
        for (int page = 0; page < SINGLE_BYTE_PAGES; ++page) {
            cost[page] += std::int64_t{count} * cost_at(PAGES[page].costs, pair);
        }
    }
    return cost;
}

detection detect_finish(const code_page_detector& detector) {
    detection result;
    if (detector.high_bytes == 0) {
        result.encoding = ENCODING_WINDOWS_1252;
        result.ascii_only = true;
        result.language_hint = "ASCII";
        return result;
    }
    const std::array<std::int64_t, DETECT_PAGE_COUNT> cost = detect_costs(detector);
    int best = PREFERENCE[0];
    for (int page : PREFERENCE) {
        if (weighed_cost(cost, page) < weighed_cost(cost, best)) {
            best = page;
        }
    }
    result.weak =
        weighed_cost(cost, best) > (mixed(best) ? WEAK_COST_PER_BYTE_MIXED : WEAK_COST_PER_BYTE) *
                                       std::int64_t{detector.high_bytes};
    // A page earlier in PREFERENCE that shows the same characters.
    if (best < SINGLE_BYTE_PAGES) {
        for (int page : PREFERENCE) {
            if (page == best) {
                break;
            }
            if (page < SINGLE_BYTE_PAGES && same_characters(detector, page, best)) {
                best = page;
                break;
            }
        }
    }
    result.encoding = PAGES[best].encoding;
    result.language_hint = PAGES[best].hint;
    return result;
}

const char* detect_language_hint(int encoding) {
    for (const page_model& page : PAGES) {
        if (page.encoding == encoding) {
            return page.hint;
        }
    }
    return nullptr;
}
