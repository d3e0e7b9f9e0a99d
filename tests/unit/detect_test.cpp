// The code page detector: its contract (ASCII, nothing fed, the weak guess,
// stopping once it has enough) and clear samples whose bytes are written
// here by hand, checked against the system's converter where there is one.
#include "decode/detect.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "decode/decode.h"
#include "iconv_oracle.h"

namespace {

detection detect_texts(const std::vector<std::string>& texts) {
    code_page_detector detector;
    for (const std::string& text : texts) {
        detect_feed(detector, text);
    }
    return detect_finish(detector);
}

bool same_state(const code_page_detector& a, const code_page_detector& b) {
    return std::memcmp(a.pairs, b.pairs, sizeof a.pairs) == 0 &&
           std::memcmp(a.cost, b.cost, sizeof a.cost) == 0 && a.high_bytes == b.high_bytes &&
           a.seen[0] == b.seen[0] && a.seen[1] == b.seen[1];
}

// A card file's texts, by hand, and what they say in UTF-8.
struct sample {
    const char* name;
    int encoding;
    const char* iconv_name;
    std::vector<std::string> texts;
    std::vector<std::string> utf8;
};

const std::vector<sample>& samples() {
    static const std::vector<sample> all = {
        {"Russian",
         ENCODING_WINDOWS_1251,
         "CP1251",
         {"\xC8\xE2\xE0\xED\xEE\xE2\xE0 \xCC\xE0\xF0\xE8\xFF",
          "\xF3\xEB. \xD1\xE0\xE4\xEE\xE2\xE0\xFF, \xE4. 5, \xEA\xE2. 12\r\n"
          "\xEF\xEE\xE7\xE2\xEE\xED\xE8\xF2\xFC \xEF\xEE\xF1\xEB\xE5 \xEE\xE1\xE5\xE4\xE0"},
         {"Иванова Мария", "ул. Садовая, д. 5, кв. 12\r\nпозвонить после обеда"}},
        {"Greek",
         ENCODING_WINDOWS_1253,
         "CP1253",
         {"\xD0\xE1\xF0\xE1\xE4\xFC\xF0\xEF\xF5\xEB\xEF\xF2 \xCD\xDF\xEA\xEF\xF2",
          "\xEF\xE4\xFC\xF2 \xC1\xE8\xE7\xED\xDC\xF2 14\r\n"
          "\xF4\xE7\xEB\xDD\xF6\xF9\xED\xEF \xE3\xF1\xE1\xF6\xE5\xDF\xEF\xF5"},
         {"Παπαδόπουλος Νίκος", "οδός Αθηνάς 14\r\nτηλέφωνο γραφείου"}},
        {"Japanese",
         ENCODING_WINDOWS_932,
         "CP932",
         {"\x8E\x52\x93\x63\x91\xBE\x98\x59",
          "\x93\x8C\x8B\x9E\x93\x73\x90\x56\x8F\x68\x8B\xE6\r\n"
          "\x93\x64\x98\x62\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2"},
         {"山田太郎", "東京都新宿区\r\n電話してください"}},
        // Bytes that Windows-1250 shows as the same letters: the tie goes to
        // Windows-1252.
        {"German",
         ENCODING_WINDOWS_1252,
         "CP1252",
         {"M\xFCller, J\xFCrgen",
          "Stra\xDF"
          "e der Einheit 5\r\n"
          "Gr\xFC\xDF"
          "e an die Familie, Geburtstag im M\xE4rz"},
         {"Müller, Jürgen", "Straße der Einheit 5\r\nGrüße an die Familie, Geburtstag im März"}},
    };
    return all;
}

// The bytes stated by hand are, in iconv's reading of their page, the UTF-8
// texts they claim to be.
void expect_bytes_say_what_they_claim(const std::vector<sample>& all) {
#ifdef HAVE_ICONV
    for (const sample& s : all) {
        SCOPED_TRACE(s.name);
        ASSERT_EQ(s.texts.size(), s.utf8.size());
        for (std::size_t i = 0; i < s.texts.size(); ++i) {
            std::string utf8;
            ASSERT_TRUE(iconv_to_utf8(s.iconv_name, s.texts[i], utf8));
            EXPECT_EQ(utf8, s.utf8[i]);
        }
    }
#else
    (void)all;
    GTEST_SKIP() << "no iconv";
#endif
}

TEST(DetectSamples, HandWrittenBytesSayWhatTheyClaim) {
    expect_bytes_say_what_they_claim(samples());
}

TEST(DetectSamples, FindsTheirPage) {
    for (const sample& s : samples()) {
        SCOPED_TRACE(s.name);
        detection found = detect_texts(s.texts);
        EXPECT_EQ(found.encoding, s.encoding);
        EXPECT_FALSE(found.ascii_only);
        EXPECT_FALSE(found.weak);
        EXPECT_STREQ(found.language_hint, detect_language_hint(s.encoding));
    }
}

TEST(DetectSamples, OneShortCard) {
    // One index line and an empty text: a Russian name.
    detection found = detect_texts({samples()[0].texts[0], ""});
    EXPECT_EQ(found.encoding, ENCODING_WINDOWS_1251);
    EXPECT_FALSE(found.ascii_only);
}

// Short notes in the languages whose letters the Latin pages share or swap:
// Icelandic (thorn and eth are Romanian and Croatian letters in
// Windows-1250), Albanian, Hungarian (o and u with double acute are a tilde
// and a circumflex in Windows-1252), Slovene, Croatian and Spanish (n with
// tilde is Polish n with acute in Windows-1250).
const std::vector<sample>& latin_samples() {
    static const std::vector<sample> all = {
        {"Icelandic",
         ENCODING_WINDOWS_1252,
         "CP1252",
         {"J\xF3n \xDE\xF3r\xF0"
          "arson",
          "Hringdu \xED mig \xFE"
          "egar \xFE\xFA kemur heim.\r\nVi\xF0 f\xF6rum nor\xF0ur \xE1 f\xF6studaginn og gistum "
          "hj\xE1 \xF6mmu."},
         {"Jón Þórðarson",
          "Hringdu í mig þegar þú kemur heim.\r\nVið förum norður á föstudaginn og gistum hjá "
          "ömmu."}},
        {"Albanian",
         ENCODING_WINDOWS_1250,
         "CP1250",
         {"Vizit\xEB te mjeku t\xEB h\xEBn\xEBn",
          "Blej \xE7"
          "aj, buk\xEB dhe djath\xEB p\xEBr dark\xEBn e s\xEB shtun\xEBs.\r\nMos harro \xE7"
          "el\xEBsat e sht\xEBpis\xEB."},
         {"Vizitë te mjeku të hënën",
          "Blej çaj, bukë dhe djathë për darkën e së shtunës.\r\nMos harro çelësat e shtëpisë."}},
        {"Hungarian",
         ENCODING_WINDOWS_1250,
         "CP1250",
         {"Kov\xE1"
          "cs \xD6"
          "d\xF6n",
          "H\xEDvd fel h\xE9tf\xF5n, a sz\xFClet\xE9snapja j\xF6v\xF5 cs\xFCt\xF6rt\xF6k\xF6n "
          "lesz.\r\nA f\xFBt\xE9s m\xE9g mindig hib\xE1s, sz\xF3lj a szerel\xF5nek."},
         {"Kovács Ödön",
          "Hívd fel hétfőn, a születésnapja jövő csütörtökön lesz.\r\nA fűtés még mindig hibás, "
          "szólj a szerelőnek."}},
        {"Slovene",
         ENCODING_WINDOWS_1250,
         "CP1250",
         {"\xC8"
          "estitke za rojstni dan",
          "Jutri grem v \x9Aolo, potem pa k zobozdravniku.\r\n\x8E"
          "e v\xE8"
          "eraj sem kupil kruh in mleko za \x9E"
          "eno."},
         {"Čestitke za rojstni dan",
          "Jutri grem v šolo, potem pa k zobozdravniku.\r\nŽe včeraj sem kupil kruh in mleko za "
          "ženo."}},
        {"Croatian",
         ENCODING_WINDOWS_1250,
         "CP1250",
         {"\xD0ur\xF0ica Horvat",
          "Sutra idem u \x9Akolu, a poslije kod zubara.\r\nVe\xE6 sam kupio kruh i mlijeko. "
          "Njezina k\xE6i \x9Eivi u \xD0"
          "akovu."},
         {"Đurđica Horvat",
          "Sutra idem u školu, a poslije kod zubara.\r\nVeć sam kupio kruh i mlijeko. Njezina kći "
          "živi u Đakovu."}},
        {"Spanish",
         ENCODING_WINDOWS_1252,
         "CP1252",
         {"Se\xF1ora Pe\xF1"
          "a",
          "Ma\xF1"
          "ana llamo a la ni\xF1"
          "a del a\xF1o pasado.\r\n\xBF"
          "Cu\xE1ndo vuelves a Espa\xF1"
          "a? Dile a tu t\xEDo que s\xED."},
         {"Señora Peña",
          "Mañana llamo a la niña del año pasado.\r\n¿Cuándo vuelves a España? Dile a tu tío que "
          "sí."}},
    };
    return all;
}

TEST(DetectLatinSamples, HandWrittenBytesSayWhatTheyClaim) {
    expect_bytes_say_what_they_claim(latin_samples());
}

// The page chosen shows every text as written: it is the page the note was
// written in, or one that has the same letters at the bytes used (Albanian
// reads alike in Windows-1250 and 1252).
TEST(DetectLatinSamples, ChosenPageShowsTheText) {
    for (const sample& s : latin_samples()) {
        SCOPED_TRACE(s.name);
        detection found = detect_texts(s.texts);
        EXPECT_FALSE(found.ascii_only);
        EXPECT_FALSE(found.weak);
        const code_page* page = code_page_of(found.encoding);
        ASSERT_NE(page, nullptr);
        for (std::size_t i = 0; i < s.texts.size(); ++i) {
            std::string out(utf8_room(s.texts[i].size()), '\0');
            out.resize(static_cast<std::size_t>(decode_text(page, s.texts[i], &out[0]) - &out[0]));
            EXPECT_EQ(out, s.utf8[i]) << "as Windows page " << found.encoding;
        }
    }
}

TEST(DetectContract, NothingFedIsAscii) {
    code_page_detector detector;
    detection found = detect_finish(detector);
    EXPECT_EQ(found.encoding, ENCODING_WINDOWS_1252);
    EXPECT_TRUE(found.ascii_only);
    EXPECT_FALSE(found.weak);
    EXPECT_STREQ(found.language_hint, "ASCII");
}

TEST(DetectContract, AsciiTextsAreAscii) {
    std::string every_ascii_byte;
    for (int byte = 1; byte < 0x80; ++byte) {
        every_ascii_byte += static_cast<char>(byte);
    }
    const std::vector<std::vector<std::string>> cases = {
        {""},
        {"", "", ""},
        {"Smith, John", "12 High Street\r\nLondon\r\n+44 20 7946 0000"},
        {every_ascii_byte, std::string(100000, 'x')},
    };
    for (const auto& texts : cases) {
        detection found = detect_texts(texts);
        EXPECT_EQ(found.encoding, ENCODING_WINDOWS_1252);
        EXPECT_TRUE(found.ascii_only);
        EXPECT_FALSE(found.weak);
    }
}

// Bytes 1 to 255 from a fixed linear congruential generator.
std::vector<std::string> random_texts(std::uint32_t seed, int count, std::size_t size) {
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) {
        std::string text;
        while (text.size() < size) {
            seed = seed * 1664525u + 1013904223u;
            char byte = static_cast<char>(seed >> 24);
            if (byte != '\0') {
                text += byte;
            }
        }
        texts.push_back(text);
    }
    return texts;
}

