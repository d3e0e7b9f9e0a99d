#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "card_builder.h"
#include "decode/decode.h"
#include "output/listing.h"

using namespace card_builder;

namespace {

constexpr long FIRST_ENTRY = 5;  // behind an "MGC" header

std::string heading_and_line(const std::string& heading, const std::string& line) {
    return "\n" + heading + "\n--------\n" + line + "\n";
}

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

}  // namespace

TEST(ReadIndexEntry, ConsumesExactly52BytesWhetherListedOrSkipped) {
    const std::string bytes = mgc_header(4) + index_entry(300, "Listed") +
                              index_entry(0, "No body") + index_entry(300, "Flagged", 1) +
                              index_entry(0x80000000u, "Negative") + "TAIL";
    const file_ptr in_file = stream_with(bytes, FIRST_ENTRY);
    const file_ptr out = output_stream();
    ASSERT_TRUE(in_file && out);
    card_stream in{in_file.get()};
    std::vector<std::int32_t> offsets(4, 12345);

    for (std::int16_t i = 0; i < 4; ++i) {
        read_index_entry(in, ENCODING_NONE, offsets, i, out.get());
        EXPECT_EQ(std::ftell(in_file.get()), FIRST_ENTRY + 52 * (i + 1)) << "entry " << i;
    }
    EXPECT_EQ(offsets, (std::vector<std::int32_t>{300, NO_CARD_BODY, NO_CARD_BODY, INT32_MIN}));
    EXPECT_FALSE(in.read_failed);
    // Skipped entries print nothing; a negative offset still shows its heading.
    EXPECT_EQ(contents(out.get()),
              heading_and_line("  Card 1", "Listed") + heading_and_line("  Card 4", "Negative"));
}

TEST(ReadIndexEntry, EntryPastTheEndIsSkippedWithoutAnError) {
    const file_ptr in_file =
        stream_with(mgc_header(1) + index_entry(99, "Cut").substr(0, 8), FIRST_ENTRY);
    const file_ptr out = output_stream();
    ASSERT_TRUE(in_file && out);
    card_stream in{in_file.get()};
    std::vector<std::int32_t> offsets(2);
    // The first entry keeps two bytes of its offset (99, 0); the second none.
    read_index_entry(in, ENCODING_NONE, offsets, 0, out.get());
    read_index_entry(in, ENCODING_NONE, offsets, 1, out.get());
    EXPECT_EQ(offsets, (std::vector<std::int32_t>{99, NO_CARD_BODY}));
    EXPECT_FALSE(in.read_failed);
    EXPECT_EQ(contents(out.get()), heading_and_line("  Card 1", ""));
}

TEST(ReadIndexEntry, FailingReadIsReported) {
    write_only_stream unreadable("crdview_unit_index.tmp");
    const file_ptr out = output_stream();
    ASSERT_TRUE(unreadable.stream && out);
    if (!unreadable.reads_fail) {
        GTEST_SKIP() << NO_READ_ERRORS;
    }
    card_stream in{unreadable.stream.get()};
    std::vector<std::int32_t> offsets(1);
    read_index_entry(in, ENCODING_NONE, offsets, 0, out.get());
    EXPECT_TRUE(in.read_failed);
    EXPECT_EQ(offsets[0], NO_CARD_BODY);
    EXPECT_EQ(contents(out.get()), "");
}

