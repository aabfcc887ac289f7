#pragma once
class KSound;

// The nine sound effects; created at start-up and alive until shutdown.
extern KSound *snd_click, *snd_good, *snd_lose, *snd_swap, *snd_hint;
extern KSound *snd_nohint, *snd_zap, *snd_bomb, *snd_zapattack;

void loadSounds();   // create and load all nine (the first opens the sound device); a missing file stays silent
void freeSounds();   // destroy them in creation order and clear the pointers (the last closes the device)
