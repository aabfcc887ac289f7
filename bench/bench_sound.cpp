// Sound costs: loading a WAV and an Ogg file and triggering all nine effects in
// one frame, on OpenAL's wave writer as the device.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "sound_files.h"

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
    useWaveWriter(dir.path("heard.wav"));
    const int rate = 44100;
    auto wav = dir.path("one-second.wav");
    auto ogg = dir.path("one-second.ogg");
    dir.write("one-second.wav", toneWav(rate, 1, rate));
    if (!writeToneOgg(dir, "one-second.ogg", rate, 1, rate)) {
        std::fprintf(stderr, "bench_sound: oggenc could not make the Ogg file\n");
        return 1;
    }

    KSound keeper;   // keeps the device open between loads
    KSound s;
    std::printf("load 1 s mono 44100 Hz WAV:  %8.1f us (median of 50)\n",
                medianMicros(50, [&] { s.loadSample(wav.c_str(), 200, false); }));
    std::printf("load 1 s mono 44100 Hz Ogg:  %8.1f us (median of 20)\n",
                medianMicros(20, [&] { s.loadSample(ogg.c_str(), 200, false); }));

    std::vector<KSound> effects(9);
    for (KSound &e : effects) e.loadSample(wav.c_str(), 200, false);
    std::printf("trigger all nine effects:    %8.1f us per frame (median of 500)\n",
                medianMicros(500, [&] { for (KSound &e : effects) e.playSample(); }));
    std::printf("isPlaying on nine effects:   %8.1f us per frame (median of 500)\n",
                medianMicros(500, [&] { for (KSound &e : effects) e.isPlaying(); }));
    return 0;
}
