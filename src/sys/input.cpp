#include "input.h"

#include <cerrno>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr std::size_t SPOOL_BLOCK_SIZE = 64 * 1024;

// A new temporary file, open for reading and writing, removed when closed
// (on Windows, in the user's temporary folder).
std::FILE* temporary_file() {
#ifdef _WIN32
    wchar_t folder[MAX_PATH + 1];
    const DWORD size = GetTempPathW(MAX_PATH + 1, folder);
    wchar_t name[MAX_PATH + 1];
    if (size == 0 || size > MAX_PATH || GetTempFileNameW(folder, L"crd", 0, name) == 0) {
        errno = EACCES;
        return nullptr;
    }
    // "T": kept in memory where it can be; "D": deleted when closed.
    std::FILE* file = _wfopen(name, L"w+bTD");
    if (!file) {
        DeleteFileW(name);
    }
    return file;
#else
    return std::tmpfile();
#endif
}

bool can_seek(std::FILE* file) {
    return std::fseek(file, 0, SEEK_END) == 0 && std::ftell(file) >= 0 &&
           std::fseek(file, 0, SEEK_SET) == 0;
}

// Copies what remains of `from` into a temporary file, block by block.
card_input spool(std::FILE* from) {
    card_input input;
    input.owned.reset(temporary_file());
    if (!input.owned) {
        input.error = errno ? errno : EIO;
        return input;
    }
    std::vector<char> block(SPOOL_BLOCK_SIZE);
    std::size_t got;
    errno = 0;
    while ((got = std::fread(block.data(), 1, block.size(), from)) > 0) {
        if (std::fwrite(block.data(), 1, got, input.owned.get()) != got) {
            input.error = errno ? errno : EIO;
            input.owned.reset();
            return input;
        }
    }
    if (std::ferror(from) || std::fflush(input.owned.get()) != 0 ||
        std::fseek(input.owned.get(), 0, SEEK_SET) != 0) {
        input.error = errno ? errno : EIO;
        input.owned.reset();
        return input;
    }
    std::setvbuf(input.owned.get(), nullptr, _IONBF, 0);
    input.file = input.owned.get();
    return input;
}

}  // namespace

card_input open_card_input(const char* path) {
    const bool standard_input = std::strcmp(path, "-") == 0;
    card_input input;
    if (standard_input) {
        // The reader keeps its own blocks (this must come before any other use).
        std::setvbuf(stdin, nullptr, _IONBF, 0);
        input.file = stdin;
    } else {
        errno = 0;
        input.owned.reset(std::fopen(path, "rb"));
        if (!input.owned) {
            input.error = errno ? errno : ENOENT;
            return input;
        }
        // The reader keeps its own blocks; stdio buffering would only copy them twice.
        std::setvbuf(input.owned.get(), nullptr, _IONBF, 0);
        input.file = input.owned.get();
    }
    if (can_seek(input.file)) {
        return input;
    }
    std::clearerr(input.file);
    return spool(input.file);
}
