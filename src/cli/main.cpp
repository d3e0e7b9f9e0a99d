// crdview: lists the cards of a Windows CRD card file on standard output.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli.h"
#include "sys/desktop.h"
#include "sys/terminal.h"

int main(int argc, char** argv) {
    // The listing is the same bytes on every system, and a card file read
    // from standard input ("-") is bytes.
    use_binary_standard_streams();
    // The listing is gathered and written in large blocks; stdio buffering
    // would only copy every block once more on its way out.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    int status = console_of_its_own() ? run_from_desktop(argc, argv, stdout, stderr)
                                      : run_crdview(argc, argv, stdout);
    // A listing that could not be written is a failure too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int error = errno;
        std::fprintf(stderr, "crdview: cannot write standard output: %s\n",
                     error ? std::strerror(error) : "write error");
        status = EXIT_NOT_LISTED;
    }
    return status;
}
