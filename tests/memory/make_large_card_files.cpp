// Writes, into the directory named by its argument, the card files of the
// bounded-memory tests and the exact listings crdview must print for them:
//   count_only.crd  9 bytes, an "RRG" header claiming 32767 cards
//   long_texts.crd  32767 "MGC" cards, each claiming a text of 65535 bytes:
//                   every entry points at one body near the end of the file
//                   that holds only a few of those bytes
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
        !write_file(dir + "long_texts.out", long_texts_listing)) {
        std::perror(dir.c_str());
        return 1;
    }
    return 0;
}
