// Runs the web page's way into crdview natively, for check_web_run.py:
//   web_tool FORMAT ENCODING FIND CARDS SCRATCH_DIR NAME...
// in the directory that holds the card files NAME...; an empty ENCODING,
// FIND or CARDS leaves that option out. Writes the output (for "pictures",
// the zip archive) to standard output and the messages to standard error,
// and exits with crdview's status.
#include <cstdio>
#include <string>
#include <vector>

#include "web/web_run.h"

int main(int argc, char** argv) {
    if (argc < 7) {
        return 2;
    }
    const web_request request{argv[1], argv[2], argv[3], argv[4]};
    const std::vector<std::string> names(argv + 6, argv + argc);
    const web_result result = run_web(names, request, argv[5]);
    std::fwrite(result.output.data(), 1, result.output.size(), stdout);
    std::fputs(result.messages.c_str(), stderr);
    return std::fflush(stdout) == 0 ? result.status : 2;
}
