#include "listing.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <string_view>

#include "decode/decode.h"
#include "extract.h"
#include "output_block.h"

namespace {

// Spaces before the word Card, so that headings up to card 999 are as wide as the rule.
int heading_indent(int number) {
    return number <= 9 ? 2 : number <= 99 ? 1 : 0;
}

// Writes "\n", the text as the code page shows it, and "\n".
void put_text(output_block& block, const code_page* page, std::string_view text) {
    char* at = output_room(block, 2 + decoded_room(page, text.size()));
    *at++ = '\n';
    at = put_decoded(page, text, at);
    *at++ = '\n';
    output_done(block, at);
}

// The heading of card `number` and the rule under it: "\n", the indentation,
// "Card " and the number, then "\n--------". Every piece is copied whole.
void put_heading(output_block& block, int number) {
    constexpr std::size_t MOST_DIGITS = 5;  // the number is at most 32767
    char* at = output_room(block, 3 + 5 + MOST_DIGITS + 9);
    // Two digits at a time.
    static constexpr char PAIRS[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char digits[16];
    char* const digits_end = digits + MOST_DIGITS + 1;
    char* first = digits_end;
    unsigned rest = static_cast<unsigned>(number);
    while (rest >= 10) {
        first -= 2;
        std::memcpy(first, PAIRS + 2 * (rest % 100), 2);
        rest /= 100;
    }
    if (rest > 0 || first == digits_end) {
        *--first = static_cast<char>('0' + rest);
    }
    at[0] = '\n';
    at[1] = ' ';
    at[2] = ' ';
    at += 1 + heading_indent(number);
    std::memcpy(at, "Card ", 5);
    at += 5;
    std::memcpy(at, first, MOST_DIGITS);  // the digits, and what follows them in `digits`
    at += digits_end - first;
    std::memcpy(at, "\n--------", 9);
    output_done(block, at + 9);
}

// The card's text; for an object card the notice that stands for the
// object first, and the text only when the object parses.
void put_body(output_block& block, const code_page* page, const card_body& body) {
    if (body.object) {
        std::array<char, 128> notice{};
        const int size = std::snprintf(notice.data(), notice.size(),
                                       "\n*** OLE object, not supported,\n    UID: %li, format ID: "
                                       "%li, class name len: %li.\n",
                                       static_cast<long>(body.object->uid),
                                       static_cast<long>(body.object->format_id),
                                       static_cast<long>(body.object->class_name_length));
        if (size > 0) {
            put_bytes(block,
                      {notice.data(), std::min(static_cast<std::size_t>(size), notice.size() - 1)});
        }
    }
    if (body.has_text) {
        put_text(block, page, body.text);
    }
}

void put_card(output_block& block, const code_page* page, const card_record& card) {
    put_heading(block, card.number);
    put_text(block, page, card.title);
    put_body(block, page, card.body);
}

card_file_result list_stream(std::FILE* file, int encoding, std::FILE* out,
                             extract_state* extract) {
    card_stream in{file};
    card_walk walk = start_card_walk(in);
    const card_file_header& header = walk.header;
    if (header.result == CARD_FILE_BAD_SIGNATURE) {
        // Only the bytes the file supplied: a short file shows fewer than three.
        std::fputs("\n\nThe signature is not supported: ", out);
        std::fwrite(header.signature.data(), 1, header.signature.size(), out);
        return CARD_FILE_BAD_SIGNATURE;
    }
    if (header.result != CARD_FILE_OK) {
        return header.result;
    }
    std::fprintf(out, "\n\n%s card file, total cards: %i\n",
                 header.variant == VARIANT_RRG ? "RRG" : "MGC", header.count);
    output_block block{out};
    const code_page* page = code_page_of(encoding);
    card_record card;
    while (next_card(in, walk, card)) {
        if (extract && !extract_card(in, *extract, card)) {
            break;  // a picture could not be written: stop here
        }
        put_card(block, page, card);
        if (std::ferror(out)) {
            break;  // nothing more can be written
        }
    }
    flush_output(block);
    give_file_position(in);  // behind the last entry read
    return in.read_failed ? CARD_FILE_OPEN_FAILED : CARD_FILE_OK;
}

}  // namespace

void read_index_entry(card_stream& in, int encoding, std::vector<std::int32_t>& card_offsets,
                      std::int16_t index, std::FILE* out) {
    take_file_position(in);
    const card_entry entry = read_card_entry(in);
    card_offsets[static_cast<std::size_t>(index)] = entry.body_offset;
    if (entry.listed) {
        output_block block{out};
        put_heading(block, index + 1);
        put_text(block, code_page_of(encoding), entry.title);
        flush_output(block);
    }
    give_file_position(in);
}

void read_card_body(card_stream& in, int encoding, int variant, std::int32_t body_offset,
                    std::FILE* out) {
    take_file_position(in);
    output_block block{out};
    put_body(block, code_page_of(encoding), read_card_body_record(in, variant, body_offset));
    flush_output(block);
    give_file_position(in);
}

// The reader's memory is bounded (under a megabyte in all); should even that
// be refused, the file could not be read.
card_file_result list_card_stream(std::FILE* file, int encoding, std::FILE* out,
                                  extract_state* extract) {
    if (!reader_memory_available()) {
        return CARD_FILE_OPEN_FAILED;
    }
    try {
        return list_stream(file, encoding, out, extract);
    } catch (const std::bad_alloc&) {
        return CARD_FILE_OPEN_FAILED;
    }
}

card_file_result list_card_file(const char* path, int encoding, std::FILE* out) {
    const owned_stream file = open_card_file(path);
    if (!file) {
        return CARD_FILE_OPEN_FAILED;
    }
    return list_card_stream(file.get(), encoding, out);
}

card_file_result list_card_file(const char* path, int encoding) {
    return list_card_file(path, encoding, stdout);
}
