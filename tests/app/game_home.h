#pragma once
// A scratch folder standing in for the game's own, with its data folder.
#include <cstring>

#include <sys/stat.h>

#include "KMiscTools.h"
#include "temp_dir.h"

struct GameHome : TempDir {
    GameHome() {
        mkdir(path("data").c_str(), 0755);
        std::strcpy(KMiscTools::currentFilePath, root().c_str());
    }
};
