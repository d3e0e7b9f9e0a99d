#include "cli.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "decode/decode.h"
#include "options.h"
#include "sys/desktop.h"
#include "sys/files.h"
#include "sys/terminal.h"
#include "text/caret.h"
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
    "  --open        show the files in the web browser, as a page (--format=html).\n"
    "  --extract=<dir> also write each card's picture or object into dir.\n"
    "  --overwrite   with --extract, replace the files there (regular files only).\n"
    "  --csv-as-stored with --format=csv, fields that begin with =, +, -, @, a tab\n"
    "                or CR as stored (else a ' before each, so no formula runs).\n"
    "  --find=<text> only the cards whose title or text holds text, in any case.\n"
    "  --card=<list> only the cards numbered in list: 3, 3,7 or 10-20.\n"
    "  --raw         on a terminal too, write the listing as a pipe gets it:\n"
    "                the texts as stored (or as -e makes them), controls and all.\n"
    "  --strict      fail (exit status 1) when a file listed has problems.\n"
    "  --help, -h    show this text.\n"
    "  --version     show the version of crdview.\n"
    "  Several files are listed one after another (\"-\": standard input).\n\n  "
    "EXAMPLE:\n  %s -e Windows-1251 file.CDR\n\n  NOTE:\n  In the Windows "
    "terminal use chcp command to set the code page.\n  For example: \"chcp 1251\" to set the "
    "Windwso-1251 code page.\n\n";

// What crdview started from the desktop with no file says before it waits.
constexpr const char* DESKTOP_WELCOME =
    "crdview shows the cards of Windows CRD card files: drop a card file on crdview.exe to see "
    "its cards in your web browser, or run crdview in a command prompt (crdview --help tells "
    "how).\n";

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
    std::fprintf(err, "crdview: unknown encoding \"%s\"%s", shown_name(asked).c_str(),
                 as_stored ? "; the texts are shown as stored" : "");
    if (meant) {
        std::fprintf(err, "; did you mean \"%s\"?\n", meant);
    } else {
        std::fprintf(err, " (known: %s)\n", KNOWN_ENCODING_NAMES);
    }
    return as_stored;
}

// --open writes the html format, and takes it on; false (told) when the
// options ask for something else.
bool open_fits(command_line& line, std::FILE* err) {
    const output_format* html = format_by_name("html");
    if (line.format && line.output != html) {
        std::fprintf(err, "crdview: --open shows the files as --format=html does, not as %s\n",
                     line.output->name);
        return false;
    }
    if (line.extract) {
        std::fprintf(err, "crdview: --open and --extract do not go together\n");
        return false;
    }
    line.output = html;
    return true;
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
            std::fprintf(
                err, "crdview: unknown format \"%s\" (accepted: ", shown_name(line.format).c_str());
            print_format_names(err, false, ", ");
            std::fputs(")\n", err);
            return EXIT_USAGE;
        }
    }
    if (line.open && !open_fits(line, err)) {
        return EXIT_USAGE;
    }
    if (line.not_option) {
        std::fprintf(err, "crdview: \"%s\" is not an option\n",
                     shown_name(line.not_option).c_str());
        print_help(line.program, out);
        return EXIT_USAGE;
    }
    if (line.encoding_again) {
        if (line.encoding) {
            std::fprintf(err, "crdview: --encoding and \"-e %s\" both name an encoding\n",
                         shown_name(line.encoding_again).c_str());
        } else {
            std::fprintf(err, "crdview: \"-e %s\" and \"-e %s\" both name an encoding\n",
                         shown_name(line.short_encoding).c_str(),
                         shown_name(line.encoding_again).c_str());
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
                         shown_name(line.classic_option).c_str());
            return EXIT_USAGE;
        }
        if (!line.output->stored_by_default) {
            std::fprintf(err, "crdview: \"%s\" is not an option\n",
                         shown_name(line.classic_option).c_str());
            return EXIT_USAGE;
        }
        std::fprintf(err, "crdview: \"%s\" is not an option; the texts are shown as stored\n",
                     shown_name(line.classic_option).c_str());
    }
    if (line.short_encoding && line.encoding) {
        std::fprintf(err, "crdview: --encoding and \"-e %s\" both name an encoding\n",
                     shown_name(line.short_encoding).c_str());
        return EXIT_USAGE;
    }
    return check_encoding(line, err) ? RUN_ON : EXIT_USAGE;
}

