#include "prefs.h"

#include <algorithm>
#include <string>

#include "KSound.h"
#include "storage.h"

// The file is the record's memory image: five little-endian 32-bit fields.
static_assert(sizeof(sPrefs) == 20, "prefs.raw holds exactly five 32-bit fields");
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "prefs.raw is read as a little-endian image");

sPrefs prefs;
int32_t gSkin = 0;

static const char kPrefsFile[] = "prefs.raw";

// A damaged file may hold any value; the menu draws the knob at volume + 176.
static void clampMenuChoices() {
    prefs.volume = std::clamp<int32_t>(prefs.volume, 0, 116);
    prefs.difficulty = std::clamp<int32_t>(prefs.difficulty, 0, 2);
    prefs.gameMode = std::clamp<int32_t>(prefs.gameMode, 0, 3);
}

int32_t effectVolumePercent(int32_t sliderVolume) {
    // 64-bit product: a damaged file may hold any 32-bit value.
    int64_t percent = static_cast<int64_t>(sliderVolume) * 100 / 117;
    return static_cast<int32_t>(std::clamp<int64_t>(percent, 0, 100));
}

void applyEffectVolume() {
    KSound::setGlobalVolumes(-1, effectVolumePercent(prefs.volume));
}

void loadPrefs() {
    // A short file replaces only the leading fields it holds.
    if (loadStoredFile(kPrefsFile, &prefs, sizeof prefs) < 0) return;
    clampMenuChoices();
    applyEffectVolume();
}

void savePrefs() {
    saveStoredFile(kPrefsFile, &prefs, sizeof prefs);
}
