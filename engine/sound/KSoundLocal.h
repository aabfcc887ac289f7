#pragma once
// What stands behind a KSound on the OpenAL device: for the sound code and its tests.
#include <AL/al.h>
#include <AL/alc.h>

#include <vector>

#include "KSound.h"

struct KSoundDevice {
    ALCdevice *device = nullptr;
    ALCcontext *context = nullptr;
    void (*pause)(ALCdevice *) = nullptr;    // the device can rest, when it offers that
    void (*resume)(ALCdevice *) = nullptr;
    bool paused = false;
    uint32_t checkedAt = 0;                  // ms time of the last look for a playing voice
    std::vector<ALuint> voices;              // the source of every sound holding a buffer
};

struct KSoundBuffer {
    ALuint buffer = 0;
    ALuint source = 0;     // the voice: a sound never overlaps itself, so one is enough
    ALenum format = 0;
    ALsizei frequency = 0;
    ALsizei size = 0;      // bytes, whole sample frames
};
