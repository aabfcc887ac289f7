#pragma once
// A scratch folder standing in for the game's own, with its data folder.
#include <cstring>

#include "KMiscTools.h"
#include "temp_dir.h"

struct GameHome : TempDir {
    GameHome() {
        std::filesystem::create_directory(path("data"));
        std::strcpy(KMiscTools::currentFilePath, root().c_str());
    }
};
