#include "KSound.h"

// Silent until the sound device work lands: every sound is a no-op.
KSound::KSound() {}
KSound::~KSound() {}
void KSound::playSample() {}
bool KSound::isPlaying() { return false; }
