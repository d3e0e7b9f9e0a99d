#include "cardfile.h"

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "decode/decode.h"
#include "fixed.h"

namespace {

struct file_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

// Reads up to `size` bytes into `dest`, which the caller has zero-filled:
// bytes the file does not supply stay zero. Returns how many were delivered.
std::size_t read_bytes(card_stream& in, unsigned char* dest, std::size_t size) {
    const std::size_t got = std::fread(dest, 1, size, in.file);
    if (got < size && std::ferror(in.file)) {
        in.read_failed = true;
    }
    return got;
}

// The stored text up to its first NUL, never beyond `size` bytes.
std::string_view stored_text(const unsigned char* bytes, std::size_t size) {
    const char* text = reinterpret_cast<const char*>(bytes);
    const void* nul = std::memchr(text, '\0', size);
    return {text, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : size};
}

void print_text(std::string_view text, std::FILE* out) {
    std::fputc('\n', out);
    std::fwrite(text.data(), 1, text.size(), out);
    std::fputc('\n', out);
}

// Reads a body text of `length` bytes from the stream's position and prints it.
void print_body_text(card_stream& in, int encoding, std::size_t length, std::FILE* out) {
    std::vector<unsigned char> text(length + 1);  // zero-filled; text[length] stays NUL
    read_bytes(in, text.data(), length);
    std::string converted;
    print_text(decode_text(stored_text(text.data(), length), encoding, converted), out);
}

void read_mgc_body(card_stream& in, int encoding, std::FILE* out) {
    std::array<unsigned char, GRAPHIC_LENGTH_SIZE> graphic{};
    read_bytes(in, graphic.data(), graphic.size());
    const std::uint16_t graphic_length = decode_u16(graphic.data());
    if (graphic_length != 0 &&
        std::fseek(in.file, graphic_length + GRAPHIC_BLOCK_EXTRA, SEEK_CUR)) {
        in.read_failed = true;
        return;
    }
    std::array<unsigned char, TEXT_LENGTH_SIZE> length{};
    read_bytes(in, length.data(), length.size());
    print_body_text(in, encoding, decode_u16(length.data()), out);
}

void read_rrg_body(card_stream& in, int encoding, std::FILE* out) {
    std::array<unsigned char, OBJECT_FLAG_SIZE> flag{};
    read_bytes(in, flag.data(), flag.size());
    if (decode_u16(flag.data()) == 0) {
        std::array<unsigned char, TEXT_LENGTH_SIZE> length{};
        read_bytes(in, length.data(), length.size());
        print_body_text(in, encoding, decode_u16(length.data()), out);
        return;
    }
    std::array<unsigned char, OBJECT_FIELDS_SIZE> fields{};
    read_bytes(in, fields.data(), fields.size());
    std::fprintf(out,
                 "\n*** OLE object, not supported,\n    UID: %li, format ID: %li, class name len: "
                 "%li.\n",
                 static_cast<long>(decode_i32(fields.data() + OBJECT_UID_AT)),
                 static_cast<long>(decode_i32(fields.data() + OBJECT_FORMAT_ID_AT)),
                 static_cast<long>(decode_i32(fields.data() + OBJECT_CLASS_NAME_LENGTH_AT)));
}

// Spaces before the word Card, so that headings up to card 999 are as wide as the rule.
int heading_indent(std::int16_t index) {
    return index <= 8 ? 2 : index <= 98 ? 1 : 0;
}

}  // namespace

void read_index_entry(card_stream& in, int encoding, std::vector<std::int32_t>& card_offsets,
                      std::int16_t index, std::FILE* out) {
    std::array<unsigned char, INDEX_ENTRY_SIZE> entry{};
    read_bytes(in, entry.data(), entry.size());
    const std::int32_t body_offset = decode_i32(entry.data() + INDEX_BODY_OFFSET_AT);
    const auto slot = static_cast<std::size_t>(index);
    if (body_offset == 0 || entry[INDEX_FLAG_AT] != 0) {
        card_offsets[slot] = NO_CARD_BODY;
        return;
    }
    card_offsets[slot] = body_offset;
    std::string converted;
    const std::string_view shown = decode_text(
        stored_text(entry.data() + INDEX_TEXT_AT, INDEX_TEXT_SIZE), encoding, converted);
    std::fprintf(out, "\n%.*sCard %i", heading_indent(index), "   ", index + 1);
    std::fputs("\n--------", out);
    print_text(shown, out);
}

void read_card_body(card_stream& in, int encoding, int variant, std::int32_t body_offset,
                    std::FILE* out) {
    if (body_offset < 0) {
        return;
    }
    std::fpos_t saved;
    if (std::fgetpos(in.file, &saved) != 0 || std::fseek(in.file, body_offset, SEEK_SET) != 0) {
        in.read_failed = true;
        return;
    }
    if (variant == VARIANT_RRG) {
        read_rrg_body(in, encoding, out);
    } else {
        read_mgc_body(in, encoding, out);
    }
    if (std::fsetpos(in.file, &saved) != 0) {
        in.read_failed = true;
    }
}

card_file_result list_card_stream(std::FILE* file, int encoding, std::FILE* out) {
    card_stream in{file};
    std::array<unsigned char, SIGNATURE_SIZE> signature{};
    const std::size_t signature_got = read_bytes(in, signature.data(), signature.size());
    if (in.read_failed) {
        return CARD_FILE_OPEN_FAILED;
    }
    const std::string_view sig(reinterpret_cast<const char*>(signature.data()), signature_got);
    int variant;
    std::int16_t count = 0;
    if (sig == "RRG") {
        std::array<unsigned char, RRG_HEADER_REST_SIZE> rest{};
        read_bytes(in, rest.data(), rest.size());
        count = decode_i16(rest.data() + RRG_COUNT_AT);
        variant = VARIANT_RRG;
    } else if (sig == "MGC") {
        std::array<unsigned char, CARD_COUNT_SIZE> stored_count{};
        read_bytes(in, stored_count.data(), stored_count.size());
        count = decode_i16(stored_count.data());
        variant = VARIANT_MGC;
    } else {
        // Only the bytes the file supplied: a short file shows fewer than three.
        std::fputs("\n\nThe signature is not supported: ", out);
        std::fwrite(sig.data(), 1, sig.size(), out);
        return CARD_FILE_BAD_SIGNATURE;
    }
    if (in.read_failed) {
        return CARD_FILE_OPEN_FAILED;
    }
    std::fprintf(out, "\n\n%s card file, total cards: %i\n", variant == VARIANT_RRG ? "RRG" : "MGC",
                 count);
    if (count > 0) {
        std::vector<std::int32_t> card_offsets(static_cast<std::size_t>(count));
        for (std::int16_t i = 0; i < count; ++i) {
            read_index_entry(in, encoding, card_offsets, i, out);
            read_card_body(in, encoding, variant, card_offsets[static_cast<std::size_t>(i)], out);
            // Nothing more can be read, or nothing more can be written: stop here.
            if (in.read_failed || std::ferror(out)) {
                break;
            }
        }
    }
    return in.read_failed ? CARD_FILE_OPEN_FAILED : CARD_FILE_OK;
}

card_file_result list_card_file(const char* path, int encoding, std::FILE* out) {
    const file_ptr file(std::fopen(path, "rb"));
    if (!file) {
        return CARD_FILE_OPEN_FAILED;
    }
    return list_card_stream(file.get(), encoding, out);
}

card_file_result list_card_file(const char* path, int encoding) {
    return list_card_file(path, encoding, stdout);
}
