#pragma once
// Where the game's files are found and written while a test or a benchmark runs.
#include <filesystem>
#include <string>

#include "KMiscTools.h"
#include "temp_dir.h"

// The game's files are named from this folder while it lives.
class FilesFrom {
public:
    explicit FilesFrom(const std::string &folder) : before_(KMiscTools::getGameFolder()) {
        KMiscTools::setGameFolder(folder.c_str());
    }
    ~FilesFrom() { KMiscTools::setGameFolder(before_.c_str()); }
    FilesFrom(const FilesFrom &) = delete;
    FilesFrom &operator=(const FilesFrom &) = delete;

private:
    const std::string before_;
};

// A scratch folder with an empty data folder, standing in for the game's own.
class GameHome : public TempDir {
public:
    GameHome() : TempDir("brolix-home"), filesFrom_((std::filesystem::create_directory(path("data")), root())) {}

private:
    FilesFrom filesFrom_;
};
