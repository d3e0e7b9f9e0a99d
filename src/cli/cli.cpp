#include "cli.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "decode/decode.h"
#include "sys/files.h"
#include "sys/terminal.h"
#include "walk/walk.h"
#include "writers/csv.h"
#include "writers/extract.h"
#include "writers/html.h"
#include "writers/json.h"
#include "writers/listing.h"
#include "writers/vcard.h"

#ifndef CRDVIEW_VERSION
#define CRDVIEW_VERSION "unknown"
#endif

namespace {

constexpr const char* HELP_TEXT =
    "\nUsage:\n\n%s [OPTION] file.\n\nOpens the Windows CRD (contact card) file\n\n  OPTION:\n  -e "
    "<encoding> decode from this encoding to UTF-8.\n                supports Windows-874, "
    "Windows-1250 to Windows-1258\n                and Windows-932, 936, 949 and 950.\n"
    "  --encoding=<encoding> the same as -e <encoding>.\n"
    "  --format=<format> listing (the default), json, csv, html, vcard or vcard4.\n"
    "  --extract=<dir> also write each card's picture or object into dir.\n"
    "  --overwrite   with --extract, replace the files there (regular files only).\n"
    "  --find=<text> only the cards whose title or text holds text, in any case.\n"
    "  --card=<list> only the cards numbered in list: 3, 3,7 or 10-20.\n"
    "  --raw         on a terminal too, show control characters as stored.\n"
    "  --strict      fail (exit status 1) when a file listed has problems.\n"
    "  --help, -h    show this text.\n"
    "  --version     show the version of crdview.\n"
    "  Several files are listed one after another (\"-\": standard input).\n\n  "
    "EXAMPLE:\n  %s -e Windows-1251 file.CDR\n\n  NOTE:\n  In the Windows "
    "terminal use chcp command to set the code page.\n  For example: \"chcp 1251\" to set the "
    "Windwso-1251 code page.\n\n";

enum output_format {
    FORMAT_LISTING,
    FORMAT_JSON,
    FORMAT_CSV,
    FORMAT_HTML,
    FORMAT_VCARD,
    FORMAT_VCARD4
};

constexpr const char* FORMAT_NAMES = "listing, json, csv, html, vcard, vcard4";

// The command line as read: its options, and where its files are (the files
// themselves are found again in `argv` by for_each_file, so that reading the
// command line allocates nothing: with memory this short, the reader reports it).
struct command_line {
    const char* program = nullptr;
    int argc = 0;
    const char* const* argv = nullptr;
    std::size_t file_count = 0;
    // The classic three words "-X Y FILE" whose first two are not a known
    // "-e NAME": FILE is listed as stored (classic_option names X).
    const char* classic_option = nullptr;
    const char* classic_file = nullptr;
    bool help = false;
    bool version = false;
    bool strict = false;                   // a listed file with problems fails too
    bool raw = false;                      // control characters as stored on a terminal too
    bool overwrite = false;                // --extract replaces existing regular files
    const char* format = nullptr;          // --format
    const char* encoding = nullptr;        // --encoding
    const char* short_encoding = nullptr;  // -e
    const char* encoding_again = nullptr;  // a second -e: its name
    const char* extract = nullptr;         // --extract
    const char* find = nullptr;            // --find
    const char* cards = nullptr;           // --card
    const char* missing_value = nullptr;   // an option given last, without its value
    const char* not_option = nullptr;      // the first word that is no option
    output_format output = FORMAT_LISTING;
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

// Takes the long option at argv[i] (and its value); false when it is none.
bool take_long_option(command_line& line, int& i) {
    const std::string_view word = line.argv[i];
    bool* flag = word == "--help"        ? &line.help
                 : word == "--version"   ? &line.version
                 : word == "--strict"    ? &line.strict
                 : word == "--raw"       ? &line.raw
                 : word == "--overwrite" ? &line.overwrite
                                         : nullptr;
    if (flag) {
        *flag = true;
        return true;
    }
    const int argc = line.argc;
    const char* const* argv = line.argv;
    const char*& missing = line.missing_value;
    return take_valued("--format", argc, argv, i, line.format, missing) ||
           take_valued("--encoding", argc, argv, i, line.encoding, missing) ||
           take_valued("--extract", argc, argv, i, line.extract, missing) ||
           take_valued("--find", argc, argv, i, line.find, missing) ||
           take_valued("--card", argc, argv, i, line.cards, missing);
}

bool begins_with_dash(std::string_view word) {
    return word.size() > 1 && word[0] == '-';
}

// Goes through the words that are not long options: "-e NAME" and "-h"
// (into `line`, when it is given), the files (to `on_file`), and the first
// word that is no option. Words after "--" are files, and so is "-".
template <typename OnFile>
void read_words(const command_line& words, command_line* line, OnFile on_file) {
    command_line scratch = words;
    bool options_end = false;
    for (int i = 1; i < words.argc; ++i) {
        const std::string_view word = words.argv[i];
        if (options_end) {
            on_file(words.argv[i]);
        } else if (word == "--") {
            options_end = true;
        } else if (take_long_option(scratch, i)) {
            continue;
        } else if (word == "-e") {
            if (i + 1 >= words.argc) {
                if (line) {
                    line->missing_value = words.argv[i];
                }
            } else if (line && (line->short_encoding || line->encoding)) {
                line->encoding_again = words.argv[++i];
            } else if (line) {
                line->short_encoding = words.argv[++i];
            } else {
                ++i;
            }
        } else if (word == "-h") {
            if (line) {
                line->help = true;
            }
        } else if (begins_with_dash(word)) {
            if (line && !line->not_option) {
                line->not_option = words.argv[i];
            }
        } else {
            on_file(words.argv[i]);
        }
    }
}

command_line parse(int argc, const char* const* argv) {
    command_line line;
    line.program = argc > 0 ? argv[0] : nullptr;
    line.argc = argc;
    line.argv = argv;
    // The long options, and the words they leave, as the classic rules count them.
    const char* words[3] = {nullptr, nullptr, nullptr};
    int word_count = 0;
    bool first_is_option = false;  // the first word stands before any "--"
    bool options_end = false;
    for (int i = 1; i < argc; ++i) {
        if (!options_end && std::strcmp(argv[i], "--") == 0) {
            options_end = true;
        } else if (options_end || !take_long_option(line, i)) {
            first_is_option = first_is_option || (word_count == 0 && !options_end);
            if (word_count < 3) {
                words[word_count] = argv[i];
            }
            ++word_count;
        }
    }
    // Three words whose first is an option other than -e: the classic rules
    // list the third as stored ("-e NAME FILE" is read as any -e is).
    if (word_count == 3 && first_is_option && begins_with_dash(words[0]) &&
        std::strcmp(words[0], "-e") != 0) {
        line.classic_option = words[0];
        line.classic_file = words[2];
        line.file_count = 1;
        return line;
    }
    read_words(line, &line, [&line](const char*) { ++line.file_count; });
    return line;
}

// Calls `run` with each file of the command line in turn.
template <typename Run>
void for_each_file(const command_line& line, Run run) {
    if (line.classic_file) {
        run(line.classic_file);
        return;
    }
    read_words(line, nullptr, run);
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

// The encoding that the texts of the file at `path` are shown in: -e NAME
// (exact names only, the classic rule, and "auto"), --encoding NAME (any
// case, or an alias, or "auto"), as stored for the listing, and the page the
// texts look like for the other formats.
// Names that are not known were told of before any file is read.
int encoding_for_file(const command_line& line, const char* path) {
    (void)path;  // every file of a run alike
    if (line.classic_option) {
        return ENCODING_NONE;
    }
    if (line.short_encoding) {
        return std::strcmp(line.short_encoding, "auto") == 0
                   ? ENCODING_AUTO
                   : encoding_by_name(line.short_encoding);
    }
    if (line.encoding) {
        return encoding_by_any_name(line.encoding);
    }
    // The other formats are always UTF-8: from the page the texts look like,
    // unless asked.
    return line.output == FORMAT_LISTING ? ENCODING_NONE : ENCODING_AUTO;
}

// Checks the encoding asked for; false (a usage error, told) when it is not
// known and the format cannot do without it. The listing shows the texts as
// stored then, and says so.
bool check_encoding(const command_line& line, std::FILE* err) {
    const char* asked = line.short_encoding ? line.short_encoding : line.encoding;
    if (!asked) {
        return true;
    }
    const bool exact_only = line.short_encoding != nullptr;
    if (std::strcmp(asked, "auto") == 0 ||
        (exact_only ? encoding_by_name(asked) : encoding_by_any_name(asked)) != ENCODING_NONE) {
        return true;
    }
    const bool listing = line.output == FORMAT_LISTING;
    const char* meant = exact_only ? encoding_name(encoding_by_any_name(asked)) : nullptr;
    std::fprintf(err, "crdview: unknown encoding \"%s\"%s", asked,
                 listing ? "; the texts are shown as stored" : "");
    if (meant) {
        std::fprintf(err, "; did you mean \"%s\"?\n", meant);
    } else {
        std::fprintf(err, " (known: %s)\n", KNOWN_ENCODING_NAMES);
    }
    return listing;
}

// What the run needs besides the command line.
struct run_setup {
    card_filter filter{};
    bool filtered = false;
};

// Runs every file of `line` through the writers of its format; returns the exit status.
int run_files(const command_line& line, run_setup& setup, std::FILE* out, std::FILE* err) {
    const bool several = line.file_count > 1;
    listing_writer listing{out};
    listing.caret = !line.raw && is_terminal(out);
    json_writer json{out, several};
    csv_writer csv{out, line.extract != nullptr, several};
    html_writer html{out, several, line.extract ? line.extract : ""};
    vcard_writer vcard{out, line.output == FORMAT_VCARD4 ? 4 : 3};
    extract_writer extract{line.extract ? line.extract : ""};
    extract.overwrite = line.overwrite;
    extract.several = several;
    extract.err = err;
    card_writers writers;
    if (line.extract) {
        writers.add(&extract);
    }
    card_writer* format = &listing;
    switch (line.output) {
    case FORMAT_JSON:
        format = &json;
        break;
    case FORMAT_CSV:
        format = &csv;
        break;
    case FORMAT_HTML:
        format = &html;
        break;
    case FORMAT_VCARD:
    case FORMAT_VCARD4:
        format = &vcard;
        break;
    case FORMAT_LISTING:
        break;
    }
    writers.add(format);
    walk_options options;
    options.err = err;
    options.report_failures = true;
    // Texts shown as stored on a terminal: say which page they look like.
    options.suggest_encoding = line.output == FORMAT_LISTING && is_terminal(out) &&
                               !line.short_encoding && !line.encoding && !line.classic_option;
    options.filter = setup.filtered ? &setup.filter : nullptr;
    int status = EXIT_LISTED;
    bool stopped = false;
    for_each_file(line, [&](const char* path) {
        if (stopped) {
            return;  // nothing more can be written
        }
        options.encoding = encoding_for_file(line, path);
        const walk_result result = list_card_file(path, writers, options);
        stopped = result.stopped;
        if (result.result != CARD_FILE_OK || result.stopped ||
            (line.strict && result.problems > 0)) {
            status = EXIT_NOT_LISTED;
        }
    });
    for (card_writer* writer : writers) {
        writer->finish();
    }
    if (line.extract) {
        if (extract.failed) {
            std::fprintf(err, "crdview: %s\n", extract.error.c_str());
            status = EXIT_NOT_LISTED;
        } else {
            std::fprintf(err, "crdview: wrote %d file%s to %s", extract.files_written,
                         extract.files_written == 1 ? "" : "s", extract.dir.c_str());
            if (extract.files_skipped > 0) {
                std::fprintf(err, " (%d skipped: %s)", extract.files_skipped,
                             extract.files_skipped == 1 ? "it exists" : "they exist");
                status = EXIT_NOT_LISTED;
            }
            std::fputs("\n", err);
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
    command_line line = parse(argc, argv);
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
    if (line.format) {
        const std::string_view name = line.format;
        if (name == "json") {
            line.output = FORMAT_JSON;
        } else if (name == "csv") {
            line.output = FORMAT_CSV;
        } else if (name == "html") {
            line.output = FORMAT_HTML;
        } else if (name == "vcard") {
            line.output = FORMAT_VCARD;
        } else if (name == "vcard4") {
            line.output = FORMAT_VCARD4;
        } else if (name != "listing") {
            std::fprintf(err, "crdview: unknown format \"%s\" (accepted: %s)\n", line.format,
                         FORMAT_NAMES);
            return EXIT_USAGE;
        }
    }
    if (line.not_option) {
        std::fprintf(err, "crdview: \"%s\" is not an option\n", line.not_option);
        print_help(line.program, out);
        return EXIT_USAGE;
    }
    if (line.encoding_again) {
        if (line.encoding) {
            std::fprintf(err, "crdview: --encoding and \"-e %s\" both name an encoding\n",
                         line.encoding_again);
        } else {
            std::fprintf(err, "crdview: \"-e %s\" and \"-e %s\" both name an encoding\n",
                         line.short_encoding, line.encoding_again);
        }
        return EXIT_USAGE;
    }
    if (line.file_count == 0) {
        print_help(line.program, out);
        return EXIT_USAGE;
    }
    if (line.classic_option) {
        if (line.encoding) {
            std::fprintf(err, "crdview: --encoding and \"%s\" both name an encoding\n",
                         line.classic_option);
            return EXIT_USAGE;
        }
        if (line.output != FORMAT_LISTING) {
            std::fprintf(err, "crdview: \"%s\" is not an option\n", line.classic_option);
            return EXIT_USAGE;
        }
        std::fprintf(err, "crdview: \"%s\" is not an option; the texts are shown as stored\n",
                     line.classic_option);
    }
    if (line.short_encoding && line.encoding) {
        std::fprintf(err, "crdview: --encoding and \"-e %s\" both name an encoding\n",
                     line.short_encoding);
        return EXIT_USAGE;
    }
    if (!check_encoding(line, err)) {
        return EXIT_USAGE;
    }
    run_setup setup;
    if (line.cards) {
        if (!parse_card_list(line.cards, setup.filter.numbers)) {
            std::fprintf(err,
                         "crdview: --card=%s: not a list of card numbers (such as 3, 3,7 or "
                         "10-20)\n",
                         line.cards);
            return EXIT_USAGE;
        }
        setup.filtered = true;
    }
    if (line.find) {
        fold_case(line.find, setup.filter.find);
        setup.filter.by_text = true;
        setup.filtered = true;
    }
    if (line.overwrite && !line.extract) {
        std::fprintf(err, "crdview: --overwrite goes with --extract\n");
        return EXIT_USAGE;
    }
    if (line.extract && !make_writable_directory(line.extract)) {
        std::fprintf(err, "crdview: %s: not a directory that crdview can write in\n", line.extract);
        return EXIT_USAGE;
    }
    return run_files(line, setup, out, err);
}
