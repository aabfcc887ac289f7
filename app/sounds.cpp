#include "sounds.h"
#include "KSound.h"

KSound *snd_click, *snd_good, *snd_lose, *snd_swap, *snd_hint;
KSound *snd_nohint, *snd_zap, *snd_bomb, *snd_zapattack;
