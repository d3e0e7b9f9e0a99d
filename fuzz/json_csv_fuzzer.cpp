// Fuzz target: JSON and CSV. Writes any sequence of bytes read as a card file
// as JSON and as CSV (from Windows-1252, or from Windows-936 when the input's
// size is odd, so that both single- and double-byte texts are met), and
// checks that both parse (JSON with nlohmann's SAX parser, which also holds
// strings to UTF-8; CSV as RFC 4180 records of three fields) and hold the
// same number of cards.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "decode/decode.h"
#include "fuzz_input.h"
#include "writers/csv.h"
#include "writers/json.h"

namespace {

// The number of records of an RFC 4180 text whose records all have three
// fields and end with CR LF; -1 when it is not such a text.
long csv_records(std::string_view text) {
    long records = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        for (int field = 0; field < 3; ++field) {
            if (i < text.size() && text[i] == '"') {
                for (++i;; ++i) {
                    if (i >= text.size()) {
                        return -1;
                    }
                    if (text[i] == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            ++i;
                        } else {
                            ++i;
                            break;
                        }
                    }
                }
            } else {
                while (i < text.size() && text[i] != ',' && text[i] != '"' && text[i] != '\r' &&
                       text[i] != '\n') {
                    ++i;
                }
            }
            const std::string_view end = field < 2 ? "," : "\r\n";
            if (text.substr(i, end.size()) != end) {
                return -1;
            }
            i += end.size();
        }
        ++records;
    }
    return records;
}

// Counts the members of the document's "cards" array while nlohmann's SAX
// parser checks the whole text (no document is built: it is the fuzzer's
// speed).
struct card_counter : nlohmann::json_sax<nlohmann::json> {
    int depth = 0;
    bool in_cards = false;  // the last key of the outermost object was "cards"
    std::size_t cards = 0;

    bool start_object(std::size_t) override {
        cards += depth == 2 && in_cards ? 1 : 0;
        ++depth;
        return true;
    }
    bool end_object() override { return --depth, true; }
    bool start_array(std::size_t) override { return ++depth, true; }
    bool end_array() override { return --depth, true; }
    bool key(string_t& name) override {
        if (depth == 1) {
            in_cards = name == "cards";
        }
        return true;
    }
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int encoding = size % 2 == 0 ? ENCODING_WINDOWS_1252 : ENCODING_WINDOWS_936;
    json_writer json{nullptr};
    csv_writer csv{nullptr, false};
    card_file_result result = CARD_FILE_OK;
    const std::string document_text =
        fuzz::written_by(json, data, size, encoding, "fuzz\xff.crd", result);
    if (result != CARD_FILE_OK) {
        return 0;
    }
    const std::string table = fuzz::written_by(csv, data, size, encoding, "fuzz\xff.crd", result);
    card_counter counter;
    const bool parsed = nlohmann::json::sax_parse(document_text, &counter);
    const long records = csv_records(table);
    if (!parsed || records < 1 || counter.cards != static_cast<std::size_t>(records - 1)) {
        __builtin_trap();
    }
    return 0;
}
