#include "extract.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "cardfile/fixed.h"
#include "cardfile/format.h"
#include "sys/input.h"

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// BMP layout: a 14-byte file header ("BM", the file's size, 0, where the
// pixel rows start), a 40-byte info header, the colour table, the rows.
constexpr std::size_t BMP_FILE_HEADER_SIZE = 14;
constexpr std::size_t BMP_INFO_HEADER_SIZE = 40;
constexpr std::size_t BMP_CORE_HEADER_SIZE = 12;  // the older, smaller info header
constexpr std::uint32_t BMP_BITFIELDS = 3;
constexpr std::int32_t PIXELS_PER_METRE = 2835;  // 72 dpi

std::array<unsigned char, BMP_FILE_HEADER_SIZE> bmp_file_header(std::uint32_t file_size,
                                                                std::uint32_t rows_at) {
    std::array<unsigned char, BMP_FILE_HEADER_SIZE> header{'B', 'M'};
    encode_u32(header.data() + 2, file_size);
    encode_u32(header.data() + 10, rows_at);
    return header;
}

void close_descriptor(int fd) {
#ifdef _WIN32
    _close(fd);
#else
    close(fd);
#endif
}

// Why a file that exists is left as it is; nullptr when `overwrite` lets it
// be replaced (a regular file, not a symbolic link).
const char* left_as_it_is(const std::string& path, bool overwrite) {
    if (!overwrite) {
        return "exists, left as it is";
    }
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return "not a regular file, left as it is";
    }
#else
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return S_ISLNK(info.st_mode) ? "a symbolic link, left as it is"
                                     : "not a regular file, left as it is";
    }
#endif
    return nullptr;
}

// Opens an existing regular file at `path` to replace what it holds; -1
// (errno set) when it is no longer one.
int open_to_replace(const std::string& path) {
#ifdef _WIN32
    return _open(path.c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY);
#else
    // Never through a symbolic link, never blocked by a FIFO put there meanwhile.
    const int fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ELOOP || errno == ENXIO) {
            errno = EEXIST;  // a symbolic link or a FIFO now
        }
        return -1;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        errno = EEXIST;
        return -1;
    }
    if (ftruncate(fd, 0) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
#endif
}

enum open_outcome { FILE_OPENED, FILE_LEFT, FILE_FAILED };

// Opens `path` for one picture or object: created new, or replaced when
// `overwrite` allows; FILE_LEFT (with `why`) when it exists and is left as it is.
open_outcome open_output(const std::string& path, bool overwrite, owned_stream& out,
                         std::string& error, const char*& why) {
#ifdef _WIN32
    int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, 0644);
#else
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
#endif
    if (fd < 0 && errno == EEXIST) {
        why = left_as_it_is(path, overwrite);
        if (why) {
            return FILE_LEFT;
        }
        fd = open_to_replace(path);
        if (fd < 0 && errno == EEXIST) {
            why = "not a regular file, left as it is";
            return FILE_LEFT;
        }
    }
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return FILE_FAILED;
    }
    out.reset(fdopen(fd, "wb"));
    if (!out) {
        error = path + ": " + std::strerror(errno);
        close_descriptor(fd);
        return FILE_FAILED;
    }
    return FILE_OPENED;
}

// Writes one file: `head`, then the bytes of `span` copied block by block.
// An existing file is left as it is (and named): the walk goes on.
bool write_file(card_context& context, extract_writer& state, const std::string& name,
                std::string_view head, file_span span) {
    const std::string path =
        state.dir + (state.dir.empty() || state.dir.back() == '/' ? "" : "/") + state.prefix + name;
    owned_stream out;
    const char* why = nullptr;
    switch (open_output(path, state.overwrite, out, state.error, why)) {
    case FILE_OPENED:
        break;
    case FILE_LEFT:
        std::fprintf(state.err, "crdview: %s: %s\n", path.c_str(), why);
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

// An "MGC" picture as a 1-bit BMP file: its rows bottom row first, each
// padded to a multiple of 4 bytes; black then white in the colour table, so
// that its bits keep their meaning.
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
    const std::uint32_t row_size = graphic.row_size;
    const std::uint32_t stride = (graphic.width + 31u) / 32u * 4u;
    const std::uint32_t rows_at = BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER_SIZE + 8;
    const std::uint32_t rows_size = stride * graphic.height;
    std::string bmp(rows_at + rows_size, '\0');
    auto* p = reinterpret_cast<unsigned char*>(bmp.data());
    const auto file_header = bmp_file_header(rows_at + rows_size, rows_at);
    std::memcpy(p, file_header.data(), file_header.size());
    unsigned char* info = p + BMP_FILE_HEADER_SIZE;
    encode_u32(info, BMP_INFO_HEADER_SIZE);
    encode_u32(info + 4, graphic.width);
    encode_u32(info + 8, graphic.height);
    encode_u16(info + 12, 1);  // planes
    encode_u16(info + 14, 1);  // bits per pixel
    encode_u32(info + 20, rows_size);
    encode_u32(info + 24, PIXELS_PER_METRE);
    encode_u32(info + 28, PIXELS_PER_METRE);
    encode_u32(info + 32, 2);  // colours used
    unsigned char* white = info + BMP_INFO_HEADER_SIZE + 4;
    std::memset(white, 0xFF, 3);
    for (std::uint32_t row = 0; row < graphic.height; ++row) {
        std::memcpy(p + rows_at + (graphic.height - 1 - row) * stride, bits + row * row_size,
                    row_size);
    }
    return write_file(context, state, card_name(card.number, ".bmp"), bmp, {});
}

// The size of a stored DIB's info header and colour table, from its first
// bytes; 0 when they are not those of a DIB.
std::uint32_t dib_rows_offset(const unsigned char* dib, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const std::uint32_t header = decode_u32(dib);
    if (header == BMP_CORE_HEADER_SIZE && size >= BMP_CORE_HEADER_SIZE) {
        const unsigned bits = decode_u16(dib + 10);
        return header + (bits <= 8 ? 3u << bits : 0);
    }
    if (header < BMP_INFO_HEADER_SIZE || size < BMP_INFO_HEADER_SIZE) {
        return 0;
    }
    const unsigned bits = decode_u16(dib + 14);
    const std::uint32_t compression = decode_u32(dib + 16);
    const std::uint64_t used = decode_u32(dib + 32);
    std::uint64_t table = 4 * (used != 0 ? used : bits <= 8 ? 1u << bits : 0);
    if (compression == BMP_BITFIELDS && header == BMP_INFO_HEADER_SIZE) {
        table += 12;
    }
    const std::uint64_t offset = header + table;
    return offset <= size ? static_cast<std::uint32_t>(offset) : 0;
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

bool make_writable_directory(const std::string& dir) {
    // Each parent in turn, then the directory itself; those that exist stay.
    for (std::size_t end = 1; end <= dir.size(); ++end) {
        if (end != dir.size() && dir[end] != '/' && dir[end] != '\\') {
            continue;
        }
        const std::string part = dir.substr(0, end);
        if (part.back() == ':') {
            continue;  // a drive ("C:")
        }
#ifdef _WIN32
        (void)_mkdir(part.c_str());
#else
        (void)mkdir(part.c_str(), 0777);
#endif
    }
    return writable_directory(dir);
}

bool writable_directory(const std::string& dir) {
#ifdef _WIN32
    struct _stat info;
    return _stat(dir.c_str(), &info) == 0 && (info.st_mode & _S_IFDIR) != 0 &&
           _access(dir.c_str(), 2) == 0;
#else
    struct stat info;
    return stat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           access(dir.c_str(), W_OK | X_OK) == 0;
#endif
}
