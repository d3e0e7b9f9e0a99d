// Fuzz target: lists any sequence of bytes as a card file, without
// conversion, from Windows-1251 and from Windows-932, through the same stream
// listing that crdview uses for a file on disk; then writes it as JSON and
// as CSV, and checks that both parse (JSON with nlohmann's parser, which also
// holds strings to UTF-8; CSV as RFC 4180 records of three fields) and hold
// the same number of cards; and writes it as an HTML page and as vCards,
// which draws every picture in it as a PNG file.
//
// The bytes are served by a read-only stream that behaves like a regular
// file: it may be positioned anywhere at or beyond its end, and a read there
// delivers nothing. (A plain fmemopen stream refuses to seek past its end,
// which would end the listing where a real file would go on.)
#ifndef _GNU_SOURCE
#define _GNU_SOURCE 1  // fopencookie
#endif

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <type_traits>

#include "decode/decode.h"
#include "text/utf8_text.h"
#include "walk/walk.h"
#include "writers/csv.h"
#include "writers/extract.h"
#include "writers/html.h"
#include "writers/json.h"
#include "writers/listing.h"
#include "writers/vcard.h"

namespace {

struct memory_file {
    const std::uint8_t* data;
    std::size_t size;
    off64_t position;
};

ssize_t memory_read(void* cookie, char* buffer, std::size_t size) {
    auto* file = static_cast<memory_file*>(cookie);
    const auto position = static_cast<std::size_t>(file->position);
    if (position >= file->size) {
        return 0;
    }
    const std::size_t count = size < file->size - position ? size : file->size - position;
    std::memcpy(buffer, file->data + position, count);
    file->position += static_cast<off64_t>(count);
    return static_cast<ssize_t>(count);
}

int memory_seek(void* cookie, off64_t* offset, int whence) {
    auto* file = static_cast<memory_file*>(cookie);
    off64_t base = 0;
    if (whence == SEEK_CUR) {
        base = file->position;
    } else if (whence == SEEK_END) {
        base = static_cast<off64_t>(file->size);
    } else if (whence != SEEK_SET) {
        return -1;
    }
    // Offsets in a card file are at most 32 bits, lengths 16: no overflow here.
    const off64_t target = base + *offset;
    if (target < 0) {
        return -1;
    }
    file->position = target;
    *offset = target;
    return 0;
}

int memory_close(void*) {
    return 0;
}

std::FILE* open_bytes(memory_file& file) {
    const cookie_io_functions_t functions{memory_read, nullptr, memory_seek, memory_close};
    return fopencookie(&file, "rb", functions);
}

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

std::FILE* discard_stream() {
    static std::FILE* sink = std::fopen("/dev/null", "w");
    return sink;
}

// Where the damage report goes.
std::FILE* problem_sink() {
    return discard_stream();
}

// What `writer` makes of the bytes, read as a card file with its texts in
// `encoding`; `result` says how the walk went.
template <typename Writer>
std::string written_by(Writer& writer, const std::uint8_t* data, std::size_t size, int encoding,
                       const char* path, card_file_result& result) {
    memory_file file{data, size, 0};
    std::FILE* in = open_bytes(file);
    char* bytes = nullptr;
    std::size_t length = 0;
    std::FILE* out = open_memstream(&bytes, &length);
    if (!in || !out) {
        __builtin_trap();
    }
    if constexpr (!std::is_same_v<Writer, extract_writer>) {
        writer.block.out = out;  // the extractor writes files of its own
    }
    walk_options options;
    options.encoding = encoding;
    options.err = problem_sink();
    result = list_card_stream(in, path, {&writer}, options).result;
    writer.finish();
    std::fclose(in);
    std::fclose(out);
    std::string output(bytes, length);
    std::free(bytes);
    return output;
}

// What the JSON and CSV writers make of the bytes, or a trap when either
// does not parse or they disagree on the number of cards.
void check_formats(const std::uint8_t* data, std::size_t size, int encoding) {
    json_writer json{nullptr};
    csv_writer csv{nullptr, false};
    card_file_result result = CARD_FILE_OK;
    const std::string document_text =
        written_by(json, data, size, encoding, "fuzz\xff.crd", result);
    if (result != CARD_FILE_OK) {
        return;
    }
    const std::string table = written_by(csv, data, size, encoding, "fuzz\xff.crd", result);
    const nlohmann::json document = nlohmann::json::parse(document_text, nullptr, false);
    const long records = csv_records(table);
    if (document.is_discarded() || records < 1 ||
        document["cards"].size() != static_cast<std::size_t>(records - 1)) {
        __builtin_trap();
    }
}

// Whether `text` is UTF-8 whose lines each end with CR LF and hold at most
// 75 octets: what a vCard stream is, whatever the card file.
bool vcard_lines(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string_view::npos || end - start > 75 ||
            text.substr(start, end - start).find_first_of("\r\n") != std::string_view::npos) {
            return false;
        }
        start = end + 2;
    }
    return valid_utf8(text) == text;
}

