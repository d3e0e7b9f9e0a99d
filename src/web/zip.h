// Zip archives of files kept as they are (the "stored" method), written as
// the files come: a local header before each file's bytes, the central
// directory and its end record after the last. Names are UTF-8 (flag bit
// 11); every entry bears the same time, 1980-01-01 00:00, so that the same
// files make the same archive.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A zip archive holds at most this many entries, and this many bytes in all,
// without the 64-bit extension, which this writer does not write.
constexpr std::size_t ZIP_MAX_ENTRIES = 0xFFFF;
constexpr std::uint64_t ZIP_MAX_SIZE = 0xFFFFFFFF;

struct zip_writer {
    std::string archive{};    // the local headers and files so far
    std::string directory{};  // the central directory so far
    std::size_t entries = 0;
    bool too_large = false;  // an entry did not fit: the archive is not to be used
};

// Adds the file `name` holding `bytes`; false (and too_large) when the
// archive would hold too many entries or bytes.
[[nodiscard]] bool add_zip_entry(zip_writer& zip, std::string_view name, std::string_view bytes);

// The whole archive: what was added, its central directory and end record.
// Empty when an entry did not fit.
[[nodiscard]] std::string finish_zip(zip_writer& zip);
