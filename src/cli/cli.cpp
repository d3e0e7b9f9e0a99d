#include "cli.h"

#include <cstring>

#include "output/listing.h"
#include "decode/decode.h"

namespace {

constexpr const char* HELP_TEXT =
    "\nUsage:\n\n%s [OPTION] file.\n\nOpens the Windows CRD (contact card) file\n\n  OPTION:\n  -e "
    "<encoding> decode from this encoding to UTF-8.\n                supports Windows-874, "
    "Windows-1250 to Windows-1258\n                and Windows-932, 936, 949 and 950.\n\n  "
    "EXAMPLE:\n  %s -e Windows-1251 file.CDR\n\n  NOTE:\n  In the Windows "
    "terminal use chcp command to set the code page.\n  For example: \"chcp 1251\" to set the "
    "Windwso-1251 code page.\n\n";

// The name after the last '/', or failing that after the last '\'.
const char* base_name(const char* path) {
    if (const char* slash = std::strrchr(path, '/')) {
        return slash + 1;
    }
    if (const char* backslash = std::strrchr(path, '\\')) {
        return backslash + 1;
    }
    return path;
}

const char* closing_message(card_file_result result) {
    switch (result) {
    case CARD_FILE_OK:
        return "\n";
    case CARD_FILE_BAD_SIGNATURE:
        return "\nNot the Windows Card file.\n";
    case CARD_FILE_OPEN_FAILED:
        break;
    }
    return "\nError reading file.\n";
}

}  // namespace

void print_help(const char* program_path, std::FILE* out) {
    const char* name = (program_path && *program_path) ? base_name(program_path) : "crdview";
    std::fprintf(out, HELP_TEXT, name, name);
}

int run_crdview(int argc, const char* const* argv, std::FILE* out) {
    return run_crdview(argc, argv, out, stderr);
}

int run_crdview(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    if (argc != 2 && argc != 4) {
        print_help(argc > 0 ? argv[0] : nullptr, out);
        return EXIT_USAGE;
    }
    int encoding = ENCODING_NONE;
    if (argc == 4) {
        // Two words that ask for no known encoding still list the file, as stored.
        if (std::strcmp(argv[1], "-e") != 0) {
            std::fprintf(err, "crdview: \"%s\" is not an option; the texts are shown as stored\n",
                         argv[1]);
        } else if ((encoding = encoding_by_name(argv[2])) == ENCODING_NONE) {
            std::fprintf(err,
                         "crdview: unknown encoding \"%s\"; the texts are shown as stored "
                         "(known: %s)\n",
                         argv[2], KNOWN_ENCODING_NAMES);
        }
    }
    const char* path = argv[argc - 1];

    std::fprintf(out, "\nWindows Card File %s", path);
    const card_file_result result = list_card_file(path, encoding, out);
    std::fputs(closing_message(result), out);
    std::fputc('\n', out);
    return result == CARD_FILE_OK ? EXIT_LISTED : EXIT_NOT_LISTED;
}
