#pragma once
// Older helpers, kept while bench_sound uses them (new ones: sound_files.h).
// Sound files made at test time, OpenAL's wave writer as the sound device, and
// measurements of what it wrote.
#include <cstdint>
#include <string>
#include <vector>

#include "KSoundLocal.h"

// Reads and drives KSound's private state.
struct KSoundTestAccess {
    static const KWaveFormat *format(const KSound &s) { return s._waveFormatEx; }
    static uint32_t length(const KSound &s) { return s._wavLength; }
    static const unsigned char *pcm(const KSound &s) { return s._wavDataStart; }
    static const KSoundBuffer *buffer(const KSound &s) { return s._directSoundBuffer; }
    static int channelVolume(const KSound &s) { return s._channelVolume; }
    static int loopState(const KSound &s) { return s._loopState; }
    static long parse(KSound &s, const std::vector<unsigned char> &bytes) {
        return s.ParseWavHeader(bytes.data(), bytes.size());
    }
    static int fechnerIndex(int master, int channel) { return KSound::fechnerIndex(master, channel); }
    static bool deviceOpen() { return KSound::directSoundPtr != nullptr; }
    static int instanceCount() { return KSound::_instanceCount; }
    static int masterSFX() { return KSound::_masterSFXvolume; }
    static int masterMusic() { return KSound::_masterMUSICvolume; }
    static float gain(const KSound &s);   // the voice's gain as the device holds it
};

// A temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string path(const std::string &name) const { return root_ + "/" + name; }

private:
    std::string root_;
};

// --- Making sound files -----------------------------------------------------

// Interleaved 16-bit samples of a sine tone, the same in every channel.
std::vector<int16_t> sineWave(int frames, int channels, int rate, double hz, double amplitude);

// One RIFF chunk: tag, 32-bit length (the body's size unless `declared` is given), body.
std::vector<unsigned char> chunk(const char tag[4], const std::vector<unsigned char> &body, int64_t declared = -1);
// The body of a PCM "fmt " chunk, 16 bytes.
std::vector<unsigned char> pcmFormatBody(int channels, int rate, int bitsPerSample);
std::vector<unsigned char> sampleBytes(const std::vector<int16_t> &samples);
// A RIFF/WAVE image made of the given chunks.
std::vector<unsigned char> riffImage(const std::vector<std::vector<unsigned char>> &chunks);
// An ordinary 16-bit PCM WAV image.
std::vector<unsigned char> wavImage(const std::vector<int16_t> &samples, int channels, int rate);

void writeBytes(const std::string &path, const std::vector<unsigned char> &bytes);
std::vector<unsigned char> readBytes(const std::string &path);
// Encodes 16-bit samples as Ogg Vorbis; no samples gives a stream that decodes to nothing.
void writeOgg(const std::string &path, const std::vector<int16_t> &samples, int channels, int rate);

// --- The device ---------------------------------------------------------------

// Points OpenAL at a config of our own, read when the library first starts;
// call before the first KSound of the process.
void useWaveWriter(const std::string &outputWav);   // mono 16-bit 44100 Hz; the device opens only if the file can be made
const std::string &waveWriterOutput();              // useWaveWriter into a temporary file of its own, once
void useNoDevice();                                  // a driver that does not exist: no sound card

// --- Measuring ------------------------------------------------------------------

struct Recording {
    std::vector<int16_t> samples;   // mono
    int rate = 0;
    size_t first = 0, last = 0;     // first and last non-zero sample; last < first when silent
    bool silent() const { return last < first; }
    double seconds() const { return silent() ? 0 : double(last - first + 1) / rate; }
    int peak() const;
    double rms() const;             // over the sounding span
};

// Reads what the wave writer wrote; the device must be closed first.
Recording readRecording(const std::string &path);

// "tag 1, 2 ch, 44100 Hz, 176400 B/s, align 4, 16 bits, extra 20", or "none".
std::string formatText(const KWaveFormat *format);

double rmsOf(const std::vector<int16_t> &samples);
double decibels(double level, double reference);
