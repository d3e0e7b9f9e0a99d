// The reader's records, and the walk that hands them to writers: index
// entries, bodies of every layout with what is wrong with them, the file's
// own problems, failing reads, and writers that stop the walk.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "card_builder.h"
#include "cardfile/reader.h"
#include "decode/decode.h"
#include "walk/walk.h"
#include "writers/json.h"

using namespace card_builder;

namespace {

constexpr long FIRST_ENTRY = 5;  // behind an "MGC" header

// A stream that is open but cannot be read. Not every C library reports a
// read of a write-only stream as an error (Wine's msvcrt, for one, just
// delivers nothing): `reads_fail` tells whether this one does.
struct write_only_stream {
    scratch_file file;
    file_ptr stream;
    bool reads_fail = false;
    explicit write_only_stream(const char* name)
        : file(name, "MGC\x01\x00"), stream(std::fopen(name, "wb")) {
        if (stream) {
            char probe;
            reads_fail = std::fread(&probe, 1, 1, stream.get()) == 0 && std::ferror(stream.get());
            std::clearerr(stream.get());
        }
    }
};

constexpr const char* NO_READ_ERRORS = "this C library reports no error for a write-only stream";

// Every card record a walk yields, with the file's problems.
struct walked {
    std::vector<card_record> cards;
    std::vector<std::string> texts;  // the records' views, copied
    std::vector<std::string> file_problems;
};

walked walk_all(const std::string& bytes) {
    walked result;
    const file_ptr file = stream_with(bytes);
    const card_reader reader = open_card_reader(file.get());
    card_sequence walk = start_cards(*reader);
    card_record card;
    while (next_card(*reader, walk, card)) {
        result.texts.push_back(std::string(card.title) + "|" + std::string(card.body.text));
        result.cards.push_back(card);
    }
    finish_cards(*reader, walk);
    result.file_problems = walk.file_problems;
    return result;
}

}  // namespace

TEST(ReadIndexEntry, ConsumesExactly52BytesWhetherListedOrSkipped) {
    const std::string bytes = mgc_header(3) + index_entry(0, "No body") +
                              index_entry(200, "Flagged", 1) + index_entry(300, "Listed");
    const file_ptr file = stream_with(bytes, FIRST_ENTRY);
    const card_reader reader = open_card_reader(file.get());
    const index_record none = read_index_entry(*reader);
    EXPECT_FALSE(none.listed);
    EXPECT_EQ(none.body_offset, NO_CARD_BODY);
    EXPECT_FALSE(read_index_entry(*reader).listed);
    const index_record listed = read_index_entry(*reader);
    EXPECT_TRUE(listed.listed && listed.whole);
    EXPECT_EQ(listed.body_offset, 300);
    EXPECT_EQ(listed.title, "Listed");
    const index_record beyond = read_index_entry(*reader);  // wholly past the end
    EXPECT_FALSE(beyond.listed || beyond.whole);
    EXPECT_FALSE(read_failed(*reader));
}

