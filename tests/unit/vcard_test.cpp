// What the vCard writer takes for a phone number, an e-mail address and a web
// address in a card's text: table-driven, each row a text and what a careful
// reader finds in it.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "contacts/addresses.h"
#include "contacts/phones.h"

namespace {

using found_list = std::vector<std::string>;

template <typename Finder>
found_list find_all(Finder finder, std::string_view text) {
    std::vector<std::string_view> found;
    finder(text, found);
    return {found.begin(), found.end()};
}

struct row {
    const char* text;
    found_list expected;
};

TEST(VcardFind, PhoneNumbers) {
    const row rows[] = {
        {"Tel.: +7 (495) 123-45-67, моб. +7 916 555-12-34",
         {"+7 (495) 123-45-67", "+7 916 555-12-34"}},
        {"24-hour emergency line: (555) 010-4477", {"(555) 010-4477"}},
        {"(555) 010-4477 at the very start", {"(555) 010-4477"}},
        {"Тел./факс: (8182) 65-40-17\r\n", {"(8182) 65-40-17"}},
        {"555.013.2290 and 555-0134-22.", {"555.013.2290", "555-0134-22"}},
        {"+44 20 7946 0958 twice: +44 20 7946 0958", {"+44 20 7946 0958"}},
        // Too few or too many digits.
        {"Office № 305, 3 floor; 123-456", {}},
        {"1234567890123456", {}},
        // Dates, spans of years, postal codes, sums.
        {"born 12.03.1994, met 1994-03-12, on 3/4/2001", {}},
        {"from 1994-1995", {}},
        {"ZIP 12345-6789, CEP 01310-100", {}},
        {"〒100-0005 Tokyo", {}},
        {"owes 3 000 000 and 1.500.000", {}},
        // Joined to letters or other words.
        {"HP 92298A1234567", {}},
        {"item#5550104477", {}},
        {"http://example.org/5550104477", {}},
        {"item#555-010-4477", {}},
        {"a(555) 010-4477", {"010-4477"}},
        // Brackets that do not close are not part of a number.
        {"(555 010 4477", {}},
        {"call 555-010-4477)", {"555-010-4477"}},
        {"", {}},
    };
    for (const row& r : rows) {
        EXPECT_EQ(find_all(find_phone_numbers, r.text), r.expected) << r.text;
    }
}

// A number found wherever it stands in a long text: before, across and after
// every boundary of the 16, 32 and 64 bytes the finder looks at together,
// among letters whose UTF-8 bytes read as '0' to '9', '+' or '(' in their
// low seven bits (0xB0 to 0xB9, 0xAB, 0xA8).
TEST(VcardFind, PhoneNumbersAnywhereInALongText) {
    const std::string filler = "\xD0\xB4\xC2\xB0\xC2\xB9\xC2\xAB\xC2\xA8 \xD1\x85";
    const std::string number = "+7 (495) 123-45-67";
    for (std::size_t before = 0; before < 140; ++before) {
        std::string text;
        while (text.size() < before) {
            text += filler;
        }
        text.resize(before, ' ');
        const found_list none{};
        EXPECT_EQ(find_all(find_phone_numbers, text), none) << before;
        EXPECT_EQ(find_all(find_phone_numbers, text + " " + number), found_list{number}) << before;
        EXPECT_EQ(find_all(find_phone_numbers, text + " " + number + " " + filler + filler),
                  found_list{number})
            << before;
    }
}

TEST(VcardFind, EmailAddresses) {
    const row rows[] = {
        {"Mail: jane.doe+cards@example.co.uk, or me@x.org.",
         {"jane.doe+cards@example.co.uk", "me@x.org"}},
        {"twice a@b.com a@b.com", {"a@b.com"}},
        {"not@this nor a@b. nor @example.org nor x@.org nor x@a..org", {}},
        {"x@example.c0m x@example.c", {}},
        {".lead@example.org", {"lead@example.org"}},
    };
    for (const row& r : rows) {
        EXPECT_EQ(find_all(find_email_addresses, r.text), r.expected) << r.text;
    }
}

TEST(VcardFind, WebAddresses) {
    const row rows[] = {
        {"see https://example.org/a(b)?q=1. Or www.example.com!",
         {"https://example.org/a(b)?q=1", "www.example.com"}},
        {"(http://example.org/x) and HTTP://EXAMPLE.ORG",
         {"http://example.org/x", "HTTP://EXAMPLE.ORG"}},
        {"xhttp://example.org www. www.x mailto:www.a.b", {"www.a.b"}},
        {"http:// and https://", {}},
        {"http://a.b,c;d", {"http://a.b"}},
    };
    for (const row& r : rows) {
        EXPECT_EQ(find_all(find_web_addresses, r.text), r.expected) << r.text;
    }
}

// Long runs of what the finders look for, as a hostile card holds them:
// what each finds, each once, in the order of the text. (What they cost is
// bench/hostile.sh's to show.)
TEST(VcardFind, LongRuns) {
    const auto run = [](std::string head, std::string_view unit, std::size_t times) {
        for (std::size_t i = 0; i < times; ++i) {
            head += unit;
        }
        return head;
    };
    // Thousands of numbers and addresses, each written twice.
    found_list numbers, mails, urls;
    std::string numbers_text, mails_text, urls_text;
    for (int i = 0; i < 3000; ++i) {
        const std::string digits = std::to_string(1000000 + i);
        numbers.push_back("+1 555 " + digits);
        mails.push_back("u" + digits + "@example.com");
        urls.push_back("www.a" + digits + ".com");
        numbers_text += numbers.back() + "; ";
        mails_text += mails.back() + " ";
        urls_text += urls.back() + " ";
    }
    using finder = void (*)(std::string_view, std::vector<std::string_view>&);
    const struct {
        finder find;
        std::string text;
        found_list expected;
    } rows[] = {
        {find_web_addresses, run("http://example.com/a", ")", 60000), {"http://example.com/a"}},
        {find_web_addresses, run("http://example.com/a(", ")", 60000), {"http://example.com/a()"}},
        {find_web_addresses,
         run("http://example.com/a", "(", 60000),
         {run("http://example.com/a", "(", 60000)}},
        {find_web_addresses, run("www.example.com", ".", 60000), {"www.example.com"}},
        {find_web_addresses,
         run("", ":", 60000) + run("", "http://", 8000),
         {run("", "http://", 8000)}},
        {find_web_addresses, urls_text + urls_text, urls},
        {find_email_addresses, run("", "@", 60000), {}},
        {find_email_addresses, run("", "a@", 30000), {}},
        {find_email_addresses, mails_text + mails_text, mails},
        {find_phone_numbers, run("", "7", 60000), {}},
        {find_phone_numbers, run("", "(", 60000), {}},
        {find_phone_numbers, run("", " ", 30000) + numbers_text + numbers_text, numbers},
        {find_phone_numbers, run("\xE3\x80\x92", " ", 30000) + "555 1234567", {}},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(find_all(r.find, r.text), r.expected) << r.text.substr(0, 40);
    }
}

}  // namespace
