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
#include "image/card_picture.h"
#include "sys/files.h"
#include "text/caret.h"

namespace {

// Which files of a card's body were written.
constexpr unsigned EXTRACTED_MAIN = 1;     // the picture, the object's data or its picture
constexpr unsigned EXTRACTED_PREVIEW = 2;  // the picture of an object that has data

// At most this many letters and digits of an object's class go into a name,
// and of a card file's name into the names of its files.
constexpr std::size_t CLASS_STEM_KEPT = 32;
constexpr std::size_t PREFIX_KEPT = 64;

// Writes one file: `head`, then the bytes of `span` copied block by block;
// true when it was written whole. An existing file is left as it is; a file
// that cannot be created, or not written whole, is removed again. Either is
// named on standard error, and the walk goes on.
bool write_file(card_context& context, extract_writer& state, const std::string& name,
                std::string_view head, file_span span) {
    const std::string path =
        state.dir + (state.dir.empty() || state.dir.back() == '/' ? "" : "/") + state.prefix + name;
    owned_stream out;
    const char* why = nullptr;
    std::string error;
    switch (state.open(path, state.overwrite, out, error, why)) {
    case FILE_OPENED:
        break;
    case FILE_LEFT:
        std::fprintf(state.err, "crdview: %s: %s\n", shown_name(path).c_str(), why);
        ++state.files_skipped;
        return false;
    case FILE_FAILED:
        std::fprintf(state.err, "crdview: %s\n", shown_name(error).c_str());
        ++state.files_failed;
        return false;
    }
    // (An empty head is not written: fwrite wants a buffer even for no bytes.)
    bool written =
        head.empty() || std::fwrite(head.data(), 1, head.size(), out.get()) == head.size();
    why = nullptr;
    while (written && span.size > 0) {
        std::size_t size = 0;
        const unsigned char* block = read_data_block(context.data, span, size);
        if (!block) {
            why = "the card file could not be read";
            written = false;
            break;
        }
        written = std::fwrite(block, 1, size, out.get()) == size;
    }
    int error_number = written ? 0 : errno;
    // A file is written only once it is closed: the last of its bytes may fail there.
    if (std::fclose(out.release()) != 0 && written) {
        written = false;
        error_number = errno;
    }
    if (!written) {
        std::remove(path.c_str());
        std::fprintf(state.err, "crdview: %s: %s\n", shown_name(path).c_str(),
                     why ? why : std::strerror(error_number ? error_number : EIO));
        ++state.files_failed;
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

// The class name's ASCII letters and digits, at most CLASS_STEM_KEPT of them:
// "Word.Document.6" gives ".WordDocument6".
std::string class_stem(const std::string& class_name) {
    std::string stem;
    for (const char c : class_name) {
        if (stem.size() < CLASS_STEM_KEPT &&
            ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) {
            stem += c;
        }
    }
    return stem.empty() ? std::string() : "." + stem;
}

// What the names of a card's files end in, behind "card-N": the main file's
// (EXTRACTED_MAIN) and the preview's (EXTRACTED_PREVIEW).
std::string file_ending(const card_record& card, unsigned which) {
    if (card.body.has_graphic) {
        return ".bmp";
    }
    const object_info& object = card.body.object;
    const bool has_data = object.has_native && object.native.size > 0;
    if (which == EXTRACTED_MAIN && has_data) {
        return object.native_is_bmp ? ".bmp" : class_stem(object.class_name) + ".bin";
    }
    const std::string stem = which == EXTRACTED_PREVIEW ? ".preview" : "";
    return stem + (object.picture.kind == PICTURE_METAFILE ? ".wmf" : ".bmp");
}

// An "MGC" picture, as a 1-bit BMP file; EXTRACTED_MAIN when it was written.
unsigned write_graphic(card_context& context, extract_writer& state, const card_record& card) {
    const graphic_info& graphic = card.body.graphic;
    if (!graphic.consistent) {
        return 0;  // not a picture to draw
    }
    // The bits are at most 65535 bytes: one block of the data window.
    file_span span = graphic.bits;
    std::size_t size = 0;
    const unsigned char* bits = read_data_block(context.data, span, size);
    if (!bits || size != graphic.length) {
        return 0;  // the file does not hold the whole picture
    }
    const std::string bmp = mgc_picture_bmp(graphic.width, graphic.height, graphic.row_size, bits);
    const std::string name = card_name(card.number, file_ending(card, EXTRACTED_MAIN));
    return write_file(context, state, name, bmp, {}) ? EXTRACTED_MAIN : 0;
}

// A device-dependent bitmap whose colours are known, as a BMP file; others
// are left out. True when written.
bool write_device_bitmap(card_context& context, extract_writer& state,
                         const object_picture& picture, const std::string& name) {
    const auto bitmap = read_device_bitmap(context.data, picture.data, state.picture_bytes);
    if (!bitmap) {
        return false;
    }
    const std::string bmp = device_bitmap_bmp(*bitmap, state.picture_bytes);
    state.picture_bytes.clear();
    state.picture_bytes.shrink_to_fit();
    return write_file(context, state, name, bmp, {});
}

// A presentation or static picture: a DIB as a BMP file (the file header
// put in front of it), a device-dependent bitmap made a BMP file, a metafile
// as stored; other formats are left out.
// A preview that is byte for byte the object's own picture (a Paintbrush
// picture with its DIB presentation) is not written again. True when written.
bool write_picture(card_context& context, extract_writer& state, const card_record& card,
                   const object_picture& picture, unsigned which) {
    const std::string name = card_name(card.number, file_ending(card, which));
    if (picture.kind == PICTURE_METAFILE) {
        return write_file(context, state, name, {}, picture.data);
    }
    if (picture.kind == PICTURE_BITMAP) {
        return write_device_bitmap(context, state, picture, name);
    }
    if (picture.kind != PICTURE_DIB) {
        return false;
    }
    file_span first = picture.data;
    first.size = std::min<std::uint32_t>(first.size, 64);
    std::size_t size = 0;
    const unsigned char* head = read_data_block(context.data, first, size);
    const std::uint32_t rows = head ? dib_rows_offset(head, picture.data.size) : 0;
    if (rows == 0 || picture.data.size > 0xFFFFFFFFu - BMP_FILE_HEADER_SIZE) {
        return false;  // not a DIB
    }
    const auto header =
        bmp_file_header(static_cast<std::uint32_t>(BMP_FILE_HEADER_SIZE + picture.data.size),
                        static_cast<std::uint32_t>(BMP_FILE_HEADER_SIZE + rows));
    const std::string_view header_bytes{reinterpret_cast<const char*>(header.data()),
                                        header.size()};
    const object_info& object = card.body.object;
    if (which == EXTRACTED_PREVIEW && object.native_is_bmp &&
        same_bytes(context.data, object.native, header_bytes, picture.data)) {
        return false;
    }
    return write_file(context, state, name, header_bytes, picture.data);
}

// An object's data and picture; which of them were written.
unsigned write_object(card_context& context, extract_writer& state, const card_record& card) {
    const object_info& object = card.body.object;
    unsigned written = 0;
    const bool has_data = object.has_native && object.native.size > 0;
    if (has_data) {
        const std::string name = card_name(card.number, file_ending(card, EXTRACTED_MAIN));
        written |= write_file(context, state, name, {}, object.native) ? EXTRACTED_MAIN : 0;
    }
    const unsigned which = has_data ? EXTRACTED_PREVIEW : EXTRACTED_MAIN;
    if (object.has_picture && write_picture(context, state, card, object.picture, which)) {
        written |= which;
    }
    return written;
}

// A card that shares its body with an earlier card: the earlier card's files.
void name_earlier_files(const extract_writer& state, const card_record& card,
                        const extract_writer::body_files& earlier, card_context& context) {
    for (const unsigned which : {EXTRACTED_MAIN, EXTRACTED_PREVIEW}) {
        if ((earlier.written & which) != 0) {
            context.files.push_back(state.prefix +
                                    card_name(earlier.number, file_ending(card, which)));
        }
    }
}

// The start of the names of a card file's files: its name without its
// directory and extension, in ASCII letters, digits, '-' and '_', not
// beginning with '-', at most PREFIX_KEPT of them; "stdin" for standard input.
std::string file_prefix(std::string_view path) {
    if (path == "-") {
        return "stdin";
    }
    const std::size_t slash = path.find_last_of("/\\");
    if (slash != std::string_view::npos) {
        path.remove_prefix(slash + 1);
    }
    path = path.substr(0, path.rfind('.'));
    std::string prefix;
    for (const char c : path) {
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '_' || (c == '-' && !prefix.empty());
        if (kept && prefix.size() < PREFIX_KEPT) {
            prefix += c;
        }
    }
    return prefix.empty() ? std::string("file") : prefix;
}

}  // namespace

void extract_writer::begin(const file_start& file) {
    bodies.clear();
    if (!several || file.result != CARD_FILE_OK) {
        return;
    }
    // A name that an earlier file of the run took gets the first number
    // that makes it new: x, x-2, x-3...
    const std::string name = file_prefix(file.path);
    std::string unique = name;
    for (int number = 2; prefixes.count(unique) != 0; ++number) {
        unique = name + "-" + std::to_string(number);
    }
    prefixes.insert(unique);
    prefix = unique + "-";
}

bool extract_writer::card(const card_record& card, card_context& context) {
    const bool graphic = card.body.has_graphic;
    if (!graphic && !(card.body.has_object && card.body.object.parsed)) {
        return true;
    }
    const auto [earlier, first] = bodies.try_emplace(card.body_offset, body_files{card.number, 0});
    if (!first) {
        name_earlier_files(*this, card, earlier->second, context);
        return true;
    }
    earlier->second.written =
        graphic ? write_graphic(context, *this, card) : write_object(context, *this, card);
    return true;
}
