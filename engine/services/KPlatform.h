#pragma once
// Every call the engine makes to the desktop, the input devices, the screen and the
// sound device that a test may want to stand in for, as one table. The engine
// fills it with its own calls; a test changes entries while it holds a Scope.
// One thread only, like the rest of the engine.
#include <cstdint>

#include "KInput.h"

class KSound;

struct KPlatform {
    int16_t (*getMouseX)();                          // pointer x in logical pixels
    int16_t (*getMouseY)();                          // pointer y in logical pixels
    bool (*getLeftButtonState)();                    // left button down now
    void (*setPointerShown)(bool shown);             // the system pointer over the window
    bool (*isPressed)(EKeyboardLayout key);          // key down now
    void (*waitForKeyRelease)(EKeyboardLayout key);  // until the key is up or the window closes
    void (*flipBackBuffer)(bool waitForBackWindow);  // present the frame and pace
    void (*playSample)(KSound *sound);               // play from the start
    bool (*isPlaying)(KSound *sound);                // the sound plays now
    void (*setGlobalVolumes)(int music, int effects);  // master volumes; negative keeps one
    void (*launchURL)(const char *url, bool maximised);  // open with the desktop's application
    void (*messageBox)(const char *title, const char *text);  // modal OK box

    static KPlatform calls;          // what the engine calls now
    static const KPlatform native;   // the engine's own calls
    struct Scope;

private:
    static constexpr KPlatform nativeCalls();
};

// What a test changes in the table lasts as long as one of these: the table as it
// was (the engine's own calls, outside any other Scope) comes back when it ends.
struct KPlatform::Scope {
    Scope() : saved_(calls) {}
    ~Scope() { calls = saved_; }
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

private:
    const KPlatform saved_;
};