TEST(ReadCardBody, LeavesTheStreamWhereItFoundIt) {
    struct body_case {
        const char* what;
        int variant;
        std::string body;
        std::string shown;
    };
    const body_case cases[] = {
        {"MGC text", VARIANT_MGC, mgc_body("Hello"), "\nHello\n"},
        {"MGC graphic block", VARIANT_MGC, mgc_body("After", 100), "\nAfter\n"},
        {"RRG text", VARIANT_RRG, rrg_text_body("Hello") + "XYZ", "\nHello\n"},
        {"RRG object", VARIANT_RRG, rrg_object_body(7, 2, 9),
         "\n*** OLE object, not supported,\n    UID: 7, format ID: 2, class name len: 9.\n"},
        {"MGC text cut by the end", VARIANT_MGC, mgc_body("Hello").substr(0, 6), "\nHe\n"},
        {"RRG object cut by the end", VARIANT_RRG, rrg_object_body(0x12345678, 2, 9).substr(0, 4),
         "\n*** OLE object, not supported,\n    UID: 22136, format ID: 0, class name len: 0.\n"},
    };
    for (const body_case& c : cases) {
        SCOPED_TRACE(c.what);
        // The body lies behind a block of marker bytes; the walk stands inside them.
        const std::string markers = "0123456789";
        const file_ptr in_file = stream_with(markers + c.body, 4);
        const file_ptr out = output_stream();
        ASSERT_TRUE(in_file && out);
        card_stream in{in_file.get()};
        read_card_body(in, ENCODING_NONE, c.variant, 10, out.get());
        EXPECT_FALSE(in.read_failed);
        EXPECT_EQ(std::ftell(in_file.get()), 4);
        EXPECT_EQ(std::fgetc(in_file.get()), '4');  // readable again, even after the end
        EXPECT_EQ(contents(out.get()), c.shown);
    }
}

TEST(ReadCardBody, NegativeOffsetReadsAndPrintsNothing) {
    const file_ptr in_file = stream_with(mgc_body("Not shown"), 3);
    const file_ptr out = output_stream();
    ASSERT_TRUE(in_file && out);
    card_stream in{in_file.get()};
    for (const std::int32_t offset : {NO_CARD_BODY, INT32_MIN}) {
        read_card_body(in, ENCODING_NONE, VARIANT_MGC, offset, out.get());
        read_card_body(in, ENCODING_NONE, VARIANT_RRG, offset, out.get());
    }
    EXPECT_FALSE(in.read_failed);
    EXPECT_EQ(std::ftell(in_file.get()), 3);
    EXPECT_EQ(contents(out.get()), "");
}

TEST(ReadCardBody, FailingReadIsReported) {
    write_only_stream unreadable("crdview_unit_body.tmp");
    const file_ptr out = output_stream();
    ASSERT_TRUE(unreadable.stream && out);
    if (!unreadable.reads_fail) {
        GTEST_SKIP() << NO_READ_ERRORS;
    }
    card_stream in{unreadable.stream.get()};
    read_card_body(in, ENCODING_NONE, VARIANT_RRG, 0, out.get());
    EXPECT_TRUE(in.read_failed);
}

TEST(ListCardStream, UnreadableStreamFailsAndPrintsNothing) {
    write_only_stream unreadable("crdview_unit_list.tmp");
    const file_ptr out = output_stream();
    ASSERT_TRUE(unreadable.stream && out);
    if (!unreadable.reads_fail) {
        GTEST_SKIP() << NO_READ_ERRORS;
    }
    EXPECT_EQ(list_card_stream(unreadable.stream.get(), ENCODING_NONE, out.get()),
              CARD_FILE_OPEN_FAILED);
    EXPECT_EQ(contents(out.get()), "");
}

TEST(ListCardStream, StopsWhenTheListingCannotBeWritten) {
    const std::string bytes = mgc_header(3) + index_entry(161, "One") + index_entry(161, "Two") +
                              index_entry(161, "Three") + mgc_body("text");
    const file_ptr in_file = stream_with(bytes);
    // A stream opened for reading only: every write to it fails.
    const scratch_file sink("crdview_unit_sink.tmp", "");
    const file_ptr out(std::fopen(sink.path.c_str(), "rb"));
    ASSERT_TRUE(in_file && out);
    std::setvbuf(out.get(), nullptr, _IONBF, 0);
    EXPECT_EQ(list_card_stream(in_file.get(), ENCODING_NONE, out.get()), CARD_FILE_OK);
    EXPECT_TRUE(std::ferror(out.get()));
    // Only the first entry was read.
    EXPECT_EQ(std::ftell(in_file.get()), FIRST_ENTRY + 52);
}