TEST(DetectContract, RandomBytesAreAWeakGuess) {
    for (std::uint32_t seed : {1u, 2u, 3u, 12345u}) {
        SCOPED_TRACE(seed);
        detection found = detect_texts(random_texts(seed, 30, 200));
        EXPECT_TRUE(found.weak);
        EXPECT_FALSE(found.ascii_only);
        EXPECT_NE(detect_language_hint(found.encoding), nullptr);
    }
}

TEST(DetectContract, OrderOfTheTextsDoesNotMatter) {
    std::vector<std::string> texts = random_texts(7, 20, 50);
    for (const sample& s : samples()) {
        texts.insert(texts.end(), s.texts.begin(), s.texts.end());
    }
    code_page_detector forward, backward;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        detect_feed(forward, texts[i]);
        detect_feed(backward, texts[texts.size() - 1 - i]);
    }
    EXPECT_TRUE(same_state(forward, backward));
    detection a = detect_finish(forward), b = detect_finish(backward);
    EXPECT_EQ(a.encoding, b.encoding);
    EXPECT_EQ(a.weak, b.weak);
}

TEST(DetectContract, StopsOnceItHasEnough) {
    const std::string card = samples()[1].texts[1];  // Greek
    code_page_detector detector;
    int fed = 0;
    while (!detect_done(detector)) {
        detect_feed(detector, card);
        ++fed;
        ASSERT_LT(fed, 100000);
    }
    EXPECT_GE(detector.high_bytes, DETECT_ENOUGH_BYTES);
    const code_page_detector before = detector;
    detect_feed(detector, samples()[2].texts[1]);  // Japanese: ignored now
    EXPECT_TRUE(same_state(before, detector));
    EXPECT_EQ(detect_finish(detector).encoding, ENCODING_WINDOWS_1253);
}

TEST(DetectContract, BytesAtTheEdgesOfTexts) {
    // A lead byte alone at the end, a byte 0x80 to 0xFF alone, bytes the
    // pages leave unassigned: scored, never read past.
    const std::vector<std::string> texts = {"\x82", "\xFF", "abc\x81", "\x98\x98\x98", "\x80 x"};
    for (const std::string& text : texts) {
        code_page_detector detector;
        detect_feed(detector, text);
        EXPECT_GT(detector.high_bytes, 0u);
        detection found = detect_finish(detector);
        EXPECT_FALSE(found.ascii_only);
        EXPECT_NE(found.language_hint, nullptr);
    }
}

TEST(DetectContract, LanguageHints) {
    EXPECT_EQ(std::string(detect_language_hint(ENCODING_WINDOWS_1251)).rfind("Cyrillic: ", 0), 0u);
    EXPECT_STREQ(detect_language_hint(ENCODING_WINDOWS_1253), "Greek");
    EXPECT_EQ(detect_language_hint(ENCODING_NONE), nullptr);
    EXPECT_EQ(detect_language_hint(1251), nullptr);  // Windows-1251 is ENCODING_WINDOWS_1251
}

}  // namespace
