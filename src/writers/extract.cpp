#include "extract.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "cardfile/fixed.h"
#include "cardfile/format.h"
#include "image/bmp.h"
#include "sys/files.h"
#include "text/caret.h"

namespace {

// Writes one file: `head`, then the bytes of `span` copied block by block.
// An existing file is left as it is (and named): the walk goes on.
bool write_file(card_context& context, extract_writer& state, const std::string& name,
                std::string_view head, file_span span) {
    const std::string path =
        state.dir + (state.dir.empty() || state.dir.back() == '/' ? "" : "/") + state.prefix + name;
    owned_stream out;
    const char* why = nullptr;
    switch (open_new_file(path, state.overwrite, out, state.error, why)) {
    case FILE_OPENED:
        break;
    case FILE_LEFT:
        std::fprintf(state.err, "crdview: %s: %s\n", shown_name(path).c_str(), why);
        ++state.files_skipped;
        return true;
    case FILE_FAILED:
        state.failed = true;
        return false;
    }
    bool written = std::fwrite(head.data(), 1, head.size(), out.get()) == head.size();
    while (written && span.size > 0) {
        std::size_t size = 0;
        const unsigned char* block = read_data_block(context.data, span, size);
        if (!block) {
            state.error = path + ": the card file could not be read";
            state.failed = true;
            return false;
        }
        written = std::fwrite(block, 1, size, out.get()) == size;
    }
    // A file is written only once it is closed: the last of its bytes may fail there.
    if (!written || std::fclose(out.release()) != 0) {
        state.error = path + ": " + std::strerror(errno);
        state.failed = true;
        return false;
    }
    ++state.files_written;
    context.files.push_back(state.prefix + name);
    return true;
}

// The bytes of a span of the card file, a block at a time, kept apart from
// the reader's window so that two spans can be compared.
struct span_bytes {
    card_stream& in;
    file_span span;
    std::vector<unsigned char> block{};
    std::size_t at = 0;

    // Makes sure some bytes are at `at`; false at the end or when the file
    // does not hold them.
    bool fill() {
        if (at < block.size()) {
            return true;
        }
        std::size_t size = 0;
        const unsigned char* data = span.size > 0 ? read_data_block(in, span, size) : nullptr;
        if (!data || size == 0) {
            return false;
        }
        block.assign(data, data + size);
        at = 0;
        return true;
    }
};

// Whether the bytes of `file` are `head` followed by the bytes of `rest`.
bool same_bytes(card_stream& in, file_span file, std::string_view head, file_span rest) {
    if (file.size != head.size() + std::uint64_t{rest.size}) {
        return false;
    }
    span_bytes left{in, file};
    span_bytes right{in, rest};
    std::size_t matched = 0;
    while (matched < head.size()) {
        if (!left.fill()) {
            return false;
        }
        const std::size_t size = std::min(head.size() - matched, left.block.size() - left.at);
        if (std::memcmp(left.block.data() + left.at, head.data() + matched, size) != 0) {
            return false;
        }
        left.at += size;
        matched += size;
    }
    while (left.fill()) {
        if (!right.fill()) {
            return false;
        }
        const std::size_t size =
            std::min(left.block.size() - left.at, right.block.size() - right.at);
        if (std::memcmp(left.block.data() + left.at, right.block.data() + right.at, size) != 0) {
            return false;
        }
        left.at += size;
        right.at += size;
    }
    return !right.fill();
}

std::string card_name(int number, std::string_view rest) {
    return "card-" + std::to_string(number) + std::string(rest);
}

// An "MGC" picture, as a 1-bit BMP file.
bool write_graphic(card_context& context, extract_writer& state, const card_record& card) {
    const graphic_info& graphic = card.body.graphic;
    if (!graphic.consistent) {
        return true;  // not a picture to draw
    }
    // The bits are at most 65535 bytes: one block of the data window.
    file_span span = graphic.bits;
    std::size_t size = 0;
    const unsigned char* bits = read_data_block(context.data, span, size);
    if (!bits || size != graphic.length) {
        return true;  // the file does not hold the whole picture
    }
    const std::string bmp = mgc_picture_bmp(graphic.width, graphic.height, graphic.row_size, bits);
    return write_file(context, state, card_name(card.number, ".bmp"), bmp, {});
}

// A presentation or static picture: a DIB as a BMP file (the file header
// put in front of it), a metafile as stored; other formats are left out.
// A preview that is byte for byte the object's own picture (a Paintbrush
// picture with its DIB presentation) is not written again.
bool write_picture(card_context& context, extract_writer& state, const card_record& card,
                   const object_picture& picture, bool preview) {
    const std::string_view stem = preview ? ".preview" : "";
    if (picture.kind == PICTURE_METAFILE) {
        return write_file(context, state, card_name(card.number, std::string(stem) + ".wmf"), {},
                          picture.data);
    }
    if (picture.kind != PICTURE_DIB) {
        return true;
    }
    file_span first = picture.data;
    first.size = std::min<std::uint32_t>(first.size, 64);
    std::size_t size = 0;
    const unsigned char* head = read_data_block(context.data, first, size);
    const std::uint32_t rows = head ? dib_rows_offset(head, picture.data.size) : 0;
    if (rows == 0 || picture.data.size > 0xFFFFFFFFu - BMP_FILE_HEADER_SIZE) {
        return true;  // not a DIB
    }
    const auto header =
        bmp_file_header(static_cast<std::uint32_t>(BMP_FILE_HEADER_SIZE + picture.data.size),
                        static_cast<std::uint32_t>(BMP_FILE_HEADER_SIZE + rows));
    const object_info& object = card.body.object;
    if (preview && object.native_is_bmp &&
        same_bytes(context.data, object.native,
                   {reinterpret_cast<const char*>(header.data()), header.size()}, picture.data)) {
        return true;
    }
    return write_file(context, state, card_name(card.number, std::string(stem) + ".bmp"),
                      {reinterpret_cast<const char*>(header.data()), header.size()}, picture.data);
}

// The class name's ASCII letters and digits: "Word.Document.6" gives "WordDocument6".
std::string class_stem(const std::string& class_name) {
    std::string stem;
    for (const char c : class_name) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            stem += c;
        }
    }
    return stem.empty() ? std::string() : "." + stem;
}

bool write_object(card_context& context, extract_writer& state, const card_record& card) {
    const object_info& object = card.body.object;
    bool native_written = false;
    if (object.has_native && object.native.size > 0) {
        const std::string name = card_name(
            card.number, object.native_is_bmp ? ".bmp" : class_stem(object.class_name) + ".bin");
        if (!write_file(context, state, name, {}, object.native)) {
            return false;
        }
        native_written = true;
    }
    if (object.has_picture) {
        return write_picture(context, state, card, object.picture, native_written);
    }
    return true;
}

}  // namespace

void extract_writer::begin(const file_start& file) {
    if (!several) {
        return;
    }
    // The file's name without its directory and extension, in ASCII letters,
    // digits, '-' and '_'.
    std::string_view name = file.path;
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    name = name.substr(0, name.rfind('.'));
    prefix.clear();
    for (const char c : name) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_') {
            prefix += c;
        }
    }
    if (std::string_view(file.path) == "-") {
        prefix = "stdin";
    }
    prefix = (prefix.empty() ? std::string("file") : prefix) + "-";
}

bool extract_writer::card(const card_record& card, card_context& context) {
    if (failed) {
        return false;
    }
    if (card.body.has_graphic) {
        return write_graphic(context, *this, card);
    }
    if (card.body.has_object && card.body.object.parsed) {
        return write_object(context, *this, card);
    }
    return true;
}
