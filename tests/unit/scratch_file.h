// A named file in the working directory for tests that need a path, or a
// stream that cannot be read; removed when the test ends.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

struct scratch_file {
    std::string path;

    scratch_file(std::string name, std::string_view bytes) : path(std::move(name)) {
        if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    ~scratch_file() { std::remove(path.c_str()); }
    scratch_file(const scratch_file&) = delete;
    scratch_file& operator=(const scratch_file&) = delete;
};
