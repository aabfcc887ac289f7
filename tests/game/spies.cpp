#include "spies.h"

#include <map>

#include "KPlatform.h"

namespace {
std::vector<std::string> urls;
int lastEffectVolume = -1;
std::map<KSound *, int> playCounts;
}  // namespace

namespace spies {
void reset() {
    urls.clear();
    lastEffectVolume = -1;
    playCounts.clear();
    KPlatform &calls = KPlatform::calls;
    calls.launchURL = [](const char *url, bool) { urls.push_back(url); };
    calls.setGlobalVolumes = [](int music, int effects) {
        if (effects >= 0) lastEffectVolume = effects;
        KPlatform::native.setGlobalVolumes(music, effects);
    };
    calls.playSample = [](KSound *sound) { playCounts[sound]++; };
    calls.isPlaying = [](KSound *sound) { return playCounts[sound] > 0; };   // once played, for good
}
const std::vector<std::string> &openedUrls() { return urls; }
int effectVolume() { return lastEffectVolume; }
int plays(KSound *sound) { return playCounts[sound]; }
std::vector<int> plays(std::initializer_list<KSound *> sounds) {
    std::vector<int> counts;
    for (KSound *sound : sounds) counts.push_back(plays(sound));
    return counts;
}
}  // namespace spies
