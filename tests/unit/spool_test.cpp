// Input that cannot seek (a pipe) is copied only as far as its first bytes
// allow: nothing beyond them when it does not begin as a card file, and at
// most the largest card file that begins so.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "cardfile/format.h"
#include "cardfile/reader.h"
#include "sys/input.h"

namespace {

std::uint64_t ten_for_mgc(std::string_view first) {
    return first == "MGC" ? 10 : 0;
}

struct spool_case {
    const char* what;
    std::string input;
    spool_rule rule;
    std::string copied;  // what the reader gets
    bool cut;
};

// Opens the read end of a pipe holding `bytes` (at most a pipe's buffer) by
// its /dev/fd path, as a FIFO named on the command line is opened.
card_input through_pipe(const std::string& bytes, const spool_rule& rule) {
    int ends[2];
    if (pipe(ends) != 0) {
        return {};
    }
    const bool written =
        write(ends[1], bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    close(ends[1]);
    card_input input = written
                           ? open_card_input(("/dev/fd/" + std::to_string(ends[0])).c_str(), rule)
                           : card_input{};
    close(ends[0]);
    return input;
}

TEST(Spool, CopiesOnlyWhatTheFirstBytesAllow) {
    const std::string lines(1000, 'y');
    const std::string mgc_20 = "MGC" + std::string(20, '\x01');
    const spool_rule card_files{SIGNATURE_SIZE, largest_card_file};
    const spool_case cases[] = {
        {"not a card file: its first bytes alone", lines, card_files, "yyy", false},
        {"shorter than a signature", "MG", card_files, "MG", false},
        {"empty", "", card_files, "", false},
        {"a card file under its limit: whole", "RRG" + lines, card_files, "RRG" + lines, false},
        {"beyond the limit: cut there",
         mgc_20,
         {SIGNATURE_SIZE, ten_for_mgc},
         mgc_20.substr(0, 10),
         true},
        {"exactly the limit: not cut",
         mgc_20.substr(0, 10),
         {SIGNATURE_SIZE, ten_for_mgc},
         mgc_20.substr(0, 10),
         false},
        {"no rule: everything", lines, {}, lines, false},
    };
    for (const spool_case& c : cases) {
        SCOPED_TRACE(c.what);
        card_input input = through_pipe(c.input, c.rule);
        ASSERT_NE(input.file, nullptr);
        std::string copied(c.input.size() + 1, '\0');
        copied.resize(std::fread(&copied[0], 1, copied.size(), input.file));
        EXPECT_EQ(copied, c.copied);
        EXPECT_EQ(input.cut, c.cut);
    }
}

TEST(Spool, LargestCardFiles) {
    EXPECT_EQ(largest_card_file("MGC"), 0x7FFFFFFFu + 2 + 8 + 65535 + 2 + 65535);
    EXPECT_EQ(largest_card_file("RRG"), 32212320325u);
    EXPECT_EQ(largest_card_file("DKO"), 0u);
    EXPECT_EQ(largest_card_file("RR"), 0u);
}

}  // namespace
#endif
