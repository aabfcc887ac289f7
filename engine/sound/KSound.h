#pragma once
// One sound effect, loaded whole from a WAV or Ogg Vorbis file into a buffer of
// the one shared sound device, played from the start, once or looping.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The PCM format of a sound's buffer, field by field as a wave-format record holds it.
struct KWaveFormat {
    uint16_t formatTag;       // 1: PCM
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;      // bytes per sample frame
    uint16_t bitsPerSample;
    uint16_t extraSize;
};

struct KSoundDevice;                                           // the open device and its context
struct KSoundBuffer;                                           // one device buffer and the voice that plays it

class KSound {
public:
    KSound();                                                  // opens the sound device with the first sound; without one every sound stays silent
    ~KSound();                                                 // closes it after the last sound
    KSound(const KSound &) = delete;
    KSound &operator=(const KSound &) = delete;

    bool loadSample(const char *sampleName, int volume, bool loop); // WAV, or Ogg Vorbis when the name holds ".ogg"; false for a missing, damaged or oversized file or no device: the sound is empty and plays nothing
    void playSample();                                         // play from the start; restarts a playing sound
    bool isPlaying();                                          // true while the sound plays; false for an empty sound
    void setVolume(int volume);                                // percent of the master volume, applied at once
    static void setGlobalVolumes(int volumeMusic, int volumeSFX); // master volumes; a negative value keeps one
    static void pauseWhenSilent();                             // lets the device rest while nothing plays; the next play wakes it

private:
    static const int fechnerTable[101];                        // attenuation in 1/100 dB per volume step
    static float gFREQUENCY;                                   // output rate noted when the device opened
    static bool _acceleratedDSound;                            // false on an emulated device
    static void nativePlay(KSound *sound);                     // the real calls, behind KPlatform's table
    static bool nativeIsPlaying(KSound *sound);
    static void nativeGlobalVolumes(int volumeMusic, int volumeSFX);
    friend struct KPlatform;

    static constexpr long kMaxSoundBytes = 0x7FFFFFFF;         // the most PCM one device buffer takes

    static void init();                                        // open the device; leaves it closed on failure
    static void closeDevice();
    static int fechnerIndex(int master, int channel);          // volume step 0..100 for a master and channel volume

    bool readSample(const char *sampleName);                   // the file's PCM into _wavData: WAV image or decoded Ogg
    bool loadOggSample(const char *filename);                  // decode a whole Ogg Vorbis file into _wavData (KSoundOgg.cpp)
    long loadFileToRam(const char *filename);                  // whole file into _wavData; byte count, 0 on failure
    long ParseWavHeader(const unsigned char *data, size_t length); // PCM byte count, or -1 without a "data" chunk
    void readWaveFormat(const unsigned char *body, uint32_t chunkLength, size_t present); // "fmt " body into _format
    static uint32_t flipLong(uint32_t value);                  // a little-endian chunk length in host order
    KSoundBuffer *createDSoundBuffer(uint32_t size);           // new silent buffer in _waveFormatEx, or null
    bool clearSoundBuffer();                                   // silence the whole buffer and rewind; false if refused
    bool fillSoundBuffer();                                    // copy _wavLength bytes of _wavDataStart into the buffer
    void restoreSample();                                      // refill a buffer that lost its memory
    bool refillFromFile();                                     // read the file again into the buffer; false if it changed
    void releasePcm();                                         // drop the memory copy; the buffer holds the sound
    void releaseBuffer();
    void freeAllocatedData();                                  // buffer, data and format: the object is empty again

    int _channelVolume = 80;
    int _loopState = 0;
    char _type = 0;                                            // 0: sound effect, 1: music
    KWaveFormat *_waveFormatEx = nullptr;                      // points at _format while a format is known
    const unsigned char *_wavDataStart = nullptr;
    uint32_t _wavLength = 0;
    KSoundBuffer *_directSoundBuffer = nullptr;
    bool _ready = false;
    std::unique_ptr<unsigned char[]> _wavData;                 // WAV file image or decoded Ogg PCM, only while loading
    std::string _fileName;                                     // read again to refill a lost buffer
    KWaveFormat _format = {};
    bool _counted = false;                                     // this sound is part of _instanceCount

    static KSoundDevice *directSoundPtr;
    static int _instanceCount;
    static int _masterSFXvolume;
    static int _masterMUSICvolume;

    friend struct KSoundTestAccess;                            // lets tests inspect the private state
};
