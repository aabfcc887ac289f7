#pragma once
#include <cstdint>

// The player's preferences, stored raw as "prefs.raw" beside the executable.
struct sPrefs {
    int32_t volume = 100;      // slider position 0..116
    int32_t gameMode = 0;      // 0 sixty seconds, 1 five minutes, 2 million, 3 relax
    int32_t difficulty = 1;    // 0..2
    int32_t scoretab = 0;      // high-score tab 0..3
    int32_t bubbleset = 0;     // gem-set number
};

extern sPrefs prefs;
