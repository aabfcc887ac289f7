// Sound costs: loading (WAV read whole, Ogg decoded twice) and triggering all
// nine effects in one frame, on OpenAL's wave writer as the device.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "sound_test_tools.h"

using Clock = std::chrono::steady_clock;

// Median microseconds of `runs` calls of `work`.
static double medianMicros(int runs, const std::function<void()> &work) {
    std::vector<double> samples;
    for (int r = 0; r < runs; r++) {
        auto start = Clock::now();
        work();
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::nth_element(samples.begin(), samples.begin() + runs / 2, samples.end());
    return samples[runs / 2];
}

int main() {
    TempDir dir;
    waveWriterOutput();
    const int rate = 44100;
    auto oneSecond = sineWave(rate, 1, rate, 441, 0.5);
    auto wav = dir.path("one-second.wav");
    auto ogg = dir.path("one-second.ogg");
    writeBytes(wav, wavImage(oneSecond, 1, rate));
    writeOgg(ogg, oneSecond, 1, rate);

    KSound keeper;   // keeps the device open between loads
    KSound s;
    std::printf("load 1 s mono 44100 Hz WAV:  %8.1f us (median of 50)\n",
                medianMicros(50, [&] { s.loadSample(wav.c_str(), 200, false); }));
    std::printf("load 1 s mono 44100 Hz Ogg:  %8.1f us (median of 20)\n",
                medianMicros(20, [&] { s.loadSample(ogg.c_str(), 200, false); }));
    std::printf("memory held per second of mono sound: %u bytes of PCM, as much again in the device\n",
                KSoundTestAccess::length(s));

    std::vector<KSound> effects(9);
    for (KSound &e : effects) e.loadSample(wav.c_str(), 200, false);
    std::printf("trigger all nine effects:    %8.1f us per frame (median of 500)\n",
                medianMicros(500, [&] { for (KSound &e : effects) e.playSample(); }));
    std::printf("isPlaying on nine effects:   %8.1f us per frame (median of 500)\n",
                medianMicros(500, [&] { for (KSound &e : effects) e.isPlaying(); }));
    return 0;
}
