#include "KSound.h"

#include <dumb.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include <AL/efx.h>

#include "KMiscTools.h"
#include "KPlatform.h"
#include "KSoundLocal.h"

KSoundDevice *KSound::directSoundPtr = nullptr;
int KSound::_instanceCount = 0;
int KSound::_masterSFXvolume = 100;
int KSound::_masterMUSICvolume = 100;
float KSound::gFREQUENCY = 0;
bool KSound::_acceleratedDSound = false;

const int KSound::fechnerTable[101] = {
    10000, 6623, 5623, 5495, 5370, 5248, 5129, 5012, 4898, 4786,
    4677, 4571, 4467, 4365, 4266, 4169, 4074, 3981, 3890, 3802,
    3715, 3631, 3548, 3467, 3388, 3311, 3236, 3162, 3090, 3020,
    2951, 2884, 2818, 2754, 2692, 2630, 2570, 2512, 2455, 2399,
    2344, 2291, 2239, 2188, 2138, 2089, 2042, 1995, 1950, 1905,
    1862, 1820, 1778, 1738, 1698, 1660, 1622, 1585, 1549, 1514,
    1479, 1445, 1413, 1380, 1349, 1318, 1288, 1259, 1230, 1202,
    1175, 1148, 1122, 1096, 1072, 1070, 1068, 1066, 1064, 1062,
    1060, 1058, 1056, 1054, 1052, 1050, 1048, 1046, 1044, 1042,
    1040, 1038, 1032, 1030, 1028, 1000, 800, 600, 400, 200,
    0,
};

