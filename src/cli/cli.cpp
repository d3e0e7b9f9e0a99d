#include "cli.h"

#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "decode/decode.h"
#include "options.h"
#include "sys/files.h"
#include "sys/terminal.h"
#include "walk/walk.h"
#include "writers/extract.h"

#ifndef CRDVIEW_VERSION
#define CRDVIEW_VERSION "unknown"
#endif

namespace {

// The help text around its line of formats (each part takes the program's name).
constexpr const char* HELP_BEFORE_FORMATS =
    "\nUsage:\n\n%s [OPTION] file.\n\nOpens the Windows CRD (contact card) file\n\n  OPTION:\n  -e "
    "<encoding> decode from this encoding to UTF-8.\n                supports Windows-874, "
    "Windows-1250 to Windows-1258\n                and Windows-932, 936, 949 and 950.\n"
    "  --encoding=<encoding> the same as -e <encoding>.\n"
    "  --format=<format> ";
constexpr const char* HELP_AFTER_FORMATS =
    ".\n"
    "  --extract=<dir> also write each card's picture or object into dir.\n"
    "  --overwrite   with --extract, replace the files there (regular files only).\n"
    "  --csv-as-stored with --format=csv, fields that begin with =, +, -, @, a tab\n"
    "                or CR as stored (else a ' before each, so no formula runs).\n"
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

// What the checks of a command line return when the run goes on.
constexpr int RUN_ON = -1;

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

// The encoding that the texts of every file of the run are shown in: -e NAME
// (exact names only, the classic rule, and "auto"), --encoding NAME (any
// case, or an alias, or "auto"), otherwise as stored for the listing and the
// page the texts look like for the other formats. Names that are not known
// were told of before any file is read.
int run_encoding(const command_line& line) {
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
    return line.output->stored_by_default ? ENCODING_NONE : ENCODING_AUTO;
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
    const bool as_stored = line.output->stored_by_default;
    const char* meant = exact_only ? encoding_name(encoding_by_any_name(asked)) : nullptr;
    std::fprintf(err, "crdview: unknown encoding \"%s\"%s", asked,
                 as_stored ? "; the texts are shown as stored" : "");
    if (meant) {
        std::fprintf(err, "; did you mean \"%s\"?\n", meant);
    } else {
        std::fprintf(err, " (known: %s)\n", KNOWN_ENCODING_NAMES);
    }
    return as_stored;
}

// The options, in the order the classic rules look at them: EXIT_USAGE (told)
// when they do not fit, RUN_ON when they do. Takes --format into line.output.
int check_options(command_line& line, std::FILE* out, std::FILE* err) {
    if (line.missing_value) {
        std::fprintf(err, "crdview: %s needs a value\n", line.missing_value);
        return EXIT_USAGE;
    }
    if (line.format) {
        line.output = format_by_name(line.format);
        if (!line.output) {
            std::fprintf(err, "crdview: unknown format \"%s\" (accepted: ", line.format);
            print_format_names(err, false, ", ");
            std::fputs(")\n", err);
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
    return RUN_ON;
}

// The encodings named, by -e, --encoding or the classic "-X Y FILE".
int check_encodings(const command_line& line, std::FILE* err) {
    if (line.classic_option) {
        if (line.encoding) {
            std::fprintf(err, "crdview: --encoding and \"%s\" both name an encoding\n",
                         line.classic_option);
            return EXIT_USAGE;
        }
        if (!line.output->stored_by_default) {
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
    return check_encoding(line, err) ? RUN_ON : EXIT_USAGE;
}

// --card, --find, --overwrite, --csv-as-stored and --extract, into `filter` and the file system.
int check_selection(const command_line& line, card_filter& filter, std::FILE* err) {
    if (line.cards && !parse_card_list(line.cards, filter.numbers)) {
        std::fprintf(err,
                     "crdview: --card=%s: not a list of card numbers (such as 3, 3,7 or 10-20)\n",
                     line.cards);
        return EXIT_USAGE;
    }
    if (line.find) {
        fold_case(line.find, filter.find);
        filter.by_text = true;
    }
    if (line.overwrite && !line.extract) {
        std::fprintf(err, "crdview: --overwrite goes with --extract\n");
        return EXIT_USAGE;
    }
    if (line.csv_as_stored && line.output != format_by_name("csv")) {
        std::fprintf(err, "crdview: --csv-as-stored goes with --format=csv\n");
        return EXIT_USAGE;
    }
    if (line.extract && !make_writable_directory(line.extract)) {
        std::fprintf(err, "crdview: %s: not a directory that crdview can write in\n", line.extract);
        return EXIT_USAGE;
    }
    return RUN_ON;
}

// What --extract wrote, told on `err`; the run's status with it: 1 when a
// file was left as it was or could not be written.
int tell_extraction(const extract_writer& extract, int status, std::FILE* err) {
    std::fprintf(err, "crdview: wrote %d file%s to %s", extract.files_written,
                 extract.files_written == 1 ? "" : "s", extract.dir.c_str());
    const char* joint = " (";
    if (extract.files_skipped > 0) {
        std::fprintf(err, "%s%d skipped: %s", joint, extract.files_skipped,
                     extract.files_skipped == 1 ? "it exists" : "they exist");
        joint = "; ";
    }
    if (extract.files_failed > 0) {
        std::fprintf(err, "%s%d could not be written", joint, extract.files_failed);
    }
    if (extract.files_skipped > 0 || extract.files_failed > 0) {
        std::fputs(")", err);
        status = EXIT_NOT_LISTED;
    }
    std::fputs("\n", err);
    return status;
}

// Runs every file of `line` through the writer of its format (after the
// extractor, with --extract); returns the exit status.
int run_files(const command_line& line, card_filter* filter, std::FILE* out, std::FILE* err) {
    const bool terminal = is_terminal(out);
    writer_room room;
    writer_settings settings{out, line.file_count > 1, terminal && !line.raw, line.extract,
                             line.csv_as_stored};
    std::vector<const char*> paths;
    try {
        if (settings.several) {
            for_each_file(line, [&paths](const char* path) { paths.push_back(path); });
            settings.files = &paths;
        }
    } catch (const std::bad_alloc&) {
        settings.files = nullptr;  // memory refused: the run goes on without the list
    }
    std::optional<extract_writer> extract;
    card_writers writers;
    if (line.extract) {
        extract.emplace(line.extract);
        extract->overwrite = line.overwrite;
        extract->several = settings.several;
        extract->err = err;
        writers.add(&*extract);
    }
    writers.add(&line.output->make(room, settings));
    walk_options options;
    options.encoding = run_encoding(line);
    options.err = err;
    options.report_failures = true;
    // Texts shown as stored on a terminal: say which page they look like.
    options.suggest_encoding = line.output->stored_by_default && terminal && !line.short_encoding &&
                               !line.encoding && !line.classic_option;
    options.filter = filter;
    int status = EXIT_LISTED;
    bool stopped = false;
    for_each_file(line, [&](const char* path) {
        if (stopped) {
            return;  // nothing more can be written
        }
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
    return extract ? tell_extraction(*extract, status, err) : status;
}

}  // namespace

void print_help(const char* program_path, std::FILE* out) {
    const char* name = (program_path && *program_path) ? base_name(program_path) : "crdview";
    std::fprintf(out, HELP_BEFORE_FORMATS, name);
    print_format_names(out, true, " or ");
    std::fprintf(out, HELP_AFTER_FORMATS, name);
}

int run_crdview(int argc, const char* const* argv, std::FILE* out) {
    return run_crdview(argc, argv, out, stderr);
}

int run_crdview(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    command_line line = parse_command_line(argc, argv);
    if (line.help) {
        print_help(line.program, out);
        return EXIT_LISTED;
    }
    if (line.version) {
        std::fputs("crdview " CRDVIEW_VERSION "\n", out);
        return EXIT_LISTED;
    }
    card_filter filter;
    int status = check_options(line, out, err);
    status = status == RUN_ON ? check_encodings(line, err) : status;
    status = status == RUN_ON ? check_selection(line, filter, err) : status;
    if (status != RUN_ON) {
        return status;
    }
    const bool filtered = line.cards || line.find;
    return run_files(line, filtered ? &filter : nullptr, out, err);
}
