#include "input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
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

// Copies `size` bytes at most of `from` into `to`, block by block; false
// (errno set) when a read or a write fails.
bool copy_bytes(std::FILE* from, std::FILE* to, std::uint64_t size) {
    std::vector<char> block(SPOOL_BLOCK_SIZE);
    while (size > 0) {
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(size, block.size()));
        const std::size_t got = std::fread(block.data(), 1, wanted, from);
        if (got > 0 && std::fwrite(block.data(), 1, got, to) != got) {
            return false;
        }
        size -= got;
        if (got < wanted) {
            return !std::ferror(from);
        }
    }
    return true;
}

// Copies what remains of `from` into a temporary file: the first bytes that
// `rule` looks at, then as many more as it allows.
card_input spool(std::FILE* from, const spool_rule& rule) {
    card_input input;
    errno = 0;
    std::string first(rule.peek, '\0');
    first.resize(std::fread(&first[0], 1, first.size(), from));
    input.owned.reset(temporary_file());
    if (!input.owned) {
        input.error = errno ? errno : EIO;
        return input;
    }
    const std::uint64_t limit =
        std::max<std::uint64_t>(rule.limit ? rule.limit(first) : UINT64_MAX, first.size());
    bool copied = !std::ferror(from) &&
                  std::fwrite(first.data(), 1, first.size(), input.owned.get()) == first.size();
    if (copied && first.size() == rule.peek && limit > first.size()) {
        copied = copy_bytes(from, input.owned.get(), limit - first.size());
        // Whether the input goes on beyond the limit: one more byte tells.
        char more = 0;
        input.cut = copied && std::fread(&more, 1, 1, from) == 1;
        input.limit = limit;
    }
    if (!copied || std::fflush(input.owned.get()) != 0 ||
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

card_input open_card_input(const char* path, const spool_rule& rule) {
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
    return spool(input.file, rule);
}
