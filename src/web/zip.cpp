#include "zip.h"

#include "image/checksum.h"

namespace {

// Signatures and fields of the records.
constexpr std::uint32_t LOCAL_HEADER = 0x04034B50;
constexpr std::uint32_t CENTRAL_HEADER = 0x02014B50;
constexpr std::uint32_t DIRECTORY_END = 0x06054B50;
constexpr std::uint16_t VERSION_NEEDED = 10;  // 1.0: stored files
constexpr std::uint16_t FLAG_UTF8_NAME = 1 << 11;
constexpr std::uint16_t METHOD_STORED = 0;
constexpr std::uint16_t DOS_TIME = 0;                        // 00:00:00
constexpr std::uint16_t DOS_DATE = (0 << 9) | (1 << 5) | 1;  // 1980-01-01
constexpr std::size_t LOCAL_HEADER_SIZE = 30;
constexpr std::size_t CENTRAL_HEADER_SIZE = 46;
constexpr std::size_t DIRECTORY_END_SIZE = 22;

// Little-endian fields, as every zip record has them.
void put_u16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8 & 0xFF);
}

void put_u32(std::string& out, std::uint32_t value) {
    put_u16(out, value & 0xFFFF);
    put_u16(out, value >> 16);
}

// The fields that the local and the central header share, from the version
// needed to the extra field's length.
void put_common(std::string& out, std::uint32_t crc, std::size_t size, std::size_t name_size) {
    put_u16(out, VERSION_NEEDED);
    put_u16(out, FLAG_UTF8_NAME);
    put_u16(out, METHOD_STORED);
    put_u16(out, DOS_TIME);
    put_u16(out, DOS_DATE);
    put_u32(out, crc);
    put_u32(out, static_cast<std::uint32_t>(size));  // compressed
    put_u32(out, static_cast<std::uint32_t>(size));  // and not
    put_u16(out, static_cast<std::uint32_t>(name_size));
    put_u16(out, 0);  // no extra field
}

}  // namespace

bool add_zip_entry(zip_writer& zip, std::string_view name, std::string_view bytes) {
    const std::uint64_t offset = zip.archive.size();
    const std::uint64_t after = offset + LOCAL_HEADER_SIZE + name.size() + bytes.size();
    const std::uint64_t directory_after =
        zip.directory.size() + CENTRAL_HEADER_SIZE + name.size() + DIRECTORY_END_SIZE;
    if (zip.too_large || zip.entries >= ZIP_MAX_ENTRIES || name.size() > 0xFFFF ||
        after + directory_after > ZIP_MAX_SIZE) {
        zip.too_large = true;
        return false;
    }
    const std::uint32_t crc = crc32_update(0, bytes);
    put_u32(zip.archive, LOCAL_HEADER);
    put_common(zip.archive, crc, bytes.size(), name.size());
    zip.archive += name;
    zip.archive += bytes;

    put_u32(zip.directory, CENTRAL_HEADER);
    put_u16(zip.directory, VERSION_NEEDED);  // made by: MS-DOS, 1.0
    put_common(zip.directory, crc, bytes.size(), name.size());
    put_u16(zip.directory, 0);  // no comment
    put_u16(zip.directory, 0);  // disk 0
    put_u16(zip.directory, 0);  // internal attributes
    put_u32(zip.directory, 0);  // external attributes
    put_u32(zip.directory, static_cast<std::uint32_t>(offset));
    zip.directory += name;
    ++zip.entries;
    return true;
}

std::string finish_zip(zip_writer& zip) {
    if (zip.too_large) {
        return {};
    }
    const auto directory_offset = static_cast<std::uint32_t>(zip.archive.size());
    std::string archive = std::move(zip.archive);
    archive += zip.directory;
    put_u32(archive, DIRECTORY_END);
    put_u16(archive, 0);  // this disk
    put_u16(archive, 0);  // the directory's disk
    put_u16(archive, static_cast<std::uint32_t>(zip.entries));
    put_u16(archive, static_cast<std::uint32_t>(zip.entries));
    put_u32(archive, static_cast<std::uint32_t>(zip.directory.size()));
    put_u32(archive, directory_offset);
    put_u16(archive, 0);  // no comment
    zip = zip_writer{};
    return archive;
}
