#pragma once
// A real game window over the built data folder, for tests that draw what the
// player sees and take their input from inputScript.
#include <cstdlib>
#include <cstring>

#include "KMiscTools.h"
#include "KWindow.h"

class GameWindow {
public:
    GameWindow() {
        setenv("ALSOFT_DRIVERS", "null", 1);   // sounds load and play into nothing
        window_ = new KWindow;
        window_->createGameWindow(640, 480, 16, true, "Brolix test");
        useGameFolder();   // after the engine has found its own folder
    }
    ~GameWindow() { delete window_; }
    GameWindow(const GameWindow &) = delete;
    GameWindow &operator=(const GameWindow &) = delete;

    // Files are found in (and written to) the folder of the built game.
    static void useGameFolder() { useFolder(BROLIX_RUNTIME_DIR); }
    static void useFolder(const char *folder) {
        std::strncpy(KMiscTools::currentFilePath, folder, sizeof KMiscTools::currentFilePath - 1);
    }

private:
    KWindow *window_;
};
