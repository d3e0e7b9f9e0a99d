// Hostile card files: cut short, with absurd counts, lengths and offsets.
// Each must list without a fault, and a listing without conversion may hold
// only the program's own texts and bytes that the file holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "card_builder.h"
#include "cardfile/format.h"
#include "decode/decode.h"
#include "writers/listing.h"

namespace fs = std::filesystem;
using namespace card_builder;

namespace {

std::string escaped(std::string_view bytes) {
    std::string shown;
    for (const unsigned char c : bytes.substr(0, 300)) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            shown += static_cast<char>(c);
        } else {
            static const char digits[] = "0123456789abcdef";
            shown += "\\x";
            shown += digits[c >> 4];
            shown += digits[c & 0xF];
        }
    }
    return bytes.size() > 300 ? shown + "..." : shown;
}

bool is_in(std::string_view piece, std::string_view file) {
    if (piece.empty()) {
        return true;
    }
    const std::boyer_moore_horspool_searcher searcher(piece.begin(), piece.end());
    return std::search(file.begin(), file.end(), searcher) != file.end();
}

bool read_number(std::string_view text, std::size_t& pos, long long& number) {
    const std::size_t start = pos;
    if (pos < text.size() && text[pos] == '-') {
        ++pos;
    }
    const std::size_t digits = pos;
    number = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - digits < 10) {
        number = number * 10 + (text[pos] - '0');
        ++pos;
    }
    if (pos == digits) {
        pos = start;
        return false;
    }
    if (text[start] == '-') {
        number = -number;
    }
    return true;
}

bool skip(std::string_view text, std::size_t& pos, std::string_view expected) {
    if (text.substr(pos, expected.size()) != expected) {
        return false;
    }
    pos += expected.size();
    return true;
}

// A card heading with its rule: "\n", 0 to 2 spaces, "Card ", the number, "\n--------".
struct heading {
    std::size_t at = 0;
    std::size_t end = 0;
    std::size_t indent = 0;
    long long number = 0;
};

bool find_heading(std::string_view out, std::size_t from, heading& found) {
    for (std::size_t card = out.find("Card ", from); card != std::string_view::npos;
         card = out.find("Card ", card + 1)) {
        std::size_t indent = 0;
        while (indent < 3 && card > from + indent && out[card - indent - 1] == ' ') {
            ++indent;
        }
        if (indent > 2 || card < from + indent + 1 || out[card - indent - 1] != '\n') {
            continue;
        }
        std::size_t pos = card + 5;
        long long number;
        if (read_number(out, pos, number) && skip(out, pos, "\n--------")) {
            found = {card - indent - 1, pos, indent, number};
            return true;
        }
    }
    return false;
}

// The object notice at the start of `rest`; `pos` moves behind it.
bool skip_object_notice(std::string_view rest, std::size_t& pos) {
    long long value;
    return skip(rest, pos, "\n*** OLE object, not supported,\n    UID: ") &&
           read_number(rest, pos, value) && skip(rest, pos, ", format ID: ") &&
           read_number(rest, pos, value) && skip(rest, pos, ", class name len: ") &&
           read_number(rest, pos, value) && skip(rest, pos, ".\n");
}

bool is_stored_text(std::string_view text, std::string_view file) {
    return text.find('\0') == std::string_view::npos && is_in(text, file);
}

// What follows a heading: "\n" index line "\n", then nothing (no body read),
// "\n" card text "\n", or the object notice, alone or followed by the text.
bool is_card_content(std::string_view content, std::string_view file) {
    if (content.size() < 2 || content[0] != '\n') {
        return false;
    }
    for (std::size_t length = 0; length <= INDEX_TEXT_SIZE && length + 2 <= content.size();
         ++length) {
        if (content[1 + length] != '\n' || !is_stored_text(content.substr(1, length), file)) {
            continue;
        }
        std::string_view rest = content.substr(2 + length);
        std::size_t notice_end = 0;
        if (skip_object_notice(rest, notice_end)) {
            rest.remove_prefix(notice_end);
        }
        if (rest.empty() || (rest.size() >= 2 && rest.front() == '\n' && rest.back() == '\n' &&
                             is_stored_text(rest.substr(1, rest.size() - 2), file))) {
            return true;
        }
    }
    return false;
}

