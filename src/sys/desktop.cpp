#include "desktop.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <conio.h>
#include <fcntl.h>
#include <io.h>

#include "windows_api.h"
// After windows.h, which it needs.
#include <shellapi.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#ifdef _WIN32

namespace {

std::wstring wide(const std::string& utf8) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring text(size > 0 ? static_cast<std::size_t>(size) : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, text.data(), size);
    text.resize(text.size() - 1);
    return text;
}

std::string utf8(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
    bytes.resize(bytes.size() - 1);
    return bytes;
}

}  // namespace

bool create_page_file(owned_stream& file, std::string& path, std::string& error) {
    wchar_t folder[MAX_PATH + 1];
    const DWORD size = GetTempPathW(MAX_PATH + 1, folder);
    if (size == 0 || size > MAX_PATH) {
        error = "no temporary folder";
        return false;
    }
    // Names tried in turn from a start that differs from run to run.
    const unsigned long start = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (unsigned long k = 0; k < 100; ++k) {
        wchar_t name[32];
        swprintf(name, 32, L"crdview-%06lx.html", (start + k * 7919) & 0xFFFFFF);
        const std::wstring page = std::wstring(folder) + name;
        const HANDLE handle = CreateFileW(page.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) {
                continue;
            }
            break;
        }
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
        std::FILE* stream = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
        if (!stream) {
            fd >= 0 ? _close(fd) : CloseHandle(handle);
            break;
        }
        file.reset(stream);
        path = utf8(page);
        return true;
    }
    error = utf8(folder) + ": no new file could be made there";
    return false;
}

bool open_with_viewer(const std::string& path, std::string& error) {
    const auto done = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", wide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (done <= 32) {
        error = "Windows found no program to open it with (error " + std::to_string(done) + ")";
        return false;
    }
    return true;
}

bool console_of_its_own() {
    DWORD processes[2];
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0 &&
           GetConsoleProcessList(processes, 2) == 1;
}

void wait_for_key() {
    (void)_getwch();
}

#else

bool create_page_file(owned_stream& file, std::string& path, std::string& error) {
    const char* folder = std::getenv("TMPDIR");
    path = folder && *folder ? folder : "/tmp";
    path += path.back() == '/' ? "crdview-XXXXXX.html" : "/crdview-XXXXXX.html";
    // mkstemps makes the file new (O_EXCL), readable and writable by its owner alone.
    const int fd = mkstemps(path.data(), 5);
    std::FILE* stream = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (!stream) {
        error = path + ": " + std::strerror(errno);
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    file.reset(stream);
    return true;
}

#ifdef __EMSCRIPTEN__

bool open_with_viewer(const std::string&, std::string& error) {
    error = "a web page has no viewer to hand it to";
    return false;
}

#else

bool open_with_viewer(const std::string& path, std::string& error) {
#ifdef __APPLE__
    const char* viewer = "open";
#else
    const char* viewer = "xdg-open";
#endif
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    char* const arguments[] = {const_cast<char*>(viewer), const_cast<char*>(path.c_str()), nullptr};
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, viewer, &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        error = std::string("cannot run ") + viewer + ": " + std::strerror(spawned);
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            error = std::string(viewer) + ": " + std::strerror(errno);
            return false;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error =
            std::string(viewer) +
            (WIFEXITED(status) ? " failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")"
                               : " was stopped by a signal");
        return false;
    }
    return true;
}

#endif

bool console_of_its_own() {
    return false;
}

void wait_for_key() {}

#endif
