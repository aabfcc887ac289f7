#include "spies.h"

#include <map>

#include "KSound.h"

namespace {
std::vector<std::string> urls;
int lastEffectVolume = -1;
std::map<KSound *, int> playCounts;
}

namespace spies {
void reset() {
    urls.clear();
    lastEffectVolume = -1;
    playCounts.clear();
}
const std::vector<std::string> &openedUrls() { return urls; }
int effectVolume() { return lastEffectVolume; }
int plays(KSound *sound) { return playCounts[sound]; }
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
}
