#pragma once
// What the game asked of the desktop, the sound device and the screen (the tests replace
// KMiscTools::launchURL, KSound::setGlobalVolumes, KSound::playSample and
// KGraphic::blitAlphaRectFx at link time).
#include <string>
#include <vector>

class KGraphic;
class KSound;

namespace spies {
void reset();
const std::vector<std::string> &openedUrls();   // launchURL calls, in order (nothing is really opened)
int effectVolume();                             // last effect master volume asked for, -1 before any
int plays(KSound *sound);                       // plays of this sound since reset (it still plays)

struct FxBlit {
    const KGraphic *picture;
    float sx1, sy1, sx2, sy2;
    int dx, dy;
    float angle, zoom, alpha;
};
std::vector<FxBlit> &fxBlits();                 // turned, zoomed and faded blits since reset (they still draw)
}
