#pragma once
// A real game window over the built data folder, sounds playing into nothing.
#include <cstdlib>
#include <cstring>

#include "KMiscTools.h"
#include "KWindow.h"

class GameWindow {
public:
    GameWindow() : window_((setenv("ALSOFT_DRIVERS", "null", 1), new KWindow)) {
        window_->createGameWindow(640, 480, 16, true, "Brolix test");
        useGameFolder();   // after the engine has found its own folder
    }
    ~GameWindow() { delete window_; }
    GameWindow(const GameWindow &) = delete;
    GameWindow &operator=(const GameWindow &) = delete;
    // Files are found in (and written to) this folder.
    static void useFolder(const char *folder) {
        std::strncpy(KMiscTools::currentFilePath, folder, sizeof KMiscTools::currentFilePath - 1);
    }
    static void useGameFolder() { useFolder(BROLIX_RUNTIME_DIR); }

private:
    KWindow *window_;
};
