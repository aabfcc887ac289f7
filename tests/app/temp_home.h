#pragma once
// A private folder standing in for the executable's folder (with its data/
// folder), so tests read and write the game's files without touching anything
// real. Removed again with everything in it.

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "KMiscTools.h"

class TempHome {
public:
    TempHome() {
        char pattern[] = "/tmp/brolix-home-XXXXXX";
        root_ = mkdtemp(pattern);
        std::filesystem::create_directory(root_ + "/data");
        std::strncpy(KMiscTools::currentFilePath, root_.c_str(), sizeof KMiscTools::currentFilePath - 1);
    }
    ~TempHome() { std::filesystem::remove_all(root_); }
    TempHome(const TempHome &) = delete;
    TempHome &operator=(const TempHome &) = delete;

    std::string path(const std::string &relative) const { return root_ + "/" + relative; }

    void write(const std::string &relative, const void *data, size_t size) const {
        std::ofstream(path(relative), std::ios::binary).write(static_cast<const char *>(data), size);
    }

    std::vector<unsigned char> read(const std::string &relative) const {
        std::ifstream in(path(relative), std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    bool exists(const std::string &relative) const { return std::filesystem::exists(path(relative)); }

    // Everything in a folder of the home, to spot stray temporary files.
    std::vector<std::string> list(const std::string &relative = "") const {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(path(relative)))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
    std::string root_;
};
