#include "cli.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>

#include "decode/decode.h"
#include "input.h"
#include "output/csv.h"
#include "output/extract.h"
#include "output/json.h"
#include "output/listing.h"

#ifndef CRDVIEW_VERSION
#define CRDVIEW_VERSION "unknown"
#endif

namespace {

constexpr const char* HELP_TEXT =
    "\nUsage:\n\n%s [OPTION] file.\n\nOpens the Windows CRD (contact card) file\n\n  OPTION:\n  -e "
    "<encoding> decode from this encoding to UTF-8.\n                supports Windows-874, "
    "Windows-1250 to Windows-1258\n                and Windows-932, 936, 949 and 950.\n"
    "  --encoding=<encoding> the same as -e <encoding>.\n"
    "  --format=<format> listing (the default), json or csv.\n"
    "  --extract=<dir> also write each card's picture or object into dir.\n"
    "  --help, -h    show this text.\n"
    "  --version     show the version of crdview.\n\n  "
    "EXAMPLE:\n  %s -e Windows-1251 file.CDR\n\n  NOTE:\n  In the Windows "
    "terminal use chcp command to set the code page.\n  For example: \"chcp 1251\" to set the "
    "Windwso-1251 code page.\n\n";

enum output_format { FORMAT_LISTING, FORMAT_JSON, FORMAT_CSV };

constexpr const char* FORMAT_NAMES = "listing, json, csv";

// The command line with the long options taken out.
struct command_line {
    const char* program = nullptr;
    // What the classic rules apply to: their count, and the first three.
    std::size_t word_count = 0;
    std::array<const char*, 3> words{};
    bool help = false;
    bool version = false;
    const char* format = nullptr;         // --format
    const char* encoding = nullptr;       // --encoding
    const char* extract = nullptr;        // --extract
    const char* missing_value = nullptr;  // an option given last, without its value
};

// Takes "--name=value" or "--name value" at argv[i]; returns false when
// argv[i] is neither.
bool take_valued(std::string_view name, int argc, const char* const* argv, int& i,
                 const char*& value, const char*& missing) {
    const std::string_view word = argv[i];
    if (word.size() > name.size() && word.substr(0, name.size()) == name &&
        word[name.size()] == '=') {
        value = argv[i] + name.size() + 1;
        return true;
    }
    if (word != name) {
        return false;
    }
    if (i + 1 < argc) {
        value = argv[++i];
    } else {
        missing = argv[i];
    }
    return true;
}

void add_word(command_line& line, const char* word) {
    if (line.word_count < line.words.size()) {
        line.words[line.word_count] = word;
    }
    ++line.word_count;
}

// Nothing here allocates: with memory this short, the reader reports it.
command_line parse(int argc, const char* const* argv) {
    command_line line;
    line.program = argc > 0 ? argv[0] : nullptr;
    bool options_end = false;
    bool short_help = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (options_end) {
            add_word(line, argv[i]);
        } else if (word == "--") {
            options_end = true;
        } else if (word == "--help") {
            line.help = true;
        } else if (word == "--version") {
            line.version = true;
        } else if (!take_valued("--format", argc, argv, i, line.format, line.missing_value) &&
                   !take_valued("--encoding", argc, argv, i, line.encoding, line.missing_value) &&
                   !take_valued("--extract", argc, argv, i, line.extract, line.missing_value)) {
            short_help = short_help || (word == "-h" && line.word_count == 0);
            add_word(line, argv[i]);
        }
    }
    // "-h" alone asks for the help.
    line.help = line.help || (short_help && line.word_count == 1);
    return line;
}

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

// The classic listing: banner, listing, closing message, all on `out`.
int run_listing(const char* path, int encoding, std::FILE* out, extract_state* extract) {
    std::fprintf(out, "\nWindows Card File %s", path);
    card_input input = open_card_input(path);
    const card_file_result result =
        input.file ? list_card_stream(input.file, encoding, out, extract) : CARD_FILE_OPEN_FAILED;
    if (extract && extract->failed) {
        return EXIT_NOT_LISTED;  // the listing ends where the pictures could not be written
    }
    std::fputs(closing_message(result), out);
    std::fputc('\n', out);
    return result == CARD_FILE_OK ? EXIT_LISTED : EXIT_NOT_LISTED;
}

const char* error_text(int error) {
    return error != 0 ? std::strerror(error) : "read error";
}