TEST(ReadCardBody, EveryLayoutAndWhatIsWrongWithIt) {
    struct body_case {
        const char* what;
        int variant;
        std::string body;
        std::int32_t offset;  // where the body is read; it lies at 10
        const char* text;     // nullptr: no text read
        const char* problem;
    };
    const std::string object = rrg_object_body(7, 2, 9);
    const body_case cases[] = {
        {"MGC text", VARIANT_MGC, mgc_body("Hello"), 10, "Hello", ""},
        // The text length follows the 8 bytes of fields and the G bits: at 10 + G.
        {"MGC picture", VARIANT_MGC, mgc_body("After", 100), 10, "After", ""},
        {"MGC picture of one byte", VARIANT_MGC, mgc_body("G is 1", 1), 10, "G is 1", ""},
        {"MGC text cut", VARIANT_MGC, mgc_body("Hello").substr(0, 6), 10, "He",
         "the text is cut short by the end of the file (2 of 5 bytes)"},
        {"MGC text length cut", VARIANT_MGC, mgc_body("Hello").substr(0, 3), 10, "",
         "the text length is cut short by the end of the file"},
        {"MGC picture cut", VARIANT_MGC, mgc_body("lost", 100).substr(0, 60), 10, "",
         "the picture is cut short by the end of the file (58 of 108 bytes)"},
        {"MGC first field cut", VARIANT_MGC, "\x05", 10, "",
         "the body is cut short by the end of the file"},
        {"MGC beyond the end", VARIANT_MGC, "", 99, "",
         "the body offset (99) is at or beyond the end of the file (10 bytes)"},
        {"top bit set", VARIANT_MGC, mgc_body("x"), INT32_MIN, nullptr,
         "the body offset has its top bit set (0x80000000); the body is not read"},
        {"RRG text", VARIANT_RRG, rrg_text_body("Hello") + "XYZ", 10, "Hello", ""},
        {"RRG object not parsing", VARIANT_RRG, object, 10, nullptr,
         "the object does not parse: it runs past the end of the file"},
    };
    for (const body_case& c : cases) {
        SCOPED_TRACE(c.what);
        const file_ptr file = stream_with("0123456789" + c.body);
        const card_reader reader = open_card_reader(file.get());
        card_body body;
        body.problem = "left from another card";
        read_card_body(*reader, c.variant, c.offset, body);
        EXPECT_FALSE(read_failed(*reader));
        EXPECT_EQ(body.has_text, c.text != nullptr);
        EXPECT_EQ(body.text, c.text ? c.text : "");
        EXPECT_EQ(body.problem, c.problem);
    }
}

TEST(ReadCardBody, PictureFieldsAndConsistency) {
    // 16 x 2 pixels: rows of 2 bytes, 4 bytes of bits.
    const std::string fields = le16(4) + le16(16) + le16(2) + le16(30) + le16(40);
    const struct {
        std::string bits;
        bool consistent;
    } cases[] = {{"\x0F\xF0\xAA\x55", true}, {"\x0F\xF0\xAA", false}};
    for (const auto& c : cases) {
        const std::string body = le16(static_cast<std::uint16_t>(c.bits.size())) +
                                 fields.substr(2) + c.bits + le16(2) + "ok";
        const file_ptr file = stream_with("0123456789" + body);
        const card_reader reader = open_card_reader(file.get());
        card_body read;
        read_card_body(*reader, VARIANT_MGC, 10, read);
        EXPECT_TRUE(read.has_graphic);
        EXPECT_EQ(read.graphic.width, 16);
        EXPECT_EQ(read.graphic.height, 2);
        EXPECT_EQ(read.graphic.x, 30);
        EXPECT_EQ(read.graphic.y, 40);
        EXPECT_EQ(read.graphic.bits.offset, 20);
        EXPECT_EQ(read.graphic.consistent, c.consistent);
        EXPECT_EQ(read.text, "ok");
    }
}

