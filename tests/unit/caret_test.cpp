// Texts and names as a terminal is shown them, against forms written out by
// hand: caret notation for C0 controls and DEL, cat -v's "M-^X" for C1.
#include "text/caret.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string for_terminal(const std::string& text, shown_form form) {
    std::vector<char> room(terminal_room(form, text.size()));
    const char* end = put_terminal_text(text.data(), text.data() + text.size(), form, room.data());
    return std::string(static_cast<const char*>(room.data()), end);
}

TEST(TerminalText, ControlsAndC1AsCatShowsThem) {
    const struct {
        std::string text;
        std::string stored;  // as stored: every byte 0x80 to 0x9F is C1
        std::string utf8;    // UTF-8: U+0080 to U+009F (C2 80 to C2 9F) are
    } table[] = {
        {"plain text", "plain text", "plain text"},
        {"\x1b"
         "c reset",
         "^[c reset", "^[c reset"},
        {"\x1b]2;title\x07", "^[]2;title^G", "^[]2;title^G"},
        {"tab\there\r\nlone\rdel\x7f", "tab\there\r\nlone^Mdel^?", "tab\there\r\nlone^Mdel^?"},
        {"\x9b"
         "31m \x9d \x80\x9f",
         "M-^[31m M-^] M-^@M-^_",
         "\x9b"
         "31m \x9d \x80\x9f"},
        {"\xc2\x9b"
         "2J \xc2\x85",
         "\xc2M-^[2J \xc2M-^E", "M-^[2J M-^E"},
        // Cyrillic in UTF-8 ("Л" is D0 9B) and a lone C2 at the end.
        {"\xd0\x9b\xd0\x94 \xc2\xa0\xc2", "\xd0M-^[\xd0M-^T \xc2\xa0\xc2",
         "\xd0\x9b\xd0\x94 \xc2\xa0\xc2"},
        {std::string(40, 'a') + "\x9b" + std::string(40, 'b'),
         std::string(40, 'a') + "M-^[" + std::string(40, 'b'),
         std::string(40, 'a') + "\x9b" + std::string(40, 'b')},
    };
    for (const auto& row : table) {
        EXPECT_EQ(for_terminal(row.text, shown_form::stored), row.stored) << row.text;
        EXPECT_EQ(for_terminal(row.text, shown_form::utf8), row.utf8) << row.text;
        for (const shown_form form : {shown_form::stored, shown_form::utf8}) {
            const std::string& shown = form == shown_form::stored ? row.stored : row.utf8;
            EXPECT_EQ(needs_terminal_form(row.text.data(), row.text.data() + row.text.size(), form),
                      shown != row.text)
                << row.text;
        }
    }
}

TEST(TerminalText, NamesShowTheirUtf8AndNoControl) {
    const struct {
        std::string name;
        std::string shown;
    } table[] = {
        {"cards.crd", "cards.crd"},
        {"\xd0\x9b\xd0\xb5\xd0\xbd\xd0\xb0.crd", "\xd0\x9b\xd0\xb5\xd0\xbd\xd0\xb0.crd"},
        {"osc\x1b]2;owned\x07.crd", "osc^[]2;owned^G.crd"},
        {"tab\tnew\nline\r\n.crd", "tab^Inew^Jline^M^J.crd"},
        {"csi\xc2\x9b.crd", "csiM-^[.crd"},          // U+009B
        {"stray\x9b\x9d.crd", "strayM-^[M-^].crd"},  // bytes that begin no character
        {"latin1 \xe9\xc2.crd", "latin1 \xe9\xc2.crd"},
        {"\xe0\x9b\x80", "\xe0M-^[M-^@"},  // an overlong form is no character
        {std::string(100, 'x') + "\xf0\x9f\x98\x80" + "\x1b",
         std::string(100, 'x') + "\xf0\x9f\x98\x80" + "^["},
    };
    for (const auto& row : table) {
        EXPECT_EQ(shown_name(row.name), row.shown) << row.name;
    }
}

}  // namespace
