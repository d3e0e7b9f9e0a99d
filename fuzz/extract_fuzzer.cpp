// Fuzz target: extraction, into memory instead of the disk. Every picture
// and object of any sequence of bytes read as a card file is written out
// through the extractor's opener, here a stream that counts the bytes and
// keeps none. A trap when the extraction fails, or when a name it makes is
// one a file system would refuse: not one path component, or longer than
// 255 bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "decode/decode.h"
#include "fuzz_input.h"

namespace {

constexpr std::string_view DIR = "fuzz-dir";
constexpr std::size_t NAME_MAX_BYTES = 255;

ssize_t count_write(void* cookie, const char*, std::size_t size) {
    *static_cast<std::size_t*>(cookie) += size;
    return static_cast<ssize_t>(size);
}

int count_close(void*) {
    return 0;
}

std::size_t bytes_written = 0;

// Every file opens: a stream that counts what is written to it.
open_outcome open_in_memory(const std::string& path, bool, owned_stream& out, std::string&,
                            const char*&) {
    const std::string_view name = std::string_view(path).substr(DIR.size() + 1);
    if (path.compare(0, DIR.size() + 1, std::string(DIR) + "/") != 0 || name.empty() ||
        name.size() > NAME_MAX_BYTES || name.find('/') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos || name == "." || name == "..") {
        __builtin_trap();  // a name the file system would refuse, or one outside the folder
    }
    const cookie_io_functions_t functions{nullptr, count_write, nullptr, count_close};
    out.reset(fopencookie(&bytes_written, "wb", functions));
    return out ? FILE_OPENED : FILE_FAILED;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const bool several : {false, true}) {
        extract_writer extract{std::string(DIR)};
        extract.several = several;
        extract.err = fuzz::discard_stream();
        extract.open = open_in_memory;
        card_file_result result = CARD_FILE_OK;
        fuzz::written_by(extract, data, size, ENCODING_NONE, "fuzz.crd", result);
        if (extract.files_failed > 0) {
            __builtin_trap();  // every name the card file gives must be one a file system takes
        }
    }
    return 0;
}