TEST(CardWalk, TheFilesOwnProblems) {
    const struct {
        const char* what;
        std::string bytes;
        std::vector<std::string> problems;
    } cases[] = {
        {"whole", mgc_header(1) + index_entry(57, "A") + mgc_body("a"), {}},
        {"count beyond the entries",
         mgc_header(3) + index_entry(57, "A") + mgc_body("a"),
         {"the index ends before the stated count of entries (2 of 3 missing)"}},
        {"cut in the count",
         "MGC\x05",
         {"the header is cut short by the end of the file",
          "the index ends before the stated count of entries (5 of 5 missing)"}},
        {"negative count with entries",
         mgc_header(-1) + index_entry(57, "A"),
         {"the card count is negative (-1) but index entries follow the header"}},
        {"negative count alone", mgc_header(-1), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(walk_all(c.bytes).file_problems, c.problems);
    }
}

TEST(CardWalk, FailingReadIsReported) {
    write_only_stream unreadable("crdview_unit_walk.tmp");
    ASSERT_TRUE(unreadable.stream);
    if (!unreadable.reads_fail) {
        GTEST_SKIP() << NO_READ_ERRORS;
    }
    const card_reader reader = open_card_reader(unreadable.stream.get());
    EXPECT_EQ(start_cards(*reader).header.result, CARD_FILE_OPEN_FAILED);
    EXPECT_TRUE(read_failed(*reader));
}

TEST(CardWalk, StopsWhenTheListingCannotBeWrittenAndPutsTheFileBack) {
    // Texts longer than the output block: the first is written out at once.
    const std::string bytes = mgc_header(3) + index_entry(161, "One") + index_entry(161, "Two") +
                              index_entry(161, "Three") + mgc_body(std::string(65535, 'x'));
    const file_ptr in_file = stream_with(bytes);
    // A stream opened for reading only: every write to it fails.
    const scratch_file sink("crdview_unit_sink.tmp", "");
    const file_ptr out(std::fopen(sink.path.c_str(), "rb"));
    ASSERT_TRUE(in_file && out);
    std::setvbuf(out.get(), nullptr, _IONBF, 0);
    listing_writer listing{out.get()};
    walk_options options;
    options.err = problem_sink();
    const walk_result result = list_card_stream(in_file.get(), "-", {&listing}, options);
    EXPECT_TRUE(result.stopped);
    EXPECT_TRUE(std::ferror(out.get()));
    // Only the first entry was read, and the file stands behind it.
    EXPECT_EQ(std::ftell(in_file.get()), FIRST_ENTRY + 52);
}

TEST(JsonWriter, HandBuiltRecordsWithNoFileAtAll) {
    const file_ptr out = output_stream();
    ASSERT_TRUE(out);
    json_writer json{out.get()};
    file_start start;
    start.path = "cards.crd";
    start.header.variant = VARIANT_MGC;
    start.header.count = 2;
    start.encoding = ENCODING_WINDOWS_1251;
    json.begin(start);
    const card_reader none = open_card_reader(nullptr);
    card_context context{*none};
    card_record picture;
    picture.number = 1;
    picture.title = "\xC0";
    picture.body.has_text = true;
    picture.body.text = "a\"b";
    picture.body.has_graphic = true;
    picture.body.graphic.length = 4;
    picture.body.graphic.width = 16;
    picture.body.graphic.height = 2;
    picture.body.graphic.x = 3;
    picture.body.graphic.y = 5;
    context.files = {"card-1.bmp"};
    EXPECT_TRUE(json.card(picture, context));
    card_record damaged;
    damaged.number = 2;
    damaged.body.problem = "the text length is cut short by the end of the file";
    context.files.clear();
    EXPECT_TRUE(json.card(damaged, context));
    file_end outcome;
    outcome.file_problems = {"the index ends before the stated count of entries (1 of 3 missing)"};
    json.end(outcome);
    EXPECT_EQ(contents(out.get()),
              "{\"file\": \"cards.crd\", \"variant\": \"MGC\", \"encoding\": \"Windows-1251\", "
              "\"encoding_detected\": false, "
              "\"count\": 2,\n \"cards\": [\n"
              "  {\"number\": 1, \"title\": \"\xD0\x90\", \"text\": \"a\\\"b\", \"graphic\": "
              "{\"length\": 4, \"width\": 16, \"height\": 2, \"x\": 3, \"y\": 5}, \"files\": "
              "[\"card-1.bmp\"]},\n"
              "  {\"number\": 2, \"title\": \"\", \"text\": null, \"problems\": [\"the text "
              "length is cut short by the end of the file\"]}\n ],\n \"problems\": [\"the index "
              "ends before the stated count of entries (1 of 3 missing)\"]}\n");
}