// --card, --find, --overwrite, --csv-as-stored and --extract, into `filter` and the file system.
int check_selection(const command_line& line, card_filter& filter, std::FILE* err) {
    if (line.cards && !parse_card_list(line.cards, filter.numbers)) {
        std::fprintf(err,
                     "crdview: --card=%s: not a list of card numbers (such as 3, 3,7 or 10-20)\n",
                     shown_name(line.cards).c_str());
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
        std::fprintf(err, "crdview: %s: not a directory that crdview can write in\n",
                     shown_name(line.extract).c_str());
        return EXIT_USAGE;
    }
    return RUN_ON;
}

// What --extract wrote, told on `err`; the run's status with it: 1 when a
// file was left as it was or could not be written.
int tell_extraction(const extract_writer& extract, int status, std::FILE* err) {
    std::fprintf(err, "crdview: wrote %d file%s to %s", extract.files_written,
                 extract.files_written == 1 ? "" : "s", shown_name(extract.dir).c_str());
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
    // A listing on a terminal with no code page named: the texts in the page
    // they look like (--raw: as stored, with that page suggested), told after.
    if (terminal && line.output->stored_by_default && !line.short_encoding && !line.encoding &&
        !line.classic_option) {
        options.encoding = line.raw ? ENCODING_NONE : ENCODING_AUTO;
        options.suggest_encoding = line.raw;
        options.quiet_when_ascii = true;
    }
    options.filter = filter;
    const utf8_console console(options.encoding != ENCODING_NONE ? out : nullptr);
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

// --open: the page of every file of `line`, written to a new file and
// handed to the desktop's viewer; returns the exit status.
int open_files(const command_line& line, card_filter* filter, std::FILE* err) {
    owned_stream page;
    std::string path;
    std::string error;
    if (!create_page_file(page, path, error)) {
        std::fprintf(err, "crdview: cannot make the page: %s\n", shown_name(error).c_str());
        return EXIT_NOT_LISTED;
    }
    int status = run_files(line, filter, page.get(), err);
    const bool written = std::fflush(page.get()) == 0 && !std::ferror(page.get());
    const int write_error = errno;
    if (std::fclose(page.release()) != 0 || !written) {
        std::fprintf(err, "crdview: %s: %s\n", shown_name(path).c_str(),
                     std::strerror(written ? errno : write_error));
        return EXIT_NOT_LISTED;
    }
    if (!open_with_viewer(path, error)) {
        std::fprintf(err, "crdview: the page %s is written, but not shown: %s\n",
                     shown_name(path).c_str(), shown_name(error).c_str());
        status = EXIT_NOT_LISTED;
    }
    return status;
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
    card_filter* const chosen = line.cards || line.find ? &filter : nullptr;
    return line.open ? open_files(line, chosen, err) : run_files(line, chosen, out, err);
}

int run_from_desktop(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    if (argc <= 1) {
        std::fputs(DESKTOP_WELCOME, out);
        std::fputs("\nPress a key to close this window.\n", out);
        wait_for_key();
        return EXIT_USAGE;
    }
    // The files dropped, every one a path.
    std::vector<const char*> words{argv[0], "--open", "--"};
    words.insert(words.end(), argv + 1, argv + argc);
    const int status = run_crdview(static_cast<int>(words.size()), words.data(), out, err);
    if (status != EXIT_LISTED) {
        std::fputs("\nPress a key to close this window.\n", err);
        wait_for_key();
    }
    return status;
}
