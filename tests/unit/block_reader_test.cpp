// The block-wise reader on files larger than its windows: index entries and
// body texts that cross a window's end, bodies in any order, the largest
// texts and files that end early. Files are built byte by byte; the expected listings are written
// out from the cards themselves.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "card_builder.h"
#include "decode/decode.h"
#include "decoded.h"
#include "writers/listing.h"

using namespace card_builder;

namespace {

struct test_card {
    std::string title;  // at most 40 bytes
    std::string text;
    std::uint16_t graphic = 0;  // MGC graphic block length
};

// A card file with the bodies behind the index, in card order, or in reverse
// order when `reversed`.
std::string card_file(bool rrg, const std::vector<test_card>& cards, bool reversed = false) {
    const auto count = static_cast<std::int16_t>(cards.size());
    const std::string header = rrg ? rrg_header(count) : mgc_header(count);
    std::vector<std::string> bodies;
    for (const test_card& card : cards) {
        bodies.push_back(rrg ? rrg_text_body(card.text) : mgc_body(card.text, card.graphic));
    }
    std::vector<std::uint32_t> offsets(cards.size());
    std::uint32_t at = static_cast<std::uint32_t>(header.size() + 52 * cards.size());
    for (std::size_t k = 0; k < cards.size(); ++k) {
        const std::size_t i = reversed ? cards.size() - 1 - k : k;
        offsets[i] = at;
        at += static_cast<std::uint32_t>(bodies[i].size());
    }
    std::string file = header;
    for (std::size_t i = 0; i < cards.size(); ++i) {
        file += index_entry(offsets[i], cards[i].title);
    }
    for (std::size_t k = 0; k < cards.size(); ++k) {
        file += bodies[reversed ? cards.size() - 1 - k : k];
    }
    return file;
}

std::string shown(const std::string& text, int encoding) {
    return decoded(encoding, text);
}

// The listing of `cards`, from a file whose header gives `count` cards
// (all of them when 0).
std::string expected_listing(bool rrg, const std::vector<test_card>& cards, int encoding,
                             std::size_t count = 0) {
    std::string out = std::string("\n\n") + (rrg ? "RRG" : "MGC") +
                      " card file, total cards: " + std::to_string(count ? count : cards.size()) +
                      "\n";
    for (std::size_t i = 0; i < cards.size(); ++i) {
        const std::string number = std::to_string(i + 1);
        out += "\n" + std::string(number.size() < 3 ? 3 - number.size() : 0, ' ') + "Card " +
               number + "\n--------\n" + shown(cards[i].title, encoding) + "\n\n" +
               shown(cards[i].text, encoding) + "\n";
    }
    return out;
}

// Cyrillic and ASCII texts of many lengths; every 7th card has a graphic block.
std::vector<test_card> many_cards(std::size_t count) {
    std::vector<test_card> cards;
    for (std::size_t i = 0; i < count; ++i) {
        test_card card;
        card.title = "\xCA\xE0\xF0\xF2\xEE\xF7\xEA\xE0 " + std::to_string(i);
        for (std::size_t k = 0; k < (i * 37) % 1500; ++k) {
            card.text += static_cast<char>(k % 13 == 0 ? ' ' : 0xC0 + (i + k) % 64);
        }
        card.text += "\r\n#" + std::to_string(i);
        card.graphic = i % 7 == 0 ? static_cast<std::uint16_t>(i % 300) : 0;
        cards.push_back(card);
    }
    return cards;
}

}  // namespace

TEST(BlockReader, ListsFilesLargerThanItsWindows) {
    // 3000 entries fill more than two index windows; about 2 MB of bodies
    // cross the body window's end many times, texts and fields alike.
    const std::vector<test_card> cards = many_cards(3000);
    for (const bool rrg : {false, true}) {
        for (const bool reversed : {false, true}) {
            for (const int encoding : {ENCODING_NONE, ENCODING_WINDOWS_1251}) {
                const listing got = list_bytes(card_file(rrg, cards, reversed), encoding);
                EXPECT_EQ(got.result, CARD_FILE_OK);
                EXPECT_TRUE(got.out == expected_listing(rrg, cards, encoding))
                    << "rrg " << rrg << " reversed " << reversed << " encoding " << encoding;
            }
        }
    }
}

