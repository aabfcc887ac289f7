#include "sounds.h"

#include "KMiscTools.h"
#include "KSound.h"

KSound *snd_click, *snd_good, *snd_lose, *snd_swap, *snd_hint;
KSound *snd_nohint, *snd_zap, *snd_bomb, *snd_zapattack;

namespace {

struct SoundEffect {
    KSound **sound;
    const char *file;
};

// Creation and release order.
const SoundEffect kEffects[] = {
    {&snd_click, "data\\audio\\click.wav"},
    {&snd_good, "data\\audio\\good.ogg"},
    {&snd_lose, "data\\audio\\gameover.ogg"},
    {&snd_swap, "data\\audio\\swap.ogg"},
    {&snd_hint, "data\\audio\\hint.ogg"},
    {&snd_nohint, "data\\audio\\nohint.wav"},
    {&snd_zap, "data\\audio\\thunder.ogg"},
    {&snd_bomb, "data\\audio\\bomb.ogg"},
    {&snd_zapattack, "data\\audio\\lifeup.ogg"},
};

// Twice the nominal level: the effects reach full level from a master of 50 up.
const int kEffectVolume = 200;

}  // namespace

void loadSounds() {
    for (const SoundEffect &effect : kEffects) {
        *effect.sound = new KSound;
        (*effect.sound)->loadSample(KMiscTools::makeFilePath(effect.file), kEffectVolume, false);
    }
}

void freeSounds() {
    for (const SoundEffect &effect : kEffects) {
        delete *effect.sound;
        *effect.sound = nullptr;
    }
}
