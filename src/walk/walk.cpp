#include "walk.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "cardfile/format.h"
#include "code_page_guess.h"
#include "decode/decode.h"
#include "sys/files.h"
#include "sys/input.h"
#include "text/caret.h"
#include "text/numbers.h"

namespace {

// Tells on `err` "crdview: ", the file's name as messages show it, ": " and
// the message; needs no memory.
#if defined(__GNUC__)
__attribute__((format(printf, 3, 4)))
#endif
void tell(std::FILE* err, const char* path, const char* format, ...) {
    std::fputs("crdview: ", err);
    print_name(err, path);
    std::fputs(": ", err);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(err, format, arguments);
    va_end(arguments);
}

// The problems of one file, told on standard error once its walk is over:
// the first PROBLEMS_TOLD in full, then how many more there are.
struct problem_report {
    std::vector<std::string> told{};
    int count = 0;

    void add(std::string problem) {
        if (++count <= PROBLEMS_TOLD) {
            told.push_back(std::move(problem));
        }
    }

    void print(const char* path, std::FILE* err) const {
        for (const std::string& problem : told) {
            tell(err, path, "%s\n", problem.c_str());
        }
        if (count > PROBLEMS_TOLD) {
            const int more = count - PROBLEMS_TOLD;
            tell(err, path, "%d more problem%s\n", more, more == 1 ? "" : "s");
        }
    }
};

const char* error_text(int error) {
    return error != 0 ? std::strerror(error) : "read error";
}

void begin_all(const card_writers& writers, const file_start& start) {
    for (card_writer* writer : writers) {
        writer->begin(start);
    }
}

void end_all(const card_writers& writers, const file_end& outcome) {
    for (card_writer* writer : writers) {
        try {
            writer->end(outcome);
        } catch (const std::bad_alloc&) {
            // What the writer could not write is lost; the others still end.
        }
    }
}

// Why a file with `signature` is not a card file: what it begins with,
// each byte that is not printable ASCII as \xNN.
std::string not_a_card_file(const std::string& signature) {
    if (signature == "DKO") {
        return "a Unicode card file of Windows NT (\"DKO\"), which crdview cannot read yet";
    }
    if (signature.empty()) {
        return "not a card file (it is empty)";
    }
    std::string reason = "not a card file (it begins with \"";
    for (const char c : signature) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
            reason += c;
        } else {
            char digits[2];
            put_hex_byte(byte, digits);
            reason += "\\x";
            reason.append(digits, 2);
        }
    }
    return reason + "\")";
}

// A file that could not be opened or read at all, or is not a card file.
walk_result not_walked(const file_start& start, const card_writers& writers,
                       const walk_options& options) {
    begin_all(writers, start);
    file_end outcome;
    outcome.result = start.result;
    outcome.error = start.error;
    end_all(writers, outcome);
    if (options.report_failures) {
        // Memory may be short: the system's reason is told without any.
        if (start.result == CARD_FILE_BAD_SIGNATURE) {
            tell(options.err, start.path, "%s\n", not_a_card_file(start.header.signature).c_str());
        } else {
            tell(options.err, start.path, "%s\n", error_text(start.error));
        }
    }
    return {start.result, 0, false};
}

// Which cards of a file the walk hands on, and in which code page --find
// compares their texts.
struct card_choice {
    card_filter* filter = nullptr;
    int encoding = ENCODING_NONE;
    // Decided by a first reading (--find, for the titles listed first): card
    // N is kept when kept[N - 1]. Empty: the filter decides as the cards come.
    std::vector<bool> kept{};

    bool keeps(card_record& card) {
        if (!kept.empty()) {
            return kept[static_cast<std::size_t>(card.number - 1)];
        }
        return !filter || keep_card(*filter, card, encoding);
    }
};

// For the writers that list the titles first, the titles of the cards that
// `choice` keeps, read from the index before any card is handed on. With
// --find, whose test needs the texts, the cards are read whole and what is
// kept is noted for the second reading. `cards` is put back at the first card.
void hand_titles(card_stream& in, card_sequence& cards, const card_writers& writers,
                 card_choice& choice) {
    bool wanted = false;
    for (card_writer* writer : writers) {
        wanted = wanted || writer->lists_titles_first();
    }
    if (!wanted) {
        return;
    }
    const bool by_text = choice.filter && choice.filter->by_text;
    std::vector<bool> kept(by_text ? static_cast<std::size_t>(std::max<int>(cards.header.count, 1))
                                   : 0);
    card_record card;
    while (by_text ? next_card(in, cards, card) : next_title(in, cards, card)) {
        if (!choice.keeps(card)) {
            continue;
        }
        if (by_text) {
            kept[static_cast<std::size_t>(card.number - 1)] = true;
        }
        for (card_writer* writer : writers) {
            if (writer->lists_titles_first()) {
                writer->title(card.number, card.title);
            }
        }
    }
    choice.kept = std::move(kept);
    restart_cards(in, cards);
}

// Reads every card of `cards` and hands it to the writers; false when a
// writer stopped the walk.
bool walk_cards(card_stream& in, card_sequence& cards, const card_writers& writers,
                problem_report& report, card_choice& choice) {
    card_record card;
    card_context context{in};
    while (next_card(in, cards, card)) {
        if (!choice.keeps(card)) {
            continue;
        }
        if (!card.body.problem.empty()) {
            report.add("card " + std::to_string(card.number) + ": " + card.body.problem);
        }
        context.files.clear();
        for (card_writer* writer : writers) {
            if (!writer->card(card, context)) {
                return false;
            }
        }
    }
    return true;
}

