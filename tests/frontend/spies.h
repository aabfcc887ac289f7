#pragma once
// What the game asked of the desktop and the sound device (the tests replace
// KMiscTools::launchURL, KSound::setGlobalVolumes and KSound::playSample at link time).
#include <string>
#include <vector>

class KSound;

namespace spies {
void reset();
const std::vector<std::string> &openedUrls();   // launchURL calls, in order (nothing is really opened)
int effectVolume();                             // last effect master volume asked for, -1 before any
int plays(KSound *sound);                       // plays of this sound since reset (it still plays)
}
