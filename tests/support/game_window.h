#pragma once
// A real game window over the built data folder, sounds playing into nothing.
#include <cstdlib>
#include <memory>

#include "KWindow.h"
#include "game_home.h"

class GameWindow {
public:
    GameWindow() : window_(open()) {}

private:
    static KWindow *open() {
        setenv("ALSOFT_DRIVERS", "null", 1);
        KWindow *window = new KWindow;
        window->createGameWindow(640, 480, 16, true, "Brolix test");
        return window;
    }
    std::unique_ptr<KWindow> window_;
    FilesFrom built_{BROLIX_RUNTIME_DIR};   // after the window, which finds the engine's own folder
};
