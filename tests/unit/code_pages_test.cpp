// Every byte of every single-byte code page, and every lead and trail pair of
// the double-byte ones, against the system's iconv(3) as an independent
// oracle. iconv refusing a byte (or a pair) means '*' here: the lead byte is
// replaced and the byte after it read afresh.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "decode/decode.h"

#if __has_include(<iconv.h>) && !defined(_WIN32)
#include <iconv.h>

namespace {

struct code_page_case {
    int encoding;
    const char* iconv_name;
    bool double_byte;
    // Where glibc and the vendor mapping disagree, as ranges: a byte alone as
    // 0x00XX, a pair as its two bytes (0xLLTT).
    std::vector<std::pair<std::uint16_t, std::uint16_t>> known_differences;
};

std::set<std::uint16_t> positions(const code_page_case& page) {
    std::set<std::uint16_t> all;
    for (const auto& [first, last] : page.known_differences) {
        for (unsigned at = first; at <= last; ++at) {
            all.insert(static_cast<std::uint16_t>(at));
        }
    }
    return all;
}

// `bytes` through iconv, a refused byte written as '*' and skipped.
std::string iconv_replacing(iconv_t cd, const std::string& bytes) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string in = bytes;
    std::string out(bytes.size() * 4 + 8, '\0');
    char* in_p = in.data();
    std::size_t in_left = in.size();
    char* out_p = out.data();
    std::size_t out_left = out.size();
    while (in_left > 0) {
        if (iconv(cd, &in_p, &in_left, &out_p, &out_left) != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno != EILSEQ && errno != EINVAL) {
            return "iconv failed";
        }
        *out_p++ = '*';
        --out_left;
        // A page that holds a letter back may have taken the whole input.
        if (in_left > 0) {
            ++in_p;
            --in_left;
        }
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // Pages with combining marks (1255, 1258) hold a letter back until they
    // see what follows it.
    iconv(cd, nullptr, nullptr, &out_p, &out_left);
    return out.substr(0, out.size() - out_left);
}

std::string converted(int encoding, const std::string& bytes) {
    std::string dest(utf8_room(bytes.size()), '\0');
    const char* end = decode_text(code_page_of(encoding), bytes, dest.data());
    return dest.substr(0, static_cast<std::size_t>(end - dest.data()));
}

std::set<std::uint16_t> differences_from_iconv(const code_page_case& page) {
    std::set<std::uint16_t> differences;
    iconv_t cd = iconv_open("UTF-8", page.iconv_name);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "iconv does not know " << page.iconv_name;
        return differences;
    }
    for (unsigned first = 0x80; first <= 0xFF; ++first) {
        const std::string alone(1, static_cast<char>(first));
        if (converted(page.encoding, alone) != iconv_replacing(cd, alone)) {
            // Then every pair it begins differs too, and says nothing more.
            differences.insert(static_cast<std::uint16_t>(first));
            continue;
        }
        for (unsigned second = 1; page.double_byte && second <= 0xFF; ++second) {
            const std::string next(1, static_cast<char>(second));
            const std::string pair = alone + next;
            const std::string ours = converted(page.encoding, pair);
            const std::string theirs = iconv_replacing(cd, pair);
            // Two bytes that both sides read one by one differ, if at all, in
            // the second byte alone, which its own turn tests.
            const bool both_split =
                ours == converted(page.encoding, alone) + converted(page.encoding, next) &&
                theirs == iconv_replacing(cd, alone) + iconv_replacing(cd, next);
            if (ours != theirs && !both_split) {
                differences.insert(static_cast<std::uint16_t>(first << 8 | second));
            }
        }
    }
    iconv_close(cd);
    return differences;
}

}  // namespace

TEST(CodePages, EveryByteAndPairAgreesWithIconvButTheKnownDifferences) {
    const std::vector<code_page_case> pages = {
        {ENCODING_WINDOWS_874, "CP874", false, {}},
        {ENCODING_WINDOWS_1250, "CP1250", false, {}},
        {ENCODING_WINDOWS_1251, "CP1251", false, {}},
        {ENCODING_WINDOWS_1252, "CP1252", false, {}},
        {ENCODING_WINDOWS_1253, "CP1253", false, {}},
        {ENCODING_WINDOWS_1254, "CP1254", false, {}},
        {ENCODING_WINDOWS_1255, "CP1255", false, {}},
        {ENCODING_WINDOWS_1256, "CP1256", false, {}},
        {ENCODING_WINDOWS_1257, "CP1257", false, {}},
        {ENCODING_WINDOWS_1258, "CP1258", false, {}},
        // glibc leaves 0x80, 0xA0 and 0xFD to 0xFF unassigned; the vendor
        // mapping gives U+0080, U+F8F0 and U+F8F1 to U+F8F3.
        {ENCODING_WINDOWS_932,
         "CP932",
         true,
         {{0x0080, 0x0080}, {0x00A0, 0x00A0}, {0x00FD, 0x00FF}}},
        // The vendor mapping leaves 0x80 alone unassigned; glibc gives it the euro sign.
        {ENCODING_WINDOWS_936, "CP936", true, {{0x0080, 0x0080}}},
        // glibc assigns A2 E8; the vendor mapping does not.
        {ENCODING_WINDOWS_949, "CP949", true, {{0xA2E8, 0xA2E8}}},
        // 0x80, and rows C6 A1 to C8 FE, which the vendor mapping fills with
        // kana and symbols and glibc with private-use characters or nothing.
        {ENCODING_WINDOWS_950,
         "CP950",
         true,
         {{0x0080, 0x0080},
          {0xC6A1, 0xC6FE},
          {0xC740, 0xC77E},
          {0xC7A1, 0xC7FE},
          {0xC840, 0xC87E},
          {0xC8A1, 0xC8FE}}},
    };
    for (const code_page_case& page : pages) {
        const std::set<std::uint16_t> found = differences_from_iconv(page);
        std::string listed;
        for (const std::uint16_t position : found) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%04X", position);
            listed += std::string(listed.empty() ? "" : ", ") + hex;
        }
        EXPECT_EQ(found, positions(page))
            << page.iconv_name << ": " << found.size() << " differences: " << listed;
    }
}

#endif
