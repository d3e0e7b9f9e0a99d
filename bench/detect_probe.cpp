// Runs the code page detector on card files described on standard input, for
// bench/detect_accuracy.py (built by it from src/decode with the system's
// C++ compiler; not part of crdview).
//
// Input: for each file, its number of texts as 4 bytes little-endian, then
// each text as its length (4 bytes little-endian) and its bytes. Output: one
// line a file, "ENCODING WEAK", the page's number (1251 for Windows-1251) and
// 1 for a weak guess, else 0.
//
// With --costs: "HIGH COST..." a file, the bytes 0x80 to 0xFF scored and the
// cost under each page, in the detector's order.
//
// With --time N FILE PAGE: detects the page of FILE's texts (the same layout,
// one file) and converts them all from PAGE (a number, 1251 for
// Windows-1251), each N times, and prints "ENCODING WEAK DETECT CONVERT", the
// best seconds of each, and the bytes of UTF-8 all runs wrote.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "decode/decode.h"
#include "decode/detect.h"

namespace {

bool read_u32(std::FILE* in, std::uint32_t& value) {
    unsigned char bytes[4];
    if (std::fread(bytes, 1, 4, in) != 4) {
        return false;
    }
    value = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return true;
}

bool read_file(std::FILE* in, std::vector<std::string>& texts) {
    std::uint32_t count = 0;
    if (!read_u32(in, count)) {
        return false;
    }
    texts.assign(count, std::string());
    for (std::string& text : texts) {
        std::uint32_t size = 0;
        if (!read_u32(in, size)) {
            return false;
        }
        text.resize(size);
        if (size != 0 && std::fread(&text[0], 1, size, in) != size) {
            return false;
        }
    }
    return true;
}

detection detect(const std::vector<std::string>& texts) {
    code_page_detector detector;
    for (const std::string& text : texts) {
        if (detect_done(detector)) {
            break;
        }
        detect_feed(detector, text);
    }
    return detect_finish(detector);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::vector<std::string> texts;
    if (argc == 5 && std::strcmp(argv[1], "--time") == 0) {
        std::FILE* in = std::fopen(argv[3], "rb");
        if (in == nullptr || !read_file(in, texts)) {
            std::fprintf(stderr, "detect_probe: cannot read %s\n", argv[3]);
            return 1;
        }
        std::fclose(in);
        int page = std::atoi(argv[4]);
        const code_page* page_of = code_page_of(page == 1251 ? ENCODING_WINDOWS_1251 : page);
        std::string converted(utf8_room(1 << 16), '\0');
        double best_detect = 1e9, best_convert = 1e9;
        detection found;
        std::size_t written = 0;
        for (int run = 0; run < std::atoi(argv[2]); ++run) {
            auto start = std::chrono::steady_clock::now();
            found = detect(texts);
            auto middle = std::chrono::steady_clock::now();
            for (const std::string& text : texts) {
                written += static_cast<std::size_t>(
                    decode_text(page_of, std::string_view(text).substr(0, 1 << 16), &converted[0]) -
                    &converted[0]);
            }
            auto end = std::chrono::steady_clock::now();
            std::chrono::duration<double> detect_took = middle - start, convert_took = end - middle;
            best_detect = detect_took.count() < best_detect ? detect_took.count() : best_detect;
            best_convert =
                convert_took.count() < best_convert ? convert_took.count() : best_convert;
        }
        std::printf("%d %d %.6f %.6f %zu\n",
                    found.encoding == ENCODING_WINDOWS_1251 ? 1251 : found.encoding,
                    found.weak ? 1 : 0, best_detect, best_convert, written);
        return 0;
    }
    bool costs = argc == 2 && std::strcmp(argv[1], "--costs") == 0;
    while (read_file(stdin, texts)) {
        if (costs) {
            code_page_detector detector;
            for (const std::string& text : texts) {
                detect_feed(detector, text);
            }
            std::printf("%u", detector.high_bytes);
            for (std::int64_t cost : detect_costs(detector)) {
                std::printf(" %lld", static_cast<long long>(cost));
            }
            std::printf("\n");
            continue;
        }
        detection found = detect(texts);
        std::printf("%d %d\n", found.encoding == ENCODING_WINDOWS_1251 ? 1251 : found.encoding,
                    found.weak ? 1 : 0);
    }
    return 0;
}
