// Writes, into the directory named by its argument, the card files of the
// bounded-memory tests and the exact listings crdview must print for them:
//   count_only.crd  9 bytes, an "RRG" header claiming 32767 cards
//   long_texts.crd  32767 "MGC" cards, each claiming a text of 65535 bytes:
//                   every entry points at one body near the end of the file
//                   that holds only a few of those bytes
//   sparse_dib.crd  one "RRG" card whose static DIB object states 0xFFFFFF00
//                   bytes and whose header says 2 x 2 pixels: a sparse
//                   file, 4 GiB long, of which a few hundred bytes are written
#include <cstdio>
#include <string>

#include "card_builder.h"
#include "cardfile/format.h"

namespace {

constexpr std::int16_t MOST_CARDS = 32767;

bool write_file(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

std::string heading(int number) {
    const int indent = number <= 9 ? 2 : number <= 99 ? 1 : 0;
    return "\n" + std::string(static_cast<std::size_t>(indent), ' ') + "Card " +
           std::to_string(number) + "\n--------";
}

// The sparse file: header, index, the object up to its DIB's header, colour
// table and rows, then a hole up to the end the DIB states, then the rest of
// the body.
bool write_sparse_dib(const std::string& path) {
    using namespace card_builder;
    constexpr std::uint32_t STATED = 0xFFFFFF00;
    const std::string dib = le32(40) + le32(2) + le32(2) + le16(1) + le16(1) +
                            std::string(24, '\0') + le32(0) + std::string("\xff\xff\xff\0", 4) +
                            std::string("\x40\0\0\0\x80\0\0\0", 8);
    const std::string head = rrg_header(1) + index_entry(9 + INDEX_ENTRY_SIZE, "Sparse") + le16(1) +
                             le32(1) + le32(0x0501) + le32(3) + le32(4) + std::string("DIB\0", 4) +
                             le32(2) + le32(2) + le32(STATED);
    const std::string tail =
        le16(8) + le16(16) + le16(0) + le16(0) + le16(64) + le16(64) + le16(2) + le16(4) + "text";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    const long end_of_dib = static_cast<long>(head.size()) + static_cast<long>(STATED);
    const bool written = std::fwrite(head.data(), 1, head.size(), file) == head.size() &&
                         std::fwrite(dib.data(), 1, dib.size(), file) == dib.size() &&
                         std::fseek(file, end_of_dib, SEEK_SET) == 0 &&
                         std::fwrite(tail.data(), 1, tail.size(), file) == tail.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_large_card_files DIRECTORY\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    using namespace card_builder;

    const std::string count_only = rrg_header(MOST_CARDS);
    const std::string count_only_listing =
        "\nWindows Card File count_only.crd\n\nRRG card file, total cards: 32767\n\n\n";

    const std::string line = "Card text";
    const std::string stored = "end of text";
    const auto body_at = static_cast<std::uint32_t>(5 + MOST_CARDS * INDEX_ENTRY_SIZE);
    std::string long_texts = mgc_header(MOST_CARDS);
    std::string long_texts_listing =
        "\nWindows Card File long_texts.crd\n\nMGC card file, total cards: 32767\n";
    for (int number = 1; number <= MOST_CARDS; ++number) {
        long_texts += index_entry(body_at, line);
        long_texts_listing += heading(number) + "\n" + line + "\n\n" + stored + "\n";
    }
    long_texts += le16(0) + le16(65535) + stored;
    long_texts_listing += "\n\n";

    if (!write_file(dir + "count_only.crd", count_only) ||
        !write_file(dir + "count_only.out", count_only_listing) ||
        !write_file(dir + "long_texts.crd", long_texts) ||
        !write_file(dir + "long_texts.out", long_texts_listing) ||
        !write_sparse_dib(dir + "sparse_dib.crd")) {
        std::perror(dir.c_str());
        return 1;
    }
    return 0;
}
