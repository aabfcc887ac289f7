#pragma once
// Game pads, read as the keys they stand for: the game asks KInput for keys and
// never learns which device played. Pads come and go while the game runs.
#include "KInput.h"

union SDL_Event;

class KGamepad {
public:
    static void start();   // open the pads plugged in now and watch for others
    static void stop();    // close them all
    static bool holds(EKeyboardLayout key);   // a pad's button or stick reads as this key now
    static EKeyboardLayout keyPressed(const SDL_Event &event);   // the key a button press or a stick's tilt stands for; K_VK_COUNT: none
    static bool handleEvent(const SDL_Event &event);   // false: the pad's own event, not queued
    static void dropMotion();   // raw stick and button events, read here only as state
    static int count();         // pads open now
};
