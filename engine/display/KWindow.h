#pragma once
// The game window and its GL context; one per process.
// (Interface grows with the window work; the board only pumps events.)

class KWindow {
public:
    static void processEvents();       // take at most one pending event
    static bool isQuit();              // true once the player closed the window
};