// The HTML page and the vCards (3.0 and 4.0) of the bytes, which make every
// picture in them a PNG file; a trap when the page is not closed or a vCard
// line breaks the folding rules.
void check_html_and_vcard(const std::uint8_t* data, std::size_t size, int encoding) {
    html_writer html{nullptr, true, "fuzz <dir>"};
    vcard_writer vcard3{nullptr, 3};
    vcard_writer vcard4{nullptr, 4};
    const std::string_view closing = "</body>\n</html>\n";
    card_file_result result = CARD_FILE_OK;
    const std::string page = written_by(html, data, size, encoding, "fuzz<&\">\xff.crd", result);
    if (result != CARD_FILE_OK) {
        return;
    }
    if (page.size() < closing.size() ||
        page.compare(page.size() - closing.size(), closing.size(), closing) != 0 ||
        !vcard_lines(written_by(vcard3, data, size, encoding, "fuzz.crd", result)) ||
        !vcard_lines(written_by(vcard4, data, size, encoding, "fuzz.crd", result))) {
        __builtin_trap();
    }
}

// Every picture and object of the bytes written out into a scratch directory
// (each input's files replacing the last one's).
void check_extract(const std::uint8_t* data, std::size_t size) {
    static char dir[] = "/tmp/crdview-fuzz-XXXXXX";
    static const bool made = [] {
        if (!mkdtemp(dir)) {
            return false;
        }
        std::atexit([] { std::filesystem::remove_all(dir); });
        return true;
    }();
    if (!made) {
        return;
    }
    extract_writer extract{dir};
    extract.overwrite = true;
    extract.err = problem_sink();
    card_file_result result = CARD_FILE_OK;
    written_by(extract, data, size, ENCODING_NONE, "fuzz.crd", result);
    if (extract.files_failed > 0) {
        __builtin_trap();  // nothing the card file holds may stop the writing of its pictures
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* out = discard_stream();
    if (!out) {
        return 0;
    }
    for (const int encoding : {ENCODING_NONE, ENCODING_WINDOWS_1251, ENCODING_WINDOWS_932}) {
        memory_file file{data, size, 0};
        std::FILE* in = open_bytes(file);
        if (!in) {
            return 0;
        }
        listing_writer listing{out};
        walk_options options;
        options.encoding = encoding;
        options.err = problem_sink();
        const card_file_result result =
            list_card_stream(in, "fuzz.crd", {&listing}, options).result;
        std::fclose(in);
        // Reading from memory never fails, so the outcome follows from the
        // signature alone.
        const bool card_file =
            size >= 3 && (std::memcmp(data, "RRG", 3) == 0 || std::memcmp(data, "MGC", 3) == 0);
        if (result != (card_file ? CARD_FILE_OK : CARD_FILE_BAD_SIGNATURE)) {
            __builtin_trap();
        }
    }
    check_formats(data, size, ENCODING_WINDOWS_1252);
    check_formats(data, size, ENCODING_WINDOWS_936);
    check_html_and_vcard(data, size, ENCODING_NONE);
    check_html_and_vcard(data, size, ENCODING_WINDOWS_932);
    check_extract(data, size);
    return 0;
}
