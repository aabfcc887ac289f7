#pragma once
// What the game asked of the desktop and the sound device (volumes still reach the engine).
#include <initializer_list>
#include <string>
#include <vector>

class KSound;

namespace spies {
void reset();                                   // installs the spies, forgetting what they saw
const std::vector<std::string> &openedUrls();   // launchURL calls, in order (nothing is really opened)
int effectVolume();                             // last effect master volume asked for, -1 before any
int plays(KSound *sound);                       // plays since reset; none is heard, and each then plays for good
std::vector<int> plays(std::initializer_list<KSound *> sounds);
}
