#include "web_run.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "cli/cli.h"
#include "web/zip.h"

namespace {

struct file_closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using owned_file = std::unique_ptr<std::FILE, file_closer>;

struct directory_closer {
    void operator()(DIR* dir) const { closedir(dir); }
};

// What `file` holds from its start.
std::string file_bytes(std::FILE* file) {
    std::string bytes;
    if (!file || std::fflush(file) != 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        return bytes;
    }
    std::vector<char> block(64 * 1024);
    std::size_t got;
    while ((got = std::fread(block.data(), 1, block.size(), file)) > 0) {
        bytes.append(block.data(), got);
    }
    return bytes;
}

// The names of the regular files in `dir`, in order.
std::vector<std::string> files_in(const std::string& dir) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, directory_closer> listing(opendir(dir.c_str()));
    if (!listing) {
        return names;
    }
    while (const dirent* entry = readdir(listing.get())) {
        struct stat info {};
        const std::string name = entry->d_name;
        if (lstat((dir + "/" + name).c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

void empty_directory(const std::string& dir) {
    for (const std::string& name : files_in(dir)) {
        unlink((dir + "/" + name).c_str());
    }
}

// The extracted files of `dir` in a zip archive, each removed once read.
void zip_directory(const std::string& dir, web_result& result) {
    zip_writer zip;
    for (const std::string& name : files_in(dir)) {
        const std::string path = dir + "/" + name;
        const owned_file file(std::fopen(path.c_str(), "rb"));
        const std::string bytes = file_bytes(file.get());
        unlink(path.c_str());
        if (!add_zip_entry(zip, name, bytes)) {
            result.messages +=
                "crdview: the pictures and objects are too many or too large "
                "for one zip archive\n";
            result.status = EXIT_NOT_LISTED;
            empty_directory(dir);
            return;
        }
        ++result.files;
    }
    result.output = finish_zip(zip);
}

}  // namespace

web_result run_web(const std::vector<std::string>& names, const web_request& request,
                   const std::string& scratch_dir) {
    const bool pictures = request.format == "pictures";
    std::vector<std::string> words{"crdview",
                                   "--format=" + (pictures ? "listing" : request.format)};
    if (!request.encoding.empty()) {
        words.push_back("--encoding=" + request.encoding);
    }
    if (!request.find.empty()) {
        words.push_back("--find=" + request.find);
    }
    if (!request.cards.empty()) {
        words.push_back("--card=" + request.cards);
    }
    if (pictures) {
        empty_directory(scratch_dir);
        words.push_back("--extract=" + scratch_dir);
    }
    words.push_back("--");  // a file may be called "-e"
    for (const std::string& name : names) {
        words.push_back(name == "-" ? "./-" : name);  // not standard input
    }
    std::vector<const char*> argv;
    for (const std::string& word : words) {
        argv.push_back(word.c_str());
    }

    web_result result;
    const owned_file out(pictures ? std::fopen("/dev/null", "wb") : std::tmpfile());
    const owned_file err(std::tmpfile());
    if (!out || !err) {
        result.status = EXIT_NOT_LISTED;
        result.messages = "crdview: no room for the output\n";
        return result;
    }
    result.status = run_crdview(static_cast<int>(argv.size()), argv.data(), out.get(), err.get());
    if (std::ferror(out.get())) {
        result.status = EXIT_NOT_LISTED;
    }
    result.messages = file_bytes(err.get());
    if (pictures) {
        zip_directory(scratch_dir, result);
    } else {
        result.output = file_bytes(out.get());
    }
    return result;
}
