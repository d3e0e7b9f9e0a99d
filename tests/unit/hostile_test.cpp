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

// Inputs that once made the fuzzer fail, and hostile files kept beside
// them, stay in fuzz/regressions/: each lists with the expected result and
// shows nothing the file does not hold.
TEST(HostileFiles, FuzzRegressionsListWithoutFault) {
    const fs::path dir = fs::path(CRDVIEW_SOURCE_DIR) / "fuzz" / "regressions";
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        if (entry.is_regular_file() && entry.path().filename().string().front() != '.') {
            files.push_back(entry.path());
        }
    }
    ASSERT_FALSE(files.empty()) << "no files in " << dir;
    for (const fs::path& path : files) {
        const std::string file = read_file(path);
        const listing as_stored = list_bytes(file, ENCODING_NONE);
        EXPECT_EQ(as_stored.result, expected_result(file)) << path;
        EXPECT_TRUE(holds_only_file_bytes(as_stored.out, file)) << path;
        EXPECT_EQ(list_bytes(file, ENCODING_WINDOWS_1251).result, expected_result(file)) << path;
    }
}

}  // namespace