namespace {

const char kFormatTag[4] = {'f', 'm', 't', ' '};
const char kDataTag[4] = {'d', 'a', 't', 'a'};
const uint32_t kPcmRecordBytes = 16;   // a wave-format record without its extra-size field
const uint32_t kQuietCheckMs = 250;     // how often a quiet device is looked at

uint16_t readLE16(const unsigned char *p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// In host order, as the file holds it; flipLong makes it little-endian.
uint32_t rawWord32(const unsigned char *p) {
    uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// The device's sample layout for a format, or 0 when it cannot play it.
ALenum alFormatOf(const KWaveFormat *format) {
    if (!format || format->formatTag != 1 || format->samplesPerSec == 0 ||
        format->samplesPerSec > static_cast<uint32_t>(std::numeric_limits<ALsizei>::max()))
        return 0;
    if (format->blockAlign != format->channels * format->bitsPerSample / 8) return 0;
    if (format->channels == 1 && format->bitsPerSample == 8) return AL_FORMAT_MONO8;
    if (format->channels == 1 && format->bitsPerSample == 16) return AL_FORMAT_MONO16;
    if (format->channels == 2 && format->bitsPerSample == 8) return AL_FORMAT_STEREO8;
    if (format->channels == 2 && format->bitsPerSample == 16) return AL_FORMAT_STEREO16;
    return 0;
}

// Attenuation in hundredths of a decibel to a linear gain; the table's last step is silence.
float gainOf(int millibels) {
    if (millibels <= -10000) return 0.0f;
    return static_cast<float>(std::pow(10.0, millibels / 2000.0));
}

// Buffer data can only change while no voice holds the buffer.
bool uploadToBuffer(const KSoundBuffer &b, const unsigned char *bytes, ALsizei size) {
    alGetError();
    alSourceStop(b.source);
    alSourcei(b.source, AL_BUFFER, 0);
    alBufferData(b.buffer, b.format, bytes, size, b.frequency);
    alSourcei(b.source, AL_BUFFER, static_cast<ALint>(b.buffer));
    return alGetError() == AL_NO_ERROR;
}

// The device has no notion of lost memory; a buffer that is gone or no longer
// attached to its voice is the nearest thing, and is refilled the same way.
bool bufferLost(const KSoundBuffer &b) {
    ALint attached = 0;
    alGetSourcei(b.source, AL_BUFFER, &attached);
    return !alIsBuffer(b.buffer) || static_cast<ALuint>(attached) != b.buffer;
}

// OpenAL Soft's wave writer resumes writing over its file's header after a pause.
bool isWaveWriter(ALCdevice *device) {
    const ALCchar *name = alcIsExtensionPresent(nullptr, "ALC_ENUMERATE_ALL_EXT")
                              ? alcGetString(device, ALC_ALL_DEVICES_SPECIFIER)
                              : nullptr;
    return name && std::strcmp(name, "Wave File Writer") == 0;
}

}  // namespace

// --- Device -----------------------------------------------------------------

KSound::KSound() {
    if (_instanceCount == 0) init();
    if (directSoundPtr) {
        ++_instanceCount;
        _counted = true;
    }
}

KSound::~KSound() {
    _ready = false;
    freeAllocatedData();
    if (_counted && --_instanceCount <= 0) closeDevice();
}

void KSound::init() {
    ALCdevice *device = alcOpenDevice(nullptr);
    if (!device) return;
    // No effect sends: each voice of the context's large pool is then smaller.
    const ALCint attributes[] = {ALC_MAX_AUXILIARY_SENDS, 0, 0};
    ALCcontext *context = alcCreateContext(device, attributes);
    if (!context || !alcMakeContextCurrent(context)) {
        // A half-opened device would only leak; the next sound tries afresh.
        if (context) alcDestroyContext(context);
        alcCloseDevice(device);
        return;
    }
    directSoundPtr = new KSoundDevice;
    directSoundPtr->device = device;
    directSoundPtr->context = context;
    if (alcIsExtensionPresent(device, "ALC_SOFT_pause_device") && !isWaveWriter(device)) {
        directSoundPtr->pause = reinterpret_cast<void (*)(ALCdevice *)>(alcGetProcAddress(device, "alcDevicePauseSOFT"));
        directSoundPtr->resume = reinterpret_cast<void (*)(ALCdevice *)>(alcGetProcAddress(device, "alcDeviceResumeSOFT"));
    }
    ALCint frequency = 44100;
    alcGetIntegerv(device, ALC_FREQUENCY, 1, &frequency);
    gFREQUENCY = static_cast<float>(frequency);
    _acceleratedDSound = true;
    dumb_register_stdfiles();
    dumb_it_max_to_mix = 64;
}

void KSound::closeDevice() {
    _instanceCount = 0;
    if (!directSoundPtr) return;
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(directSoundPtr->context);
    alcCloseDevice(directSoundPtr->device);
    delete directSoundPtr;
    directSoundPtr = nullptr;
    dumb_exit();
}

// --- Loading ----------------------------------------------------------------

bool KSound::loadSample(const char *sampleName, int volume, bool loop) {
    _type = 0;
    _ready = false;
    freeAllocatedData();
    _loopState = loop ? 1 : 0;
    _channelVolume = volume;
    _ready = true;
    if (!sampleName) return false;
    if (!readSample(sampleName) || !createDSoundBuffer(_wavLength) || !fillSoundBuffer()) {
        freeAllocatedData();
        return false;
    }
    // The device's buffer holds the sound; keeping a second copy here only for a lost
    // buffer would double its memory, so the file is read again then.
    _fileName = sampleName;
    releasePcm();
    return true;
}

bool KSound::readSample(const char *sampleName) {
    if (std::strstr(sampleName, ".ogg")) return loadOggSample(sampleName);
    long size = loadFileToRam(sampleName);
    return size > 0 && ParseWavHeader(_wavData.get(), static_cast<size_t>(size)) > 0;
}

void KSound::releasePcm() {
    _wavData.reset();
    _wavDataStart = nullptr;
}

long KSound::loadFileToRam(const char *filename) {
    FILE *file = std::fopen(filename, "rb");
    if (!file) return 0;
    struct stat info;
    long size = 0;
    // Only a regular file has a size worth allocating; a directory opens too.
    if (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
        info.st_size <= kMaxSoundBytes) {
        size = static_cast<long>(info.st_size);
        _wavData.reset(new (std::nothrow) unsigned char[size]);
        // A short read would leave bytes the parser must never see.
        if (!_wavData || std::fread(_wavData.get(), 1, size, file) != static_cast<size_t>(size)) {
            _wavData.reset();
            size = 0;
        }
    }
    std::fclose(file);
    return size;
}

long KSound::ParseWavHeader(const unsigned char *data, size_t length) {
    _waveFormatEx = nullptr;
    _wavDataStart = nullptr;
    bool formatSeen = false;
    for (size_t i = 0; i + 8 <= length; i++) {
        const unsigned char *tag = data + i;
        if (!formatSeen && std::memcmp(tag, kFormatTag, 4) == 0) {
            formatSeen = true;
            readWaveFormat(tag + 8, flipLong(rawWord32(tag + 4)), length - (i + 8));
        }
        if (std::memcmp(tag, kDataTag, 4) == 0) {
            size_t present = length - (i + 8);
            _wavDataStart = data + i + 8;
            _wavLength = static_cast<uint32_t>(std::min<size_t>(flipLong(rawWord32(tag + 4)), present));
            return _wavLength;
        }
    }
    return -1;
}

void KSound::readWaveFormat(const unsigned char *body, uint32_t chunkLength, size_t present) {
    // A chunk too short for a PCM record, or cut off by the file's end, gives no format.
    if (chunkLength < kPcmRecordBytes || present < kPcmRecordBytes) return;
    _format.formatTag = readLE16(body);
    _format.channels = readLE16(body + 2);
    _format.samplesPerSec = flipLong(rawWord32(body + 4));
    _format.avgBytesPerSec = flipLong(rawWord32(body + 8));
    _format.blockAlign = readLE16(body + 12);
    _format.bitsPerSample = readLE16(body + 14);
    bool hasExtraSize = chunkLength >= kPcmRecordBytes + 2 && present >= kPcmRecordBytes + 2;
    _format.extraSize = hasExtraSize ? readLE16(body + 16) : 0;
    _waveFormatEx = &_format;
}

uint32_t KSound::flipLong(uint32_t value) {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return __builtin_bswap32(value);
#else
    return value;
#endif
}

// --- Buffer -----------------------------------------------------------------

KSoundBuffer *KSound::createDSoundBuffer(uint32_t size) {
    if (!directSoundPtr) return nullptr;
    ALenum format = alFormatOf(_waveFormatEx);
    // The device takes whole sample frames only; a trailing partial frame is dropped.
    uint32_t wholeFrames = format ? size - size % _waveFormatEx->blockAlign : 0;
    if (wholeFrames == 0 || wholeFrames > static_cast<uint32_t>(kMaxSoundBytes)) return nullptr;
    releaseBuffer();

    alGetError();
    auto *b = new KSoundBuffer;
    b->format = format;
    b->frequency = static_cast<ALsizei>(_waveFormatEx->samplesPerSec);
    b->size = static_cast<ALsizei>(wholeFrames);
    alGenBuffers(1, &b->buffer);
    if (alGetError() != AL_NO_ERROR) {
        delete b;
        return nullptr;
    }
    alGenSources(1, &b->source);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteBuffers(1, &b->buffer);
        delete b;
        return nullptr;
    }
    directSoundPtr->voices.push_back(b->source);
    // Plain stereo-field playback: no distance or direction effects.
    alSourcei(b->source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSource3f(b->source, AL_POSITION, 0, 0, 0);
    alSourcef(b->source, AL_ROLLOFF_FACTOR, 0);
    _directSoundBuffer = b;
    // A sound holding a buffer keeps the device open, even one made while it was closed.
    if (!_counted) {
        ++_instanceCount;
        _counted = true;
    }
    if (!clearSoundBuffer()) {
        releaseBuffer();
        return nullptr;
    }
    return b;
}

bool KSound::clearSoundBuffer() {
    KSoundBuffer &b = *_directSoundBuffer;
    std::unique_ptr<unsigned char[]> silence(new (std::nothrow) unsigned char[b.size]());
    if (!silence) return false;
    bool accepted = uploadToBuffer(b, silence.get(), b.size);
    alSourceRewind(b.source);
    return accepted;
}

bool KSound::fillSoundBuffer() {
    return uploadToBuffer(*_directSoundBuffer, _wavDataStart, _directSoundBuffer->size);
}

void KSound::restoreSample() {
    KSoundBuffer &b = *_directSoundBuffer;
    if (!alIsBuffer(b.buffer)) {
        alGetError();
        alGenBuffers(1, &b.buffer);
        if (alGetError() != AL_NO_ERROR) return;
    }
    if (!refillFromFile()) freeAllocatedData();
}

bool KSound::refillFromFile() {
    const KSoundBuffer &b = *_directSoundBuffer;
    const KWaveFormat format = _format;
    const uint32_t length = _wavLength;
    // The buffer keeps its format and size: the file must still give that much of the same PCM.
    const bool same = readSample(_fileName.c_str()) && alFormatOf(_waveFormatEx) == b.format &&
                      _waveFormatEx->samplesPerSec == static_cast<uint32_t>(b.frequency) &&
                      _wavLength >= static_cast<uint32_t>(b.size);
    const bool filled = same && fillSoundBuffer();
    releasePcm();
    _format = format;
    _waveFormatEx = &_format;
    _wavLength = length;
    return filled;
}

void KSound::releaseBuffer() {
    if (!_directSoundBuffer) return;
    alSourceStop(_directSoundBuffer->source);
    if (directSoundPtr) {
        std::vector<ALuint> &voices = directSoundPtr->voices;
        voices.erase(std::remove(voices.begin(), voices.end(), _directSoundBuffer->source), voices.end());
    }
    alDeleteSources(1, &_directSoundBuffer->source);
    alDeleteBuffers(1, &_directSoundBuffer->buffer);
    delete _directSoundBuffer;
    _directSoundBuffer = nullptr;
}

void KSound::freeAllocatedData() {
    releaseBuffer();
    releasePcm();
    _wavLength = 0;
    _waveFormatEx = nullptr;
    _fileName.clear();
}

// --- Playing and volume -----------------------------------------------------

void KSound::playSample() { KPlatform::calls.playSample(this); }
bool KSound::isPlaying() { return KPlatform::calls.isPlaying(this); }
void KSound::setGlobalVolumes(int volumeMusic, int volumeSFX) {
    KPlatform::calls.setGlobalVolumes(volumeMusic, volumeSFX);
}

void KSound::nativePlay(KSound *sound) {
    if (!sound->_directSoundBuffer) return;
    ALuint source = sound->_directSoundBuffer->source;
    alSourceRewind(source);
    sound->setVolume(sound->_channelVolume);
    if (bufferLost(*sound->_directSoundBuffer)) {
        // Refilled now, heard from the next play.
        sound->restoreSample();
        return;
    }
    alSourcei(source, AL_LOOPING, sound->_loopState == 1 ? AL_TRUE : AL_FALSE);
    if (directSoundPtr && directSoundPtr->paused) {
        directSoundPtr->resume(directSoundPtr->device);
        directSoundPtr->paused = false;
    }
    alSourcePlay(source);
}

// A device mixes silence as busily as sound; resting it saves that while the game is quiet.
void KSound::pauseWhenSilent() {
    KSoundDevice *d = directSoundPtr;
    const uint32_t ms = KMiscTools::getMilliseconds();
    if (!d || d->paused || !d->pause || !d->resume || ms - d->checkedAt < kQuietCheckMs) return;
    d->checkedAt = ms;
    for (ALuint voice : d->voices) {
        ALint state = AL_STOPPED;
        alGetSourcei(voice, AL_SOURCE_STATE, &state);
        if (state == AL_PLAYING) return;
    }
    d->pause(d->device);
    d->paused = true;
}

bool KSound::nativeIsPlaying(KSound *sound) {
    if (!sound->_ready || !sound->_directSoundBuffer) return false;
    alGetError();
    ALint state = AL_STOPPED;
    alGetSourcei(sound->_directSoundBuffer->source, AL_SOURCE_STATE, &state);
    return alGetError() == AL_NO_ERROR && state == AL_PLAYING;
}

int KSound::fechnerIndex(int master, int channel) {
    // 64-bit product: neither volume is range-checked by callers.
    long long index = static_cast<long long>(master) * channel / 100;
    return static_cast<int>(std::clamp<long long>(index, 0, 100));
}

void KSound::setVolume(int volume) {
    _channelVolume = volume;
    if (!_directSoundBuffer) return;
    int master = _type == 0 ? _masterSFXvolume : _masterMUSICvolume;
    int attenuation = fechnerTable[fechnerIndex(master, _channelVolume)];
    alSourcef(_directSoundBuffer->source, AL_GAIN, gainOf(-attenuation));
}

void KSound::nativeGlobalVolumes(int volumeMusic, int volumeSFX) {
    if (volumeMusic >= 0) _masterMUSICvolume = volumeMusic;
    if (volumeSFX >= 0) _masterSFXvolume = volumeSFX;
}
