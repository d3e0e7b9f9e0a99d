// crdview in a web page: the functions the page's worker calls. The worker
// puts the chosen card files in the working directory and calls
// crdview_web_run; the result stays here until the next run.
#include <emscripten/emscripten.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "decode/decode.h"
#include "web/web_run.h"

namespace {

// Where "pictures" extracts to, away from the card files.
constexpr const char* SCRATCH_DIR = "/extracted";

web_result last;
std::string encodings;

// The names in `list`, separated by "/".
std::vector<std::string> names_in(std::string_view list) {
    std::vector<std::string> names;
    while (!list.empty()) {
        const std::size_t end = std::min(list.find('/'), list.size());
        names.emplace_back(list.substr(0, end));
        list.remove_prefix(std::min(end + 1, list.size()));
    }
    return names;
}

}  // namespace

extern "C" {

// Runs crdview on the card files `names` (separated by "/", which no file
// name holds) with --format=`format` (or "pictures"), --encoding, --find
// and --card (each left out when empty); returns the exit status.
// crdview_web_output and crdview_web_messages then hold what it wrote.
EMSCRIPTEN_KEEPALIVE int crdview_web_run(const char* names, const char* format,
                                         const char* encoding, const char* find,
                                         const char* cards) {
    mkdir(SCRATCH_DIR, 0700);
    last = run_web(names_in(names), web_request{format, encoding, find, cards}, SCRATCH_DIR);
    return last.status;
}

EMSCRIPTEN_KEEPALIVE const char* crdview_web_output() {
    return last.output.data();
}
EMSCRIPTEN_KEEPALIVE std::size_t crdview_web_output_size() {
    return last.output.size();
}
EMSCRIPTEN_KEEPALIVE const char* crdview_web_messages() {
    return last.messages.c_str();
}
EMSCRIPTEN_KEEPALIVE int crdview_web_files() {
    return last.files;
}

// Lets go of the last result.
EMSCRIPTEN_KEEPALIVE void crdview_web_release() {
    last = web_result{};
}

// The code pages --encoding knows, by their names, one a line.
EMSCRIPTEN_KEEPALIVE const char* crdview_web_encodings() {
    if (encodings.empty()) {
        for (int number = 874; number <= 1258; ++number) {
            const char* name =
                encoding_name(number == 1251 ? static_cast<int>(ENCODING_WINDOWS_1251) : number);
            if (name) {
                encodings += name;
                encodings += '\n';
            }
        }
    }
    return encodings.c_str();
}
}
