// The nine sound effects, loaded from a data folder made for the test and
// played through OpenAL's wave writer.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

#include "sound_test_tools.h"
#include "sounds.h"
#include "temp_home.h"

namespace {

const std::string kOutput = waveWriterOutput();

struct Effect {
    KSound **sound;
    const char *file;
};

const Effect kEffects[] = {
    {&snd_click, "click.wav"}, {&snd_good, "good.ogg"},     {&snd_lose, "gameover.ogg"},
    {&snd_swap, "swap.ogg"},   {&snd_hint, "hint.ogg"},     {&snd_nohint, "nohint.wav"},
    {&snd_zap, "thunder.ogg"}, {&snd_bomb, "bomb.ogg"},     {&snd_zapattack, "lifeup.ogg"},
};

bool isOgg(const std::string &name) { return name.find(".ogg") != std::string::npos; }

// Each effect gets a length of its own, so every global can be told apart.
int framesOf(int index) { return 2205 * (index + 1); }

class SoundEffects : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(kOutput.empty());
        KSound::setGlobalVolumes(-1, 100);
    }
    void TearDown() override { freeSounds(); }

    void makeAudioFolder() {
        std::filesystem::create_directories(home.path("data/audio"));
        for (int i = 0; i < 9; i++) {
            std::string path = home.path(std::string("data/audio/") + kEffects[i].file);
            auto samples = sineWave(framesOf(i), 1, 44100, 441, 0.5);
            if (isOgg(path)) writeOgg(path, samples, 1, 44100);
            else writeBytes(path, wavImage(samples, 1, 44100));
        }
    }

    TempHome home;
};

TEST_F(SoundEffects, EachGlobalHoldsItsOwnFileAtVolume200WithoutLoop) {
    makeAudioFolder();
    loadSounds();
    for (int i = 0; i < 9; i++) {
        const KSound *s = *kEffects[i].sound;
        ASSERT_NE(s, nullptr) << kEffects[i].file;
        ASSERT_NE(KSoundTestAccess::buffer(*s), nullptr) << kEffects[i].file;
        EXPECT_EQ(KSoundTestAccess::length(*s), uint32_t(framesOf(i) * 2)) << kEffects[i].file;
        EXPECT_EQ(KSoundTestAccess::format(*s)->extraSize, isOgg(kEffects[i].file) ? 20 : 0) << kEffects[i].file;
        EXPECT_EQ(KSoundTestAccess::channelVolume(*s), 200) << kEffects[i].file;
        EXPECT_EQ(KSoundTestAccess::loopState(*s), 0) << kEffects[i].file;
    }
    EXPECT_EQ(KSoundTestAccess::instanceCount(), 9);
}

TEST_F(SoundEffects, PlayAtFullLevelFromMasterFiftyUp) {
    makeAudioFolder();
    loadSounds();
    for (int master : {100, 85, 50}) {
        KSound::setGlobalVolumes(-1, master);
        snd_swap->playSample();
        EXPECT_FLOAT_EQ(KSoundTestAccess::gain(*snd_swap), 1.0f) << master;
    }
    KSound::setGlobalVolumes(-1, 25);
    snd_swap->playSample();
    EXPECT_NEAR(KSoundTestAccess::gain(*snd_swap), std::pow(10.0, -1862 / 2000.0), 1e-5);
}

TEST_F(SoundEffects, FreeingClearsEveryGlobalAndClosesTheDevice) {
    makeAudioFolder();
    loadSounds();
    KSound::setGlobalVolumes(-1, 85);
    snd_good->playSample();
    for (int waited = 0; snd_good->isPlaying() && waited < 5000; waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    freeSounds();
    for (const Effect &e : kEffects) EXPECT_EQ(*e.sound, nullptr) << e.file;
    EXPECT_FALSE(KSoundTestAccess::deviceOpen());
    EXPECT_EQ(KSoundTestAccess::instanceCount(), 0);
    // What was heard: the "good" effect, whole and at full level.
    Recording r = readRecording(kOutput);
    EXPECT_NEAR(r.seconds(), framesOf(1) / 44100.0, 0.005);
    EXPECT_NEAR(decibels(r.rms(), 0.5 * 32767 / std::sqrt(2.0)), 0, 0.2);
    freeSounds();   // again: nothing left to free
}

TEST_F(SoundEffects, MissingFilesLeaveSilentSoundsThatCanBePlayed) {
    loadSounds();
    for (const Effect &e : kEffects) {
        ASSERT_NE(*e.sound, nullptr) << e.file;
        EXPECT_EQ(KSoundTestAccess::buffer(**e.sound), nullptr) << e.file;
        (*e.sound)->playSample();
        EXPECT_FALSE((*e.sound)->isPlaying()) << e.file;
    }
    freeSounds();
    EXPECT_FALSE(KSoundTestAccess::deviceOpen());
}

}  // namespace
