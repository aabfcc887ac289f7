#pragma once
// Older helpers, kept while tests/game, tests/frontend and bench use them (new ones: gl_window.h).
// Picture files for loader tests, made at test time by a real encoder (ImageMagick's
// convert) in a private temporary folder that disappears with the test.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace picfiles {

// The packaged encoder; a convert earlier on PATH may be a wrapper.
inline std::string convertTool() { return access("/usr/bin/convert", X_OK) == 0 ? "/usr/bin/convert" : "convert"; }

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/brolix-pictures-XXXXXX";
        const char *made = mkdtemp(pattern);
        path_ = made ? made : "";
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Runs convert with the given arguments (file names already inside them).
inline bool convert(const std::string &args) {
    const std::string command = convertTool() + " " + args + " 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

inline std::vector<unsigned char> readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string &path, const std::vector<unsigned char> &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

// An uncompressed TGA built byte by byte: header, then rows as given (B, G, R[, A]).
inline std::vector<unsigned char> tgaBytes(uint16_t w, uint16_t h, uint8_t depth,
                                           const std::vector<unsigned char> &pixels) {
    // Sized once: growing an 18-byte vector trips a false array-bounds warning in GCC 12 -O3.
    std::vector<unsigned char> b(18 + pixels.size(), 0);
    b[2] = 2;
    b[12] = uint8_t(w), b[13] = uint8_t(w >> 8);
    b[14] = uint8_t(h), b[15] = uint8_t(h >> 8);
    b[16] = depth;
    std::copy(pixels.begin(), pixels.end(), b.begin() + 18);
    return b;
}

}  // namespace picfiles
