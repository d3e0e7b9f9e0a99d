// Fuzz target: the reader and the listing. Lists any sequence of bytes as a
// card file, without conversion, from Windows-1251 and from Windows-932,
// through the same stream listing that crdview uses for a file on disk; a
// trap when the outcome is not the one the signature alone gives (reading
// from memory never fails).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "decode/decode.h"
#include "fuzz_input.h"
#include "writers/listing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* out = fuzz::discard_stream();
    if (!out) {
        return 0;
    }
    const bool card_file =
        size >= 3 && (std::memcmp(data, "RRG", 3) == 0 || std::memcmp(data, "MGC", 3) == 0);
    for (const int encoding : {ENCODING_NONE, ENCODING_WINDOWS_1251, ENCODING_WINDOWS_932}) {
        fuzz::memory_file file{data, size, 0};
        std::FILE* in = fuzz::open_bytes(file);
        if (!in) {
            return 0;
        }
        listing_writer listing{out};
        walk_options options;
        options.encoding = encoding;
        options.err = fuzz::discard_stream();
        const card_file_result result =
            list_card_stream(in, "fuzz.crd", {&listing}, options).result;
        std::fclose(in);
        if (result != (card_file ? CARD_FILE_OK : CARD_FILE_BAD_SIGNATURE)) {
            __builtin_trap();
        }
    }
    return 0;
}