// JSON or CSV: nothing on `out` unless the file is a card file; every
// failure named on `err`.
int run_export(output_format format, const char* path, int encoding, std::FILE* out, std::FILE* err,
               extract_state* extract) {
    card_input input = open_card_input(path);
    if (!input.file) {
        std::fprintf(err, "crdview: %s: %s\n", path, error_text(input.error));
        return EXIT_NOT_LISTED;
    }
    card_stream in{input.file};
    if (!reader_memory_available()) {
        std::fprintf(err, "crdview: %s: %s\n", path, std::strerror(ENOMEM));
        return EXIT_NOT_LISTED;
    }
    try {
        card_walk walk = start_card_walk(in);
        if (walk.header.result == CARD_FILE_BAD_SIGNATURE) {
            std::fprintf(err, "crdview: %s: not a card file\n", path);
            return EXIT_NOT_LISTED;
        }
        if (walk.header.result == CARD_FILE_OK) {
            if (format == FORMAT_JSON) {
                write_json(in, walk, path, encoding, out, extract);
            } else {
                write_csv(in, walk, encoding, out, extract);
            }
        }
    } catch (const std::bad_alloc&) {
        // The writers' memory is bounded; should even that be refused, stop here.
        in.read_failed = true;
        in.read_error = ENOMEM;
    }
    if (in.read_failed) {
        std::fprintf(err, "crdview: %s: %s\n", path, error_text(in.read_error));
        return EXIT_NOT_LISTED;
    }
    return extract && extract->failed ? EXIT_NOT_LISTED : EXIT_LISTED;
}

int run_format(output_format format, const char* path, int encoding, std::FILE* out, std::FILE* err,
               extract_state* extract) {
    const int status = format == FORMAT_LISTING
                           ? run_listing(path, encoding, out, extract)
                           : run_export(format, path, encoding, out, err, extract);
    if (extract) {
        if (extract->failed) {
            std::fprintf(err, "crdview: %s\n", extract->error.c_str());
        } else {
            std::fprintf(err, "crdview: wrote %d file%s to %s\n", extract->files_written,
                         extract->files_written == 1 ? "" : "s", extract->dir.c_str());
        }
    }
    return status;
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
    const command_line line = parse(argc, argv);
    if (line.help) {
        print_help(line.program, out);
        return EXIT_LISTED;
    }
    if (line.version) {
        std::fputs("crdview " CRDVIEW_VERSION "\n", out);
        return EXIT_LISTED;
    }
    if (line.missing_value) {
        std::fprintf(err, "crdview: %s needs a value\n", line.missing_value);
        return EXIT_USAGE;
    }
    output_format format = FORMAT_LISTING;
    if (line.format) {
        const std::string_view name = line.format;
        if (name == "json") {
            format = FORMAT_JSON;
        } else if (name == "csv") {
            format = FORMAT_CSV;
        } else if (name != "listing") {
            std::fprintf(err, "crdview: unknown format \"%s\" (accepted: %s)\n", line.format,
                         FORMAT_NAMES);
            return EXIT_USAGE;
        }
    }
    if (line.extract && !writable_directory(line.extract)) {
        std::fprintf(err, "crdview: %s: not a directory that crdview can write in\n", line.extract);
        return EXIT_USAGE;
    }
    const std::size_t words = line.word_count;
    if (words != 1 && words != 3) {
        print_help(line.program, out);
        return EXIT_USAGE;
    }
    if (words == 3 && line.encoding) {
        std::fprintf(err, "crdview: --encoding and \"%s %s\" both name an encoding\n",
                     line.words[0], line.words[1]);
        return EXIT_USAGE;
    }
    const char* path = line.words[words - 1];
    // The encoding asked for: -e NAME, or --encoding NAME.
    const char* asked = line.encoding;
    if (words == 3) {
        if (std::strcmp(line.words[0], "-e") == 0) {
            asked = line.words[1];
        } else if (format == FORMAT_LISTING) {
            std::fprintf(err, "crdview: \"%s\" is not an option; the texts are shown as stored\n",
                         line.words[0]);
        } else {
            std::fprintf(err, "crdview: \"%s\" is not an option\n", line.words[0]);
            return EXIT_USAGE;
        }
    }
    int encoding = asked ? encoding_by_name(asked) : ENCODING_NONE;
    if (asked && encoding == ENCODING_NONE) {
        if (format != FORMAT_LISTING) {
            std::fprintf(err, "crdview: unknown encoding \"%s\" (known: %s)\n", asked,
                         KNOWN_ENCODING_NAMES);
            return EXIT_USAGE;
        }
        std::fprintf(err,
                     "crdview: unknown encoding \"%s\"; the texts are shown as stored (known: "
                     "%s)\n",
                     asked, KNOWN_ENCODING_NAMES);
    }
    // The new formats are always UTF-8: Windows-1252, the commonest, unless asked.
    if (format != FORMAT_LISTING && !asked) {
        encoding = ENCODING_WINDOWS_1252;
    }
    if (!line.extract) {
        return run_format(format, path, encoding, out, err, nullptr);
    }
    extract_state extract{line.extract};
    return run_format(format, path, encoding, out, err, &extract);
}
