#include "extract.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#ifdef _WIN32
#include <io.h>
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

void put_u16(unsigned char* p, std::uint32_t value) {
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
}

void put_u32(unsigned char* p, std::uint32_t value) {
    put_u16(p, value);
    put_u16(p + 2, value >> 16);
}

std::uint32_t get_u32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::array<unsigned char, BMP_FILE_HEADER_SIZE> bmp_file_header(std::uint32_t file_size,
                                                                std::uint32_t rows_at) {
    std::array<unsigned char, BMP_FILE_HEADER_SIZE> header{'B', 'M'};
    put_u32(header.data() + 2, file_size);
    put_u32(header.data() + 10, rows_at);
    return header;
}

// A file created new for writing: never one that exists already.
struct new_file {
    std::FILE* file = nullptr;
    ~new_file() {
        if (file) {
            std::fclose(file);
        }
    }
};

bool create_new(const std::string& path, new_file& out, std::string& error) {
#ifdef _WIN32
    const int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, 0644);
#else
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
#endif
    if (fd < 0) {
        error = path + ": " + std::strerror(errno) +
                (errno == EEXIST ? " (crdview writes no file over another)" : "");
        return false;
    }
    out.file = fdopen(fd, "wb");
    if (!out.file) {
        error = path + ": " + std::strerror(errno);
#ifdef _WIN32
        _close(fd);
#else
        close(fd);
#endif
        return false;
    }
    return true;
}

// Writes one file: `head`, then the bytes of `span` copied block by block,
// then `tail` zero bytes.
bool write_file(card_stream& in, extract_state& state, const std::string& name,
                std::string_view head, file_span span) {
    const std::string path = state.dir + "/" + name;
    new_file out;
    if (!create_new(path, out, state.error)) {
        state.failed = true;
        return false;
    }
    bool written = std::fwrite(head.data(), 1, head.size(), out.file) == head.size();
    while (written && span.size > 0) {
        std::size_t size = 0;
        const unsigned char* block = read_span_block(in, span, size);
        if (!block) {
            state.error = path + ": the card file could not be read";
            state.failed = true;
            return false;
        }
        written = std::fwrite(block, 1, size, out.file) == size;
    }
    if (!written || std::fflush(out.file) != 0) {
        state.error = path + ": " + std::strerror(errno);
        state.failed = true;
        return false;
    }
    ++state.files_written;
    state.card_files.push_back(name);
    return true;
}

std::string card_name(int number, std::string_view rest) {
    return "card-" + std::to_string(number) + std::string(rest);
}

// An "MGC" picture as a 1-bit BMP file: its rows bottom row first, each
// padded to a multiple of 4 bytes; black then white in the colour table, so
// that its bits keep their meaning.
bool write_graphic(card_stream& in, extract_state& state, const card_record& card) {
    const graphic_info& graphic = card.body.graphic;
    const std::uint32_t row_size = (graphic.width + 15u) / 16u * 2u;
    if (graphic.width == 0 || graphic.height == 0 || graphic.length != row_size * graphic.height) {
        return true;  // not a consistent picture
    }
    // The bits are at most 65535 bytes: one block of the data window.
    file_span span{graphic.bits_at, graphic.length};
    std::size_t size = 0;
    const unsigned char* bits = read_span_block(in, span, size);
    if (!bits || size != graphic.length) {
        return true;  // the file does not hold the whole picture
    }
    const std::uint32_t stride = (graphic.width + 31u) / 32u * 4u;
    const std::uint32_t rows_at = BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER_SIZE + 8;
    const std::uint32_t rows_size = stride * graphic.height;
    std::string bmp(rows_at + rows_size, '\0');
    auto* p = reinterpret_cast<unsigned char*>(bmp.data());
    const auto file_header = bmp_file_header(rows_at + rows_size, rows_at);
    std::memcpy(p, file_header.data(), file_header.size());
    unsigned char* info = p + BMP_FILE_HEADER_SIZE;
    put_u32(info, BMP_INFO_HEADER_SIZE);
    put_u32(info + 4, graphic.width);
    put_u32(info + 8, graphic.height);
    put_u16(info + 12, 1);  // planes
    put_u16(info + 14, 1);  // bits per pixel
    put_u32(info + 20, rows_size);
    put_u32(info + 24, PIXELS_PER_METRE);
    put_u32(info + 28, PIXELS_PER_METRE);
    put_u32(info + 32, 2);  // colours used
    unsigned char* white = info + BMP_INFO_HEADER_SIZE + 4;
    std::memset(white, 0xFF, 3);
    for (std::uint32_t row = 0; row < graphic.height; ++row) {
        std::memcpy(p + rows_at + (graphic.height - 1 - row) * stride, bits + row * row_size,
                    row_size);
    }
    return write_file(in, state, card_name(card.number, ".bmp"), bmp, {});
}

