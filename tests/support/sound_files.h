#pragma once
// Sound files made at test time, and OpenAL Soft on a device of the test's choosing.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "KSoundLocal.h"
#include "temp_dir.h"

struct KSoundTestAccess {
    static const KWaveFormat *format(const KSound &s) { return s._waveFormatEx; }
    static const KSoundBuffer *buffer(const KSound &s) { return s._directSoundBuffer; }
    static long parse(KSound &s, const std::string &file) {
        const std::vector<unsigned char> bytes(file.begin(), file.end());   // exact size: the sanitizer sees overreads
        return s.ParseWavHeader(bytes.data(), bytes.size());
    }
    static int fechnerIndex(int master, int channel) { return KSound::fechnerIndex(master, channel); }
    static bool deviceOpen() { return KSound::directSoundPtr != nullptr; }
};

// Bytes of no format at all, the same for a seed.
inline std::string garbage(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char &b : bytes)
        b = char(random());
    return bytes;
}

inline std::string le(uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; i++)
        out += char(value >> (8 * i));
    return out;
}

// One RIFF chunk: tag, length (the body's unless declared), body.
inline std::string chunk(const char *tag, const std::string &body, int64_t declared = -1) {
    return std::string(tag, 4) + le(uint32_t(declared < 0 ? int64_t(body.size()) : declared), 4) + body;
}

inline std::string pcmFormat(int channels, int rate, int bits, int tag = 1) {
    const int align = channels * bits / 8;
    return le(tag, 2) + le(channels, 2) + le(rate, 4) + le(rate * align, 4) + le(align, 2) + le(bits, 2);
}

inline std::string riff(const std::string &chunks) { return chunk("RIFF", "WAVE" + chunks); }

// A 441 Hz tone at half of full scale, 16-bit, the same in every channel.
inline std::string tone(int frames, int channels, int rate) {
    std::string pcm;
    for (int i = 0; i < frames; i++)
        for (int c = 0; c < channels; c++)
            pcm += le(uint16_t(std::lround(0.5 * 32767 * std::sin(2 * M_PI * 441 * i / rate))), 2);
    return pcm;
}

inline std::string toneWav(int frames, int channels, int rate) {
    return riff(chunk("fmt ", pcmFormat(channels, rate, 16)) + chunk("data", tone(frames, channels, rate)));
}

// The same tone through the Vorbis encoder the data folder is built with.
inline bool writeToneOgg(const TempDir &dir, const std::string &name, int frames, int channels, int rate) {
    dir.write(name + ".wav", toneWav(frames, channels, rate));
    return std::system(("oggenc -Q -o '" + dir.path(name) + "' '" + dir.path(name + ".wav") + "'").c_str()) == 0;
}

// OpenAL reads its configuration once, when it first starts.
inline void useSoundConfig(const std::string &text) {
    static TempDir folder;
    folder.write("alsoft.conf", text);
    setenv("ALSOFT_CONF", folder.path("alsoft.conf").c_str(), 1);
    unsetenv("ALSOFT_DRIVERS");
}

// Mono 16-bit 44100 Hz, no dither or limiter: what the mixer is given comes out unchanged.
inline void useWaveWriter(const std::string &output) {
    useSoundConfig("[general]\ndrivers=wave\nchannels=mono\nsample-type=int16\nfrequency=44100\n"
                   "dither=false\noutput-limiter=false\nhrtf=false\n[wave]\nfile=" + output + "\n");
}

// What the wave writer wrote (read after the device closed), from its first to its last sound;
// its level against the 0.5 full-scale tone.
struct Heard {
    double seconds = 0, decibels = -HUGE_VAL;
};

inline Heard heardIn(const std::string &file) {
    const size_t data = file.find("data", 12);
    std::vector<int16_t> s;
    for (size_t at = data + 8; data != std::string::npos && at + 1 < file.size(); at += 2)
        s.push_back(int16_t(uint8_t(file[at]) | uint8_t(file[at + 1]) << 8));
    const auto first = std::find_if(s.begin(), s.end(), [](int16_t v) { return v != 0; });
    const auto last = std::find_if(s.rbegin(), s.rend(), [](int16_t v) { return v != 0; }).base();
    Heard h;
    if (first >= last)
        return h;
    const double sum = std::inner_product(first, last, first, 0.0);
    h.seconds = double(last - first) / 44100;
    h.decibels = 20 * std::log10(std::sqrt(sum / double(last - first)) / (0.5 * 32767 / std::sqrt(2.0)));
    return h;
}
