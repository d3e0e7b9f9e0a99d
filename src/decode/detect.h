// Code page detection: which of the code pages that crdview converts the
// texts of a card file were most likely written in. A card file is written in
// one code page, so its index lines and card texts are fed to one detector.
//
// Each text is scored at once under a model of every page (byte pairs for a
// single-byte page, characters for a double-byte one; see detect_models.inc),
// and only counts and scores are kept: the detector is a plain struct of
// about 100 KB, whatever the file's size. Scores are integers, so the answer
// is the same on every platform. Once enough bytes 0x80 to 0xFF have been
// scored (DETECT_ENOUGH_BYTES), the answer cannot change any more: the
// detector ignores further texts and detect_done says so, and the caller may
// stop feeding it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// Bytes 0x80 to 0xFF after which the detector takes no more texts.
constexpr std::uint32_t DETECT_ENOUGH_BYTES = 16384;

// The number of code pages the detector chooses among.
constexpr int DETECT_PAGE_COUNT = 14;

// The symbols that the single-byte models score pairs of: the bytes 0x80 to
// 0xFF, and 28 classes of ASCII bytes (space, digit or punctuation, and each
// letter).
constexpr int DETECT_SYMBOLS = 156;

struct code_page_detector {
    // How often each pair of symbols (first * DETECT_SYMBOLS + second) with
    // at least one byte 0x80 to 0xFF was seen: scored under the single-byte
    // pages by detect_finish.
    std::uint32_t pairs[DETECT_SYMBOLS * DETECT_SYMBOLS] = {};
    // The cost of the texts under each double-byte page's model, in the
    // order of the pages in detect.cpp; lower is likelier. (The single-byte
    // pages' entries stay 0.)
    std::int64_t cost[DETECT_PAGE_COUNT] = {};
    // Bytes 0x80 to 0xFF scored so far.
    std::uint32_t high_bytes = 0;
    // Which bytes 0x80 to 0xFF have been seen, a bit each.
    std::uint64_t seen[2] = {};
};

// What the texts look like.
struct detection {
    int encoding = 0;                     // an ENCODING_WINDOWS_* value
    bool ascii_only = false;              // no byte 0x80 to 0xFF: any page shows them alike
    bool weak = false;                    // no page fits the bytes well: the best guess
    const char* language_hint = nullptr;  // "Cyrillic: Russian, Ukrainian, Bulgarian, ..."
};

// Scores `stored_text`, an index line or a card text as stored (the bytes up
// to its first NUL). Call once for each title and text, in any order.
void detect_feed(code_page_detector& detector, std::string_view stored_text);

// True when further texts cannot change the answer: the caller may stop.
[[nodiscard]] inline bool detect_done(const code_page_detector& detector) {
    return detector.high_bytes >= DETECT_ENOUGH_BYTES;
}

// The page that the texts fed so far look like. When they are all ASCII (or
// there were none): Windows-1252, ascii_only, and the hint "ASCII". Among
// single-byte pages that show the bytes seen as the same characters, the
// first of Windows-1252, 1250, 1254, 1257, 1258 and the rest is chosen.
[[nodiscard]] detection detect_finish(const code_page_detector& detector);

// The cost of the texts fed so far under each page's model, in the order
// Windows-874, 1250 to 1258, 932, 936, 949, 950 (lower is likelier; the two
// kinds of model are weighed against each other before they are compared):
// for measuring the models.
[[nodiscard]] std::array<std::int64_t, DETECT_PAGE_COUNT> detect_costs(
    const code_page_detector& detector);

// The script, then the main languages, of `encoding`'s page ("Greek",
// "Cyrillic: Russian, Ukrainian, ..."); the script alone is what comes before
// any ':'. nullptr for a value that names no page.
[[nodiscard]] const char* detect_language_hint(int encoding);
