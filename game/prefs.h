#pragma once
#include <cstdint>

// The player's preferences, stored raw as "prefs.raw" where saves live (beside the
// executable, or the per-user folder of an installed game).
struct sPrefs {
    int32_t volume = 100;      // slider position 0..116
    int32_t gameMode = 0;      // 0 sixty seconds, 1 five minutes, 2 million, 3 relax
    int32_t difficulty = 1;    // 0..2
    int32_t scoretab = 0;      // high-score tab 0..3
    int32_t bubbleset = 0;     // gem-set number
};

extern sPrefs prefs;
extern int32_t gSkin;      // 0 "Classic", 1 "For Her", 2 "For Him": chosen and stored by the start-up dialog

void loadPrefs();                                  // read "prefs.raw" into prefs, clamp volume, mode and difficulty, set the effect volume; no file keeps everything
void savePrefs();                                  // write prefs to "prefs.raw", replacing it atomically
int32_t effectVolumePercent(int32_t sliderVolume); // slider pixels to effect master volume: volume * 100 / 117, limited to 0..100
void applyEffectVolume();                          // effect master volume from prefs.volume (music master unchanged)
