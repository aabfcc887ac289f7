#pragma once
// Recorders standing in for everything the session loop calls (see session_standins.cpp).
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>
#include "KInput.h"

struct FxDraw {
    float angle, zoom, alpha;
};

struct Script {
    int flips = 0;                                       // frames presented so far
    int quitAtFlip = 1 << 30;                            // the window is closed once this many frames were presented
    std::map<int, std::set<EKeyboardLayout>> keysAt;     // keys held while frame N (flips so far) runs
    bool highScore = false;                              // isHighScore's answer
    std::set<int> missingSets;                           // gem sets that fail to load
    std::function<void()> atShowTimer, atHandleInterface; // run inside those calls
    std::vector<float> fades;                            // gameOverFade at each displayGameOver
    std::vector<FxDraw> fxFrames;                        // every blitAlphaRectFx, in order

    void reset();
    bool keyDown(EKeyboardLayout key) const;
};

extern Script script;
extern std::vector<std::string> trace;   // every recorded call, in order
extern int livePictures, liveTexts;      // pictures and texts created and not destroyed
