// A sound device that cannot be opened at first: the next sound tries again,
// and sounds from before the device opened never close it under the others.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <thread>

#include "sound_test_tools.h"

namespace {

TempDir &folder() {
    static TempDir dir;
    return dir;
}

// The writer's folder does not exist yet, so opening the device fails until a test makes it.
const std::string kOutput = folder().path("later/output.wav");
const bool kConfigured = (useWaveWriter(kOutput), true);

void playToTheEnd(KSound &s) {
    s.playSample();
    EXPECT_TRUE(s.isPlaying());
    for (int waited = 0; s.isPlaying() && waited < 5000; waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

TEST(DeviceRetry, AFailedOpenIsTriedAgainAndEarlierSoundsNeverCloseIt) {
    ASSERT_TRUE(kConfigured);
    std::string tone = folder().path("tone.wav");
    writeBytes(tone, wavImage(sineWave(4410, 1, 44100, 441, 0.5), 1, 44100));

    auto early = std::make_unique<KSound>();
    auto earliest = std::make_unique<KSound>();
    EXPECT_FALSE(KSoundTestAccess::deviceOpen());
    EXPECT_EQ(KSoundTestAccess::instanceCount(), 0);
    EXPECT_FALSE(early->loadSample(tone.c_str(), 100, false));
    early->playSample();
    EXPECT_FALSE(early->isPlaying());

    std::filesystem::create_directory(folder().path("later"));
    auto later = std::make_unique<KSound>();
    EXPECT_TRUE(KSoundTestAccess::deviceOpen());
    EXPECT_EQ(KSoundTestAccess::instanceCount(), 1);
    ASSERT_TRUE(later->loadSample(tone.c_str(), 100, false));

    // A sound from before the opening that never held a buffer leaves the device alone...
    earliest.reset();
    EXPECT_TRUE(KSoundTestAccess::deviceOpen());
    EXPECT_EQ(KSoundTestAccess::instanceCount(), 1);
    playToTheEnd(*later);

    // ...and one that loads now keeps it open after the later sound is gone.
    ASSERT_TRUE(early->loadSample(tone.c_str(), 100, false));
    EXPECT_EQ(KSoundTestAccess::instanceCount(), 2);
    later.reset();
    EXPECT_TRUE(KSoundTestAccess::deviceOpen());
    playToTheEnd(*early);
    early.reset();
    EXPECT_FALSE(KSoundTestAccess::deviceOpen());
    EXPECT_EQ(KSoundTestAccess::instanceCount(), 0);

    // Both plays were heard, each 0.1 s of tone.
    Recording r = readRecording(kOutput);
    EXPECT_GT(r.seconds(), 0.2);
    EXPECT_NEAR(decibels(r.rms(), 0.5 * 32767 / std::sqrt(2.0)), 0, 0.5);
}

}  // namespace
