#pragma once
// A private scratch folder under $TMPDIR (else /tmp), removed with everything in it.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TempDir {
public:
    explicit TempDir(const std::string &prefix = "brolix") {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort();
        root_ = pattern;
    }
    ~TempDir() { std::filesystem::remove_all(root_); }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &root() const { return root_; }
    std::string path(const std::string &relative) const { return root_ + "/" + relative; }

    void write(const std::string &relative, const std::string &bytes) const {
        std::ofstream(path(relative), std::ios::binary) << bytes;
    }
    std::string read(const std::string &relative) const {
        std::ifstream in(path(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string root_;
};

// One word for the shell, whatever it holds.
inline std::string shellQuoted(const std::string &text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline std::string commandOutput(const std::string &command) {
    std::string out;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char chunk[256];
        while (size_t n = fread(chunk, 1, sizeof chunk, pipe)) out.append(chunk, n);
        pclose(pipe);
    }
    return out;
}