unsigned char byte_at(std::string_view file, std::size_t at) {
    return at < file.size() ? static_cast<unsigned char>(file[at]) : 0;
}

// `out`, the listing of `file` without conversion, is the header line (or
// the signature notice with exactly the bytes the file has), then headings
// in rising order, each followed by texts that the file holds.
testing::AssertionResult holds_only_file_bytes(std::string_view out, std::string_view file) {
    const std::string_view signature = file.substr(0, SIGNATURE_SIZE);
    if (signature != "RRG" && signature != "MGC") {
        if (out == "\n\nThe signature is not supported: " + std::string(signature)) {
            return testing::AssertionSuccess();
        }
        return testing::AssertionFailure() << "bad signature notice: " << escaped(out);
    }
    const std::size_t count_at = signature == "RRG" ? 7 : 3;
    const auto count =
        static_cast<std::int16_t>(byte_at(file, count_at) | (byte_at(file, count_at + 1) << 8));
    const std::string header = "\n\n" + std::string(signature) +
                               " card file, total cards: " + std::to_string(count) + "\n";
    if (out.substr(0, header.size()) != header) {
        return testing::AssertionFailure() << "header: " << escaped(out);
    }
    long long last_number = 0;
    std::size_t pos = header.size();
    heading current;
    while (pos < out.size()) {
        if (!find_heading(out, pos, current) || current.at != pos) {
            return testing::AssertionFailure()
                   << "no heading at " << pos << ": " << escaped(out.substr(pos));
        }
        const std::size_t indent = current.number <= 9 ? 2 : current.number <= 99 ? 1 : 0;
        if (current.number <= last_number || current.number > count || current.indent != indent) {
            return testing::AssertionFailure()
                   << "heading out of order or misaligned: "
                   << escaped(out.substr(current.at, current.end - current.at));
        }
        last_number = current.number;
        heading next;
        const std::size_t end = find_heading(out, current.end, next) ? next.at : out.size();
        const std::string_view content = out.substr(current.end, end - current.end);
        if (!is_card_content(content, file)) {
            return testing::AssertionFailure()
                   << "card " << current.number
                   << " holds bytes not in the file: " << escaped(content);
        }
        pos = end;
    }
    return testing::AssertionSuccess();
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Files found at run time: the examples, the hand-made fuzz seeds and the
// golden fixtures (the larger fixtures, which the seeds already cover in
// kind, only up to a size that keeps the test quick).
std::vector<fs::path> sample_files() {
    const fs::path source(CRDVIEW_SOURCE_DIR);
    struct place {
        fs::path dir;
        std::uintmax_t size_limit;
    };
    const place places[] = {{source / "examples", UINTMAX_MAX},
                            {source / "fuzz" / "seeds", UINTMAX_MAX},
                            {source / "tests" / "golden" / "cases", 4096}};
    std::vector<fs::path> files;
    for (const place& p : places) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(p.dir, error)) {
            if (entry.is_regular_file() && entry.path().extension() == ".crd" &&
                entry.file_size() <= p.size_limit) {
                files.push_back(entry.path());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Every length from 0 to the full size; above 4 KiB, the first 4 KiB and
// then lengths spread evenly up to the full size.
std::vector<std::size_t> cut_lengths(std::size_t size) {
    std::vector<std::size_t> lengths;
    constexpr std::size_t every_length_up_to = 4096;
    for (std::size_t length = 0; length <= std::min(size, every_length_up_to); ++length) {
        lengths.push_back(length);
    }
    if (size > every_length_up_to) {
        const std::size_t step = std::max<std::size_t>(1, (size - every_length_up_to) / 512);
        for (std::size_t length = every_length_up_to + step; length < size; length += step) {
            lengths.push_back(length);
        }
        lengths.push_back(size);
    }
    return lengths;
}

card_file_result expected_result(std::string_view file) {
    const std::string_view signature = file.substr(0, SIGNATURE_SIZE);
    return signature == "RRG" || signature == "MGC" ? CARD_FILE_OK : CARD_FILE_BAD_SIGNATURE;
}

TEST(HostileFiles, EveryTruncationOfEverySampleListsOnlyFileBytes) {
    const std::vector<fs::path> files = sample_files();
    ASSERT_FALSE(files.empty()) << "no sample files under " << CRDVIEW_SOURCE_DIR;
    const file_ptr out = output_stream();
    ASSERT_TRUE(out);
    for (const fs::path& path : files) {
        const std::string whole = read_file(path);
        for (const std::size_t length : cut_lengths(whole.size())) {
            const std::string_view file = std::string_view(whole).substr(0, length);
            const file_ptr in = stream_with(file);
            ASSERT_TRUE(in);
            const listing as_stored = list_from(in.get(), ENCODING_NONE, out.get());
            const listing converted = list_from(in.get(), ENCODING_WINDOWS_1251, out.get());
            const bool sound = as_stored.result == expected_result(file) &&
                               converted.result == expected_result(file) &&
                               holds_only_file_bytes(as_stored.out, file);
            if (!sound) {
                EXPECT_EQ(as_stored.result, expected_result(file));
                EXPECT_EQ(converted.result, expected_result(file));
                EXPECT_TRUE(holds_only_file_bytes(as_stored.out, file));
                ADD_FAILURE() << path << " cut to " << length << " of " << whole.size() << " bytes";
                break;  // one report per file
            }
        }
    }
}

// The check itself must catch what it is there to catch.
TEST(HostileFiles, TheByteCheckRejectsForeignBytes) {
    const std::string file = mgc_header(1) + index_entry(57, "Alpha") + mgc_body("Hello");
    const std::string good = "\n\nMGC card file, total cards: 1\n\n  Card 1\n--------\nAlpha\n";
    EXPECT_TRUE(holds_only_file_bytes(good + "\nHello\n", file));
    EXPECT_TRUE(holds_only_file_bytes(good + "\nHel\n", file));
    EXPECT_FALSE(holds_only_file_bytes(good + "\nHello\x01\n", file));  // a byte beyond the text
    EXPECT_FALSE(holds_only_file_bytes(good + "\nHello" + std::string(1, '\0') + "\n", file));
    EXPECT_FALSE(holds_only_file_bytes(good + "\nHelloHello\n", file));
    EXPECT_FALSE(holds_only_file_bytes(
        "\n\nMGC card file, total cards: 1\n\n Card 1\n--------\nAlpha\n", file));
    EXPECT_FALSE(holds_only_file_bytes(good + good.substr(32), file));  // card 1 twice
    EXPECT_FALSE(holds_only_file_bytes("\n\nThe signature is not supported: MG", file));
    EXPECT_TRUE(holds_only_file_bytes("\n\nThe signature is not supported: MG", "MG"));
    EXPECT_FALSE(
        holds_only_file_bytes(std::string("\n\nThe signature is not supported: MG") + '\0', "MG"));
}

TEST(HostileFiles, AbsurdCardCountsOnAFewBytes) {
    for (const std::int16_t count : {std::int16_t{32767}, std::int16_t{-1}, std::int16_t{-32768}}) {
        const std::string number = std::to_string(count);
        for (const bool rrg : {true, false}) {
            const std::string file = rrg ? rrg_header(count) : mgc_header(count);
            const listing l = list_bytes(file, ENCODING_WINDOWS_1251);
            EXPECT_EQ(l.result, CARD_FILE_OK) << number;
            EXPECT_EQ(l.out, std::string("\n\n") + (rrg ? "RRG" : "MGC") +
                                 " card file, total cards: " + number + "\n");
        }
    }
}

// Bodies at odd places. Each card after an odd one must still be read from
// right behind the previous index entry.
TEST(HostileFiles, BodyOffsetsAnywhere) {
    constexpr std::uint32_t index_end = 5 + 8 * 52;
    const std::string tail = mgc_body("Last") + "\x07";
    const auto file_size = static_cast<std::uint32_t>(index_end + tail.size());
    const std::string file =
        mgc_header(8) + index_entry(1, "Header") +  // G = "GC": skips past the end
        index_entry(5 + 52 + 11, "\x03") +          // the index line below
        index_entry(file_size - 1, "Last byte") + index_entry(file_size, "At the end") +
        index_entry(0x7FFFFFFF, "Far beyond") + index_entry(0x80000000, "Top bit") +
        index_entry(0xFFFFFFFF, "All bits") + index_entry(index_end, "Good") + tail;
    const listing l = list_bytes(file, ENCODING_NONE);
    EXPECT_EQ(l.result, CARD_FILE_OK);
    // Card 2's body is its own index line: G = 3, and 13 bytes further on the
    // line's NUL padding gives a text length of 0.
    EXPECT_EQ(l.out,
              "\n\nMGC card file, total cards: 8\n"
              "\n  Card 1\n--------\nHeader\n\n\n"
              "\n  Card 2\n--------\n\x03\n\n\n"
              "\n  Card 3\n--------\nLast byte\n\n\n"
              "\n  Card 4\n--------\nAt the end\n\n\n"
              "\n  Card 5\n--------\nFar beyond\n\n\n"
              "\n  Card 6\n--------\nTop bit\n"
              "\n  Card 7\n--------\nAll bits\n"
              "\n  Card 8\n--------\nGood\n\nLast\n");
    EXPECT_TRUE(holds_only_file_bytes(l.out, file));

    // The same places in an "RRG" file: the last byte reads as an object flag
    // with nothing behind it.
    const std::string rrg = rrg_header(2) + index_entry(9 + 2 * 52 + 1, "Last byte") +
                            index_entry(9 + 2 * 52 + 2, "At the end") + std::string("\0\x05", 2);
    const listing r = list_bytes(rrg, ENCODING_NONE);
    EXPECT_EQ(r.result, CARD_FILE_OK);
    EXPECT_EQ(r.out,
              "\n\nRRG card file, total cards: 2\n"
              "\n  Card 1\n--------\nLast byte\n"
              "\n*** OLE object, not supported,\n    UID: 0, format ID: 0, class name len: 0.\n"
              "\n  Card 2\n--------\nAt the end\n\n\n");
}

TEST(HostileFiles, LongestLengthsAtTheEndOfTheFile) {
    constexpr std::uint32_t mgc_body_at = 5 + 52;
    constexpr std::uint32_t rrg_body_at = 9 + 52;
    // Graphic block length 65535 with nothing behind it: an empty text.
    const listing graphic =
        list_bytes(mgc_header(1) + index_entry(mgc_body_at, "G") + le16(65535), ENCODING_NONE);
    EXPECT_EQ(graphic.result, CARD_FILE_OK);
    EXPECT_EQ(graphic.out, "\n\nMGC card file, total cards: 1\n\n  Card 1\n--------\nG\n\n\n");

    // Graphic block length 65535 followed by the whole block: the text behind it.
    const std::string block(8 + 65535, '\x01');  // width, height, x, y and the bits
    const listing whole_block = list_bytes(
        mgc_header(1) + index_entry(mgc_body_at, "G") + le16(65535) + block + le16(2) + "ok",
        ENCODING_NONE);
    EXPECT_EQ(whole_block.out,
              "\n\nMGC card file, total cards: 1\n\n  Card 1\n--------\nG\n\nok\n");

    // Text length 65535 with only a few bytes present, in both variants.
    for (const bool rrg : {true, false}) {
        const std::string file = (rrg ? rrg_header(1) + index_entry(rrg_body_at, "T")
                                      : mgc_header(1) + index_entry(mgc_body_at, "T")) +
                                 le16(0) + le16(65535) + "\xC0\xE1\xE2";
        const listing l = list_bytes(file, ENCODING_WINDOWS_1251);
        EXPECT_EQ(l.result, CARD_FILE_OK);
        EXPECT_EQ(l.out, std::string("\n\n") + (rrg ? "RRG" : "MGC") +
                             " card file, total cards: 1\n\n  Card 1\n--------\nT\n\n"
                             "\xD0\x90\xD0\xB1\xD0\xB2\n");
    }

    // Text length 65535 fully present: printed whole, and converted whole.
    for (const bool rrg : {true, false}) {
        const std::string text(65535, '\xFF');
        const std::string file = (rrg ? rrg_header(1) + index_entry(rrg_body_at, "T")
                                      : mgc_header(1) + index_entry(mgc_body_at, "T")) +
                                 le16(0) + le16(65535) + text + "XYZ";
        const std::string head = std::string("\n\n") + (rrg ? "RRG" : "MGC") +
                                 " card file, total cards: 1\n\n  Card 1\n--------\nT\n\n";
        // Compared as booleans: a failure must not print 64 KiB twice.
        EXPECT_TRUE(list_bytes(file, ENCODING_NONE).out == head + text + "\n") << rrg;
        std::string utf8;
        for (std::size_t i = 0; i < text.size(); ++i) {
            utf8 += "\xD1\x8F";  // я
        }
        EXPECT_TRUE(list_bytes(file, ENCODING_WINDOWS_1251).out == head + utf8 + "\n") << rrg;
    }
}

TEST(HostileFiles, IndexLineWithoutNul) {
    const std::string line(41, '\xE9');
    constexpr std::uint32_t body_at = 5 + 2 * 52;
    const std::string file = mgc_header(2) + index_entry(body_at, line) +
                             index_entry(body_at, "Next") + mgc_body("Body");
    const listing l = list_bytes(file, ENCODING_NONE);
    EXPECT_EQ(l.result, CARD_FILE_OK);
    EXPECT_EQ(l.out, "\n\nMGC card file, total cards: 2\n\n  Card 1\n--------\n" + line +
                         "\n\nBody\n\n  Card 2\n--------\nNext\n\nBody\n");
    std::string converted;
    for (std::size_t i = 0; i < line.size(); ++i) {
        converted += "\xD0\xB9";  // й
    }
    EXPECT_NE(list_bytes(file, ENCODING_WINDOWS_1251).out.find("\n" + converted + "\n\nBody\n"),
              std::string::npos);

    // The same line as the very last bytes of the file, with no NUL after it anywhere.
    const std::string cut = mgc_header(1) + index_entry(5, line).substr(0, 52);
    const listing last = list_bytes(cut, ENCODING_NONE);
    EXPECT_EQ(last.result, CARD_FILE_OK);
    EXPECT_TRUE(holds_only_file_bytes(last.out, cut)) << escaped(last.out);
}

TEST(HostileFiles, NothingToReadAtThePath) {
    const listing empty = list_bytes("", ENCODING_NONE);
    EXPECT_EQ(empty.result, CARD_FILE_BAD_SIGNATURE);
    EXPECT_EQ(empty.out, "\n\nThe signature is not supported: ");

    const file_ptr out = output_stream();
    ASSERT_TRUE(out);
    const fs::path directory = fs::path(CRDVIEW_SOURCE_DIR) / "tests";
    listing_writer listing{out.get()};
    walk_options options;
    options.err = problem_sink();
    EXPECT_EQ(list_card_file(directory.string().c_str(), {&listing}, options).result,
              CARD_FILE_OPEN_FAILED);
    const fs::path missing = fs::path(CRDVIEW_SOURCE_DIR) / "tests" / "no such file.crd";
    EXPECT_EQ(list_card_file(missing.string().c_str(), {&listing}, options).result,
              CARD_FILE_OPEN_FAILED);
    // Each shows its banner and the closing message, nothing else.
    EXPECT_EQ(contents(out.get()), "\nWindows Card File " + directory.string() +
                                       "\nError reading file.\n\n\nWindows Card File " +
                                       missing.string() + "\nError reading file.\n\n");
}

// Inputs that once made the fuzzer fail stay in fuzz/regressions/.
TEST(HostileFiles, FuzzRegressionsListWithoutFault) {
    const fs::path dir = fs::path(CRDVIEW_SOURCE_DIR) / "fuzz" / "regressions";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        if (!entry.is_regular_file() || entry.path().filename().string().front() == '.') {
            continue;
        }
        const std::string file = read_file(entry.path());
        for (const int encoding : {ENCODING_NONE, ENCODING_WINDOWS_1251}) {
            EXPECT_EQ(list_bytes(file, encoding).result, expected_result(file)) << entry.path();
        }
    }
}

}  // namespace
