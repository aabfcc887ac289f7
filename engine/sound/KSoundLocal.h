#pragma once
// What stands behind a KSound on the OpenAL device: for the sound code and its tests.
#include <AL/al.h>
#include <AL/alc.h>

#include "KSound.h"

struct KSoundDevice {
    ALCdevice *device;
    ALCcontext *context;
};

struct KSoundBuffer {
    ALuint buffer = 0;
    ALuint source = 0;     // the voice: a sound never overlaps itself, so one is enough
    ALenum format = 0;
    ALsizei frequency = 0;
    ALsizei size = 0;      // bytes, whole sample frames
};
