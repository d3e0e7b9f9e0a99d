// The two checksums of the zlib and PNG formats, and of zip archives:
// CRC-32 (the polynomial 0xEDB88320, reflected, as PNG chunks and zip
// entries use it) and Adler-32 (RFC 1950, the end of a zlib stream).
#pragma once

#include <cstdint>
#include <string_view>

// The CRC-32 of `bytes` continued from `crc`, the CRC of the bytes before
// them (0 for none).
[[nodiscard]] std::uint32_t crc32_update(std::uint32_t crc, std::string_view bytes);

// The Adler-32 of `bytes` continued from `adler`, that of the bytes before
// them (1 for none).
[[nodiscard]] std::uint32_t adler32_update(std::uint32_t adler, std::string_view bytes);
