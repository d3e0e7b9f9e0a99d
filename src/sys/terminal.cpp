#include "terminal.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

void use_binary_standard_streams() {
#ifdef _WIN32
    // Without a usable standard output this fails, and so does every write,
    // which main reports.
    (void)_setmode(_fileno(stdout), _O_BINARY);
    (void)_setmode(_fileno(stdin), _O_BINARY);
#endif
}

bool is_terminal(std::FILE* out) {
#ifdef _WIN32
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
#else
    return isatty(fileno(out)) != 0;
#endif
}