// The size of a stored DIB's info header and colour table, from its first
// bytes; 0 when they are not those of a DIB.
std::uint32_t dib_rows_offset(const unsigned char* dib, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const std::uint32_t header = get_u32(dib);
    if (header == BMP_CORE_HEADER_SIZE && size >= BMP_CORE_HEADER_SIZE) {
        const unsigned bits = dib[10] | dib[11] << 8;
        return header + (bits <= 8 ? 3u << bits : 0);
    }
    if (header < BMP_INFO_HEADER_SIZE || size < BMP_INFO_HEADER_SIZE) {
        return 0;
    }
    const unsigned bits = dib[14] | dib[15] << 8;
    const std::uint32_t compression = get_u32(dib + 16);
    const std::uint64_t used = get_u32(dib + 32);
    std::uint64_t table = 4 * (used != 0 ? used : bits <= 8 ? 1u << bits : 0);
    if (compression == BMP_BITFIELDS && header == BMP_INFO_HEADER_SIZE) {
        table += 12;
    }
    const std::uint64_t offset = header + table;
    return offset <= size ? static_cast<std::uint32_t>(offset) : 0;
}

// A presentation or static picture: a DIB as a BMP file (the file header
// put in front of it), a metafile as stored; other formats are left out.
bool write_picture(card_stream& in, extract_state& state, const card_record& card,
                   const object_picture& picture, bool preview) {
    const std::string_view stem = preview ? ".preview" : "";
    if (picture.format == "METAFILEPICT") {
        return write_file(in, state, card_name(card.number, std::string(stem) + ".wmf"), {},
                          picture.data);
    }
    if (picture.format != "DIB") {
        return true;
    }
    file_span first = picture.data;
    first.size = std::min<std::uint32_t>(first.size, 64);
    std::size_t size = 0;
    const unsigned char* head = read_span_block(in, first, size);
    const std::uint32_t rows = head ? dib_rows_offset(head, picture.data.size) : 0;
    if (rows == 0 || picture.data.size > 0xFFFFFFFFu - BMP_FILE_HEADER_SIZE) {
        return true;  // not a DIB
    }
    const auto header =
        bmp_file_header(static_cast<std::uint32_t>(BMP_FILE_HEADER_SIZE + picture.data.size),
                        static_cast<std::uint32_t>(BMP_FILE_HEADER_SIZE + rows));
    return write_file(in, state, card_name(card.number, std::string(stem) + ".bmp"),
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

bool write_object(card_stream& in, extract_state& state, const card_record& card) {
    const object_info& object = *card.body.object;
    bool native_written = false;
    if (object.has_native && object.native.size > 0) {
        bool bmp = false;
        if (object.class_name == "PBrush") {
            file_span first{object.native.offset, 2};
            std::size_t size = 0;
            const unsigned char* magic = read_span_block(in, first, size);
            bmp = magic && size == 2 && magic[0] == 'B' && magic[1] == 'M';
        }
        const std::string name =
            card_name(card.number, bmp ? ".bmp" : class_stem(object.class_name) + ".bin");
        if (!write_file(in, state, name, {}, object.native)) {
            return false;
        }
        native_written = true;
    }
    if (object.has_picture) {
        return write_picture(in, state, card, object.picture, native_written);
    }
    return true;
}

}  // namespace

bool extract_card(card_stream& in, extract_state& state, const card_record& card) {
    state.card_files.clear();
    if (state.failed) {
        return false;
    }
    if (card.body.has_graphic) {
        return write_graphic(in, state, card);
    }
    if (card.body.object && card.body.object->parsed) {
        return write_object(in, state, card);
    }
    return true;
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
