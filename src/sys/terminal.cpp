#include "terminal.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <atomic>

#include "windows_api.h"
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

#ifdef _WIN32

namespace {

// The code page to put back should the run be stopped (0: none).
std::atomic<unsigned> code_page_to_restore{0};

BOOL WINAPI restore_on_stop(DWORD) {
    if (const unsigned page = code_page_to_restore.exchange(0)) {
        SetConsoleOutputCP(page);
    }
    return FALSE;  // and the run is stopped as it would be
}

}  // namespace

utf8_console::utf8_console(std::FILE* out) {
    if (!out || !is_terminal(out)) {
        return;
    }
    const unsigned page = GetConsoleOutputCP();
    if (page == 0 || page == CP_UTF8) {
        return;
    }
    code_page_to_restore = page;
    SetConsoleCtrlHandler(restore_on_stop, TRUE);
    if (SetConsoleOutputCP(CP_UTF8)) {
        saved = page;
    } else {
        code_page_to_restore = 0;
        SetConsoleCtrlHandler(restore_on_stop, FALSE);
    }
}

utf8_console::~utf8_console() {
    if (saved != 0) {
        std::fflush(stdout);
        std::fflush(stderr);
        code_page_to_restore = 0;
        SetConsoleOutputCP(saved);
        SetConsoleCtrlHandler(restore_on_stop, FALSE);
    }
}

#else

utf8_console::utf8_console(std::FILE*) {}

utf8_console::~utf8_console() = default;

#endif