// Tells on standard error what page the texts look like: the page chosen
// for them, or for texts shown as stored the option that shows them in it.
void tell_guess(const char* path, const detection& guess, const walk_options& options) {
    if (guess.ascii_only && options.quiet_when_ascii) {
        return;
    }
    const char* name = encoding_name(guess.encoding);
    const std::string languages = guess.language_hint ? guess.language_hint : "";
    if (options.encoding != ENCODING_AUTO) {
        if (!guess.ascii_only) {
            // The script alone: what comes before any ':'.
            std::fprintf(options.err, "crdview: the texts look like %s (%s); crdview -e %s ", name,
                         languages.substr(0, languages.find(':')).c_str(), name);
            print_name(options.err, path);
            std::fputs(" shows them in UTF-8\n", options.err);
        }
    } else if (guess.ascii_only) {
        tell(options.err, path, "the texts are ASCII; any code page shows them alike\n");
    } else if (guess.weak) {
        tell(options.err, path,
             "the texts look most like %s (%s), but the guess is weak; -e NAME chooses the code "
             "page yourself\n",
             name, languages.c_str());
    } else {
        tell(options.err, path, "the texts look like %s (%s); -e %s chooses it yourself\n", name,
             languages.c_str(), name);
    }
}

// Guesses the code page of `file` when the run needs it, in a walk of its
// own before the writers': for texts shown in the page they look like, for a
// terminal that shows them as stored, and for --find on texts shown as stored
// (compared in the page they look like, so that every format keeps the same
// cards). Sets the page `start` and `choice` use; true when the guess (in
// `guess`) is to be told.
bool choose_code_page(std::FILE* file, const walk_options& options, file_start& start,
                      card_choice& choice, detection& guess) {
    const bool auto_page = options.encoding == ENCODING_AUTO;
    const bool find_as_stored =
        options.encoding == ENCODING_NONE && options.filter && options.filter->by_text;
    if (!auto_page && !options.suggest_encoding && !find_as_stored) {
        return false;
    }
    guess = guess_code_page(file);
    if (auto_page) {
        start.encoding = guess.encoding;
        start.encoding_detected = true;
    }
    choice.encoding = start.encoding != ENCODING_NONE ? start.encoding : guess.encoding;
    return auto_page || options.suggest_encoding;
}

}  // namespace

std::string why_not_listed(const file_start& start) {
    return start.result == CARD_FILE_BAD_SIGNATURE ? not_a_card_file(start.header.signature)
                                                   : error_text(start.error);
}

walk_result list_card_stream(std::FILE* file, const char* path, const card_writers& writers,
                             const walk_options& options) {
    file_start start;
    start.path = path;
    start.encoding = options.encoding;
    // The reader's memory is bounded (under a megabyte in all); should even
    // that be refused, the file could not be read.
    if (!reader_memory_available()) {
        start.result = CARD_FILE_OPEN_FAILED;
        start.error = ENOMEM;
        return not_walked(start, writers, options);
    }
    problem_report report;
    file_end outcome;
    bool begun = false;
    detection guess;
    bool guessed = false;
    try {
        card_choice choice{options.filter, options.encoding};
        // The code page is guessed in a walk of its own, before the writers'.
        guessed = choose_code_page(file, options, start, choice, guess);
        const card_reader reader = open_card_reader(file);
        card_stream& in = *reader;
        card_sequence cards = start_cards(in);
        start.header = cards.header;
        start.result = cards.header.result;
        start.error = read_error(in);
        if (start.result != CARD_FILE_OK) {
            return not_walked(start, writers, options);
        }
        for (const std::string& problem : cards.file_problems) {
            report.add(problem);  // the header's
        }
        const std::size_t header_problems = cards.file_problems.size();
        begin_all(writers, start);
        begun = true;
        hand_titles(in, cards, writers, choice);
        outcome.stopped = !walk_cards(in, cards, writers, report, choice);
        finish_cards(in, cards);
        for (std::size_t i = header_problems; i < cards.file_problems.size(); ++i) {
            report.add(cards.file_problems[i]);  // the index's, found at its end
        }
        outcome.file_problems = std::move(cards.file_problems);
        if (read_failed(in)) {
            outcome.result = CARD_FILE_OPEN_FAILED;
            outcome.error = read_error(in);
        }
    } catch (const std::bad_alloc&) {
        // The writers' memory is bounded too; should even that be refused, stop here.
        outcome.result = CARD_FILE_OPEN_FAILED;
        outcome.error = ENOMEM;
        if (!begun) {
            start.result = CARD_FILE_OPEN_FAILED;
            start.error = ENOMEM;
            return not_walked(start, writers, options);
        }
    }
    end_all(writers, outcome);
    // Told after the output, where it stays in view on a terminal.
    if (guessed) {
        tell_guess(path, guess, options);
    }
    if (outcome.result != CARD_FILE_OK && options.report_failures) {
        tell(options.err, path, "%s\n", error_text(outcome.error));
    }
    report.print(path, options.err);
    return {outcome.result, report.count, outcome.stopped};
}

walk_result list_card_file(const char* path, const card_writers& writers,
                           const walk_options& options) {
    // Input that cannot seek is copied as far as a card file reaches, and
    // not at all when it does not begin as one.
    card_input input = open_card_input(path, {SIGNATURE_SIZE, largest_card_file});
    if (!input.file) {
        file_start start;
        start.path = path;
        start.encoding = options.encoding;
        start.result = CARD_FILE_OPEN_FAILED;
        start.error = input.error != EISDIR && is_directory(path) ? EISDIR : input.error;
        return not_walked(start, writers, options);
    }
    if (input.cut) {
        tell(options.err, path,
             "the input goes on beyond %s bytes, the most a card file that begins so can "
             "address: the rest is not read\n",
             std::to_string(input.limit).c_str());
    }
    walk_result result = list_card_stream(input.file, path, writers, options);
    result.problems += input.cut ? 1 : 0;
    return result;
}
