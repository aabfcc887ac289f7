#include "spies.h"

#include <map>

#include "KGraphic.h"
#include "KSound.h"

namespace {
std::vector<std::string> urls;
int lastEffectVolume = -1;
std::map<KSound *, int> playCounts;
std::vector<spies::FxBlit> blits;
}

namespace spies {
void reset() {
    urls.clear();
    lastEffectVolume = -1;
    playCounts.clear();
    blits.clear();
}
const std::vector<std::string> &openedUrls() { return urls; }
int effectVolume() { return lastEffectVolume; }
int plays(KSound *sound) { return playCounts[sound]; }
std::vector<FxBlit> &fxBlits() { return blits; }
}

extern "C" {
void __wrap__ZN10KMiscTools9launchURLEPKcb(const char *url, bool) { urls.push_back(url); }

void __real__ZN6KSound16setGlobalVolumesEii(int music, int effects);
void __wrap__ZN6KSound16setGlobalVolumesEii(int music, int effects) {
    if (effects >= 0) lastEffectVolume = effects;
    __real__ZN6KSound16setGlobalVolumesEii(music, effects);
}

void __real__ZN6KSound10playSampleEv(KSound *sound);
void __wrap__ZN6KSound10playSampleEv(KSound *sound) {
    playCounts[sound]++;
    __real__ZN6KSound10playSampleEv(sound);
}

void __real__ZN8KGraphic15blitAlphaRectFxEffffssfffbb(KGraphic *, float, float, float, float, int16_t, int16_t, float,
                                                       float, float, bool, bool);
void __wrap__ZN8KGraphic15blitAlphaRectFxEffffssfffbb(KGraphic *picture, float sx1, float sy1, float sx2, float sy2,
                                                       int16_t dx, int16_t dy, float angle, float zoom, float alpha,
                                                       bool flipX, bool flipY) {
    blits.push_back({picture, sx1, sy1, sx2, sy2, dx, dy, angle, zoom, alpha});
    __real__ZN8KGraphic15blitAlphaRectFxEffffssfffbb(picture, sx1, sy1, sx2, sy2, dx, dy, angle, zoom, alpha, flipX,
                                                      flipY);
}
}
