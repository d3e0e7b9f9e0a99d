#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

void close_descriptor(int fd) {
#ifdef _WIN32
    _close(fd);
#else
    close(fd);
#endif
}

// Why a file that exists is left as it is; nullptr when `overwrite` lets it
// be replaced (a regular file, not a symbolic link).
const char* left_as_it_is(const std::string& path, bool overwrite) {
    if (!overwrite) {
        return "exists, left as it is";
    }
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return "not a regular file, left as it is";
    }
#else
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return S_ISLNK(info.st_mode) ? "a symbolic link, left as it is"
                                     : "not a regular file, left as it is";
    }
#endif
    return nullptr;
}

// Opens an existing regular file at `path` to replace what it holds; -1
// (errno set) when it is no longer one.
int open_to_replace(const std::string& path) {
#ifdef _WIN32
    return _open(path.c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY);
#else
    // Never through a symbolic link, never blocked by a FIFO put there meanwhile.
    const int fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ELOOP || errno == ENXIO) {
            errno = EEXIST;  // a symbolic link or a FIFO now
        }
        return -1;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        errno = EEXIST;
        return -1;
    }
    if (ftruncate(fd, 0) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
#endif
}

}  // namespace

open_outcome open_new_file(const std::string& path, bool overwrite, owned_stream& out,
                           std::string& error, const char*& why) {
#ifdef _WIN32
    int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, 0644);
#else
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
#endif
    if (fd < 0 && errno == EEXIST) {
        why = left_as_it_is(path, overwrite);
        if (why) {
            return FILE_LEFT;
        }
        fd = open_to_replace(path);
        if (fd < 0 && errno == EEXIST) {
            why = "not a regular file, left as it is";
            return FILE_LEFT;
        }
    }
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return FILE_FAILED;
    }
    out.reset(fdopen(fd, "wb"));
    if (!out) {
        error = path + ": " + std::strerror(errno);
        close_descriptor(fd);
        return FILE_FAILED;
    }
    return FILE_OPENED;
}

bool is_directory(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool make_writable_directory(const std::string& dir) {
    // Each parent in turn, then the directory itself; those that exist stay.
    for (std::size_t end = 1; end <= dir.size(); ++end) {
        if (end != dir.size() && dir[end] != '/' && dir[end] != '\\') {
            continue;
        }
        const std::string part = dir.substr(0, end);
        if (part.back() == ':') {
            continue;  // a drive ("C:")
        }
#ifdef _WIN32
        (void)_mkdir(part.c_str());
#else
        (void)mkdir(part.c_str(), 0777);
#endif
    }
    return writable_directory(dir);
}

bool writable_directory(const std::string& dir) {
#ifdef _WIN32
    struct _stat info;
    return _stat(dir.c_str(), &info) == 0 && (info.st_mode & _S_IFDIR) != 0 &&
           _access(dir.c_str(), 2) == 0;
#else
    struct stat info;
    return stat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           access(dir.c_str(), W_OK | X_OK) == 0;
#endif
}