TEST(BlockReader, ListsTheLargestTextsWhole) {
    // 65535 letters convert to 131070 bytes, more than one output block.
    std::vector<test_card> cards(3);
    cards[0] = {"first", std::string(65535, '\xE6')};
    cards[1] = {"second", std::string(65535, 'a')};
    cards[2] = {"third", "end"};
    for (const bool rrg : {false, true}) {
        for (const int encoding : {ENCODING_NONE, ENCODING_WINDOWS_1251}) {
            const listing got = list_bytes(card_file(rrg, cards), encoding);
            EXPECT_EQ(got.result, CARD_FILE_OK);
            EXPECT_TRUE(got.out == expected_listing(rrg, cards, encoding));
        }
    }
}

TEST(BlockReader, FileCutShortReadsAsZeros) {
    std::vector<test_card> cards = many_cards(1400);  // the index ends past the first window
    const std::string whole = card_file(false, cards);
    // Cut inside the last text: it prints as far as the file goes.
    const std::size_t cut = whole.size() - 2;
    cards.back().text.resize(cards.back().text.size() - 2);
    const listing got = list_bytes(whole.substr(0, cut), ENCODING_NONE);
    EXPECT_EQ(got.result, CARD_FILE_OK);
    EXPECT_TRUE(got.out == expected_listing(false, cards, ENCODING_NONE));

    // Cut inside the index, past the first window, before the body offset of
    // entry 1301: that entry and the ones after it read as offset 0 and are
    // skipped; the bodies are all gone, so every listed card has an empty text.
    std::vector<test_card> kept(cards.begin(), cards.begin() + 1300);
    for (test_card& card : kept) {
        card.text.clear();
    }
    const listing index_cut = list_bytes(whole.substr(0, 5 + 52 * 1300 + 4), ENCODING_NONE);
    EXPECT_EQ(index_cut.result, CARD_FILE_OK);
    EXPECT_TRUE(index_cut.out == expected_listing(false, kept, ENCODING_NONE, 1400));
}

TEST(Cp1251Conversion, EveryPairOfBytesConvertsAsItsTwoBytesDo) {
    // The conversion goes a pair of bytes at a time: every pair, and texts of
    // every length up to a few steps, give the forms of their bytes in turn.
    auto one = [](unsigned char byte) {
        return decoded(ENCODING_WINDOWS_1251, std::string(1, static_cast<char>(byte)));
    };
    std::vector<std::string> forms(256);
    for (unsigned byte = 1; byte < 256; ++byte) {
        forms[byte] = one(static_cast<unsigned char>(byte));
    }
    std::string converted;
    for (unsigned first = 1; first < 256; ++first) {
        for (unsigned second = 1; second < 256; ++second) {
            const char pair[] = {static_cast<char>(first), static_cast<char>(second)};
            converted = decoded(ENCODING_WINDOWS_1251, std::string_view(pair, 2));
            ASSERT_EQ(converted, forms[first] + forms[second]) << first << " " << second;
        }
    }
    const std::string sample = "\xB9 \xE0\xE1\xE2\x88\xA8\x97x\xFF\r\n\x98\xC0\xEF\xF0\x85";
    for (std::size_t length = 0; length <= sample.size(); ++length) {
        std::string expected;
        for (std::size_t i = 0; i < length; ++i) {
            expected += forms[static_cast<unsigned char>(sample[i])];
        }
        converted = decoded(ENCODING_WINDOWS_1251, sample.substr(0, length));
        EXPECT_EQ(converted, expected) << length;
    }
}

TEST(Cp1251Conversion, WritesWithinTheRoomItAsksFor) {
    // Three-byte forms (the sign No) throughout: the most output per byte.
    for (std::size_t length = 0; length <= 20; ++length) {
        const std::string text(length, '\xB9');
        const std::size_t room = utf8_room(length);
        std::string dest(room + 16, '#');
        const char* end = decode_text(code_page_of(ENCODING_WINDOWS_1251), text, dest.data());
        EXPECT_EQ(static_cast<std::size_t>(end - dest.data()), 3 * length);
        EXPECT_EQ(dest.substr(room), std::string(16, '#')) << length;
    }
}
