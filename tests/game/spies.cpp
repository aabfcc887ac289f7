#include "spies.h"

#include <map>

#include "KPlatform.h"

namespace {
struct SoundState {
    int plays = 0;
    bool playing = false;
};
std::vector<std::string> urls;
int lastEffectVolume = -1;
std::map<KSound *, SoundState> sounds;

void setVolumes(int music, int effects) {
    if (effects >= 0) lastEffectVolume = effects;
    KPlatform::native.setGlobalVolumes(music, effects);
}
}  // namespace

namespace spies {
void reset() {
    urls.clear();
    lastEffectVolume = -1;
    sounds.clear();
    KPlatform &calls = KPlatform::calls;
    calls.launchURL = [](const char *url, bool) { urls.push_back(url); };
    calls.setGlobalVolumes = setVolumes;
    calls.playSample = [](KSound *sound) { sounds[sound].plays++, sounds[sound].playing = true; };
    calls.isPlaying = [](KSound *sound) { return sounds[sound].playing; };
}
const std::vector<std::string> &openedUrls() { return urls; }
int effectVolume() { return lastEffectVolume; }
int plays(KSound *sound) { return sounds[sound].plays; }
}  // namespace spies
