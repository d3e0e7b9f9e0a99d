// Files and directories beyond what standard C++ offers: files created only
// where none exists, replaced only when they are regular files, never
// through a symbolic link; directories made as mkdir -p makes them.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

// A stream that is closed when it goes out of scope.
struct stream_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using owned_stream = std::unique_ptr<std::FILE, stream_closer>;

enum open_outcome { FILE_OPENED, FILE_LEFT, FILE_FAILED };

// Opens `path` for writing bytes: created new, or, when it exists and
// `overwrite` allows, replaced if it is a regular file (never through a
// symbolic link, never a FIFO or a device). FILE_LEFT, with `why` in words,
// when it exists and is left as it is; FILE_FAILED, with `error` ("PATH:
// reason"), when it cannot be opened.
[[nodiscard]] open_outcome open_new_file(const std::string& path, bool overwrite, owned_stream& out,
                                         std::string& error, const char*& why);

// Whether `path` names a directory (which some systems refuse to open as a
// file, and others open and then fail to read).
[[nodiscard]] bool is_directory(const char* path);

// Makes `dir` and its missing parents, as mkdir -p does, and tells whether it
// is then a directory that crdview may create files in.
[[nodiscard]] bool make_writable_directory(const std::string& dir);

// Whether `dir` is an existing directory that crdview may create files in.
[[nodiscard]] bool writable_directory(const std::string& dir);
