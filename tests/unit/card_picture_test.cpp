// The pictures of a card file whose entries share bodies (the fixture of the
// golden case hostile_pictures_html, stated in bytes by make_cases.py): each
// body is drawn once, and the entries that share it are given the same PNG
// file; a picture of more than 4 megapixels is a labelled box.
#include "image/card_picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "card_builder.h"

namespace {

TEST(CardPicture, SharedBodiesAreDrawnOnce) {
    const std::string path =
        std::string(CRDVIEW_SOURCE_DIR) + "/tests/golden/cases/hostile_pictures_html.crd";
    const card_builder::file_ptr file{std::fopen(path.c_str(), "rb")};
    ASSERT_TRUE(file) << path;
    const card_reader reader = open_card_reader(file.get());
    card_sequence cards = start_cards(*reader);
    picture_memory memory;
    struct seen {
        card_picture_kind kind;
        std::string what;
        const char* png;  // where its PNG file is held
        std::size_t kept;
    };
    std::vector<seen> pictures;
    card_record card;
    while (next_card(*reader, cards, card)) {
        const card_picture picture = picture_of_card(card, *reader, memory);
        pictures.push_back(
            {picture.kind, picture.what, picture.png_base64.data(), memory.kept.size()});
    }
    ASSERT_EQ(pictures.size(), 6u);
    const auto box = card_picture_kind::box;
    const auto image = card_picture_kind::image;
    // Too large, twice from one body; drawn, three times from one body; the BMP file.
    const card_picture_kind kinds[] = {box, box, image, image, image, image};
    const std::size_t kept[] = {1, 1, 2, 2, 2, 3};
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        EXPECT_EQ(pictures[i].kind, kinds[i]) << i;
        EXPECT_EQ(pictures[i].kept, kept[i]) << i;
    }
    EXPECT_EQ(pictures[0].what, PICTURE_TOO_LARGE);
    EXPECT_EQ(pictures[1].what, PICTURE_TOO_LARGE);
    EXPECT_EQ(pictures[3].png, pictures[2].png);
    EXPECT_EQ(pictures[4].png, pictures[2].png);

    // A new card file forgets them.
    forget_pictures(memory);
    EXPECT_TRUE(memory.kept.empty());
}

// An "RRG" file of one card whose static object is a DIB of `width` by
// `height` pixels of 1 bit, its rows all 0, stated byte by byte.
std::string static_dib_file(std::int32_t width, std::int32_t height) {
    using card_builder::le16;
    using card_builder::le32;
    const std::uint32_t rows =
        (static_cast<std::uint32_t>(width) + 31) / 32 * 4 * static_cast<std::uint32_t>(height);
    std::string dib = le32(40) + le32(static_cast<std::uint32_t>(width)) +
                      le32(static_cast<std::uint32_t>(height)) + le16(1) + le16(1) +
                      std::string(24, '\0') + le32(0) + std::string("\xff\xff\xff\0", 4);
    dib.append(rows, '\0');
    const std::string object = le32(0x0501) + le32(3) + le32(4) + std::string("DIB\0", 4) +
                               le32(1) + le32(1) + le32(static_cast<std::uint32_t>(dib.size())) +
                               dib;
    const std::string body = le16(1) + le32(1) + object + le16(8) + le16(16) + le16(0) + le16(0) +
                             le16(64) + le16(64) + le16(2) + le16(0);
    return card_builder::rrg_header(1) + card_builder::index_entry(9 + 52, "Picture") + body;
}

// At most 4 megapixels are drawn.
TEST(CardPicture, LargestPictureDrawn) {
    const struct {
        std::int32_t width, height;
        card_picture_kind kind;
    } rows[] = {
        {2048, 2048, card_picture_kind::image},
        {2048, 2049, card_picture_kind::box},
        {4194304, 1, card_picture_kind::image},
        {4194305, 1, card_picture_kind::box},
    };
    for (const auto& row : rows) {
        const auto file = card_builder::stream_with(static_dib_file(row.width, row.height));
        ASSERT_TRUE(file);
        const card_reader reader = open_card_reader(file.get());
        card_sequence cards = start_cards(*reader);
        card_record card;
        ASSERT_TRUE(next_card(*reader, cards, card));
        picture_memory memory;
        const card_picture picture = picture_of_card(card, *reader, memory);
        EXPECT_EQ(picture.kind, row.kind) << row.width << " x " << row.height;
        if (row.kind == card_picture_kind::box) {
            EXPECT_STREQ(picture.what, PICTURE_TOO_LARGE);
        }
    }
}

}  // namespace
