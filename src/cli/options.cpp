#include "options.h"

#include <cstring>
#include <string_view>

namespace {

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
    bool* flag = word == "--help"            ? &line.help
                 : word == "--version"       ? &line.version
                 : word == "--strict"        ? &line.strict
                 : word == "--raw"           ? &line.raw
                 : word == "--overwrite"     ? &line.overwrite
                 : word == "--csv-as-stored" ? &line.csv_as_stored
                 : word == "--open"          ? &line.open
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

}  // namespace

command_line parse_command_line(int argc, const char* const* argv) {
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

void for_each_file(const command_line& line, void (*run)(const char* path, void* context),
                   void* context) {
    if (line.classic_file) {
        run(line.classic_file, context);
        return;
    }
    read_words(line, nullptr, [run, context](const char* path) { run(path, context); });
}
