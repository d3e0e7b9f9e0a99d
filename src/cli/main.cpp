// crdview: lists the cards of a Windows CRD card file on standard output.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // The listing is the same bytes on every system: card texts already end
    // their lines with CR LF, which a text-mode stream would turn into CR CR LF.
    // Without a usable standard output this fails, and so does every write,
    // which the check below reports.
    (void)_setmode(_fileno(stdout), _O_BINARY);
    // A card file read from standard input ("-") is bytes: a text-mode stream
    // would turn CR LF into LF and end at the first 0x1A.
    (void)_setmode(_fileno(stdin), _O_BINARY);
#endif
    // The listing is gathered and written in large blocks; stdio buffering
    // would only copy every block once more on its way out.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    int status = run_crdview(argc, argv, stdout);
    // A listing that could not be written is a failure too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int error = errno;
        std::fprintf(stderr, "crdview: cannot write standard output: %s\n",
                     error ? std::strerror(error) : "write error");
        status = EXIT_NOT_LISTED;
    }
    return status;
}
