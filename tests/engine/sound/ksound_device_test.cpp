// KSound on a real OpenAL device whose output goes to a WAV file: what is heard
// is measured in that file after the device closes.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "sound_test_tools.h"

namespace {

const std::string kOutput = waveWriterOutput();

const int kRate = 44100;
const double kTone = 441;         // 100 samples a period at 44100 Hz
const double kAmplitude = 0.5;
const double kFullLevelDb = 0.1;  // the mixer passes a mono voice through unchanged at gain 1

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Waits for a one-shot sound to end; false if it is still playing after `limitMs`.
bool waitUntilDone(KSound &s, int limitMs = 5000) {
    for (int waited = 0; waited < limitMs; waited += 5) {
        if (!s.isPlaying()) return true;
        sleepMs(5);
    }
    return false;
}

class SoundDevice : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(kOutput.empty());
        KSound::setGlobalVolumes(100, 100);
    }

    // The file the device wrote; every sound of the test must be gone by now.
    Recording recording() {
        EXPECT_FALSE(KSoundTestAccess::deviceOpen());
        return readRecording(kOutput);
    }

    std::string wavFile(const std::string &name, const std::vector<int16_t> &samples, int channels, int rate) {
        writeBytes(dir.path(name), wavImage(samples, channels, rate));
        return dir.path(name);
    }

    std::string oggFile(const std::string &name, const std::vector<int16_t> &samples, int channels, int rate) {
        writeOgg(dir.path(name), samples, channels, rate);
        return dir.path(name);
    }

    // Plays a file once at the given volumes and returns what came out.
    Recording playOnce(const std::string &path, int master, int channel) {
        {
            KSound::setGlobalVolumes(-1, master);
            KSound s;
            EXPECT_TRUE(s.loadSample(path.c_str(), channel, false)) << path;
            s.playSample();
            EXPECT_TRUE(s.isPlaying());
            EXPECT_TRUE(waitUntilDone(s));
        }
        return recording();
    }

    TempDir dir;
    const double toneRms = kAmplitude * 32767 / std::sqrt(2.0);
};

// --- Level and length -------------------------------------------------------------

TEST_F(SoundDevice, WavComesOutWithItsLengthAndLevel) {
    auto samples = sineWave(kRate / 4, 1, kRate, kTone, kAmplitude);
    Recording r = playOnce(wavFile("tone.wav", samples, 1, kRate), 100, 100);
    EXPECT_EQ(r.rate, kRate);
    EXPECT_NEAR(r.seconds(), 0.25, 0.001);
    EXPECT_NEAR(decibels(r.rms(), toneRms), 0, kFullLevelDb);
    EXPECT_NEAR(r.peak(), kAmplitude * 32767, 2);
}

TEST_F(SoundDevice, OggComesOutWithItsLengthAndLevel) {
    auto samples = sineWave(kRate / 4, 1, kRate, kTone, kAmplitude);
    auto path = oggFile("tone.ogg", samples, 1, kRate);
    Recording r = playOnce(path, 100, 100);
    EXPECT_NEAR(r.seconds(), 0.25, 0.005);
    EXPECT_NEAR(decibels(r.rms(), toneRms), 0, 0.2);   // lossy, but a pure tone survives well
}

TEST_F(SoundDevice, OggDecodesToItsExactLengthAndFormat) {
    {
        KSound s;
        auto stereo = oggFile("stereo.ogg", sineWave(12345, 2, kRate, kTone, kAmplitude), 2, kRate);
        ASSERT_TRUE(s.loadSample(stereo.c_str(), 100, false));
        EXPECT_EQ(KSoundTestAccess::length(s), 12345u * 4);
        EXPECT_EQ(formatText(KSoundTestAccess::format(s)),
                  "tag 1, 2 ch, 44100 Hz, 176400 B/s, align 4, 16 bits, extra 20");
        EXPECT_EQ(KSoundTestAccess::pcm(s), nullptr);   // the device's buffer holds the only copy
        s.playSample();
        EXPECT_TRUE(waitUntilDone(s));
    }
    EXPECT_NEAR(recording().seconds(), 12345.0 / kRate, 0.005);
}

TEST_F(SoundDevice, MonoOggAt22050Hz) {
    {
        KSound s;
        auto path = oggFile("low.ogg", sineWave(11025, 1, 22050, kTone, kAmplitude), 1, 22050);
        ASSERT_TRUE(s.loadSample(path.c_str(), 100, false));
        EXPECT_EQ(formatText(KSoundTestAccess::format(s)),
                  "tag 1, 1 ch, 22050 Hz, 44100 B/s, align 2, 16 bits, extra 20");
        EXPECT_EQ(KSoundTestAccess::length(s), 22050u);
        s.playSample();
        EXPECT_TRUE(waitUntilDone(s));
    }
    // Half a second of sound at its own rate, whatever the device's rate.
    EXPECT_NEAR(recording().seconds(), 0.5, 0.005);
}

TEST_F(SoundDevice, Channel200AtMaster85IsFullLevel) {
    auto path = wavFile("tone.wav", sineWave(kRate / 5, 1, kRate, kTone, kAmplitude), 1, kRate);
    Recording r = playOnce(path, 85, 200);
    EXPECT_NEAR(decibels(r.rms(), toneRms), 0, kFullLevelDb);
}

TEST_F(SoundDevice, Channel200AtMaster25IsMinus18Point62Db) {
    auto path = wavFile("tone.wav", sineWave(kRate / 5, 1, kRate, kTone, kAmplitude), 1, kRate);
    Recording full = playOnce(path, 100, 100);
    Recording quiet = playOnce(path, 25, 200);
    EXPECT_NEAR(decibels(quiet.rms(), full.rms()), -18.62, 0.5);
    EXPECT_NEAR(decibels(quiet.rms(), toneRms), -18.62, 0.5);
}

TEST_F(SoundDevice, GainFollowsTheTable) {
    KSound s;
    auto path = wavFile("tone.wav", sineWave(1000, 1, kRate, kTone, kAmplitude), 1, kRate);
    ASSERT_TRUE(s.loadSample(path.c_str(), 100, false));
    for (int volume : {100, 99, 74, 50, 2, 1}) {
        s.setVolume(volume);
        double expected = std::pow(10.0, -KSound::fechnerTable[volume] / 2000.0);
        EXPECT_NEAR(KSoundTestAccess::gain(s), expected, 1e-5) << volume;
    }
    s.setVolume(0);
    EXPECT_EQ(KSoundTestAccess::gain(s), 0.0f);   // the table's bottom is silence, not -100 dB
}

TEST_F(SoundDevice, MasterZeroPlaysSilence) {
    auto path = wavFile("tone.wav", sineWave(kRate / 5, 1, kRate, kTone, kAmplitude), 1, kRate);
    {
        KSound s;
        ASSERT_TRUE(s.loadSample(path.c_str(), 200, false));
        KSound::setGlobalVolumes(-1, 0);
        s.playSample();
        EXPECT_TRUE(s.isPlaying());   // it runs, unheard
        EXPECT_TRUE(waitUntilDone(s));
    }
    Recording r = recording();
    EXPECT_GT(r.samples.size(), size_t(kRate / 5));
    EXPECT_TRUE(r.silent());
}

// --- Playing --------------------------------------------------------------------

TEST_F(SoundDevice, PlayingAgainRestartsFromTheBeginning) {
    const int frames = kRate * 2 / 5;
    auto samples = sineWave(frames, 1, kRate, kTone, kAmplitude);
    auto path = wavFile("tone.wav", samples, 1, kRate);
    {
        KSound s;
        ASSERT_TRUE(s.loadSample(path.c_str(), 100, false));
        s.playSample();
        sleepMs(150);
        EXPECT_TRUE(s.isPlaying());
        s.playSample();
        EXPECT_TRUE(s.isPlaying());
        EXPECT_TRUE(waitUntilDone(s));
    }
    Recording r = recording();
    // Longer than the sound: it was cut short and began again...
    EXPECT_GT(r.seconds(), 0.4 + 0.05);
    EXPECT_LT(r.seconds(), 0.4 + 0.15 + 0.5);
    // ...and the whole sound, from its first sample, ends the recording.
    ASSERT_GE(r.last + 1, size_t(frames));
    std::vector<int16_t> tail(r.samples.begin() + (r.last + 1 - frames), r.samples.begin() + r.last + 1);
    int worst = 0;
    for (int i = 0; i < frames; i++) worst = std::max(worst, std::abs(tail[i] - samples[i]));
    EXPECT_LE(worst, 1);
}

TEST_F(SoundDevice, LoopingSoundKeepsPlaying) {
    auto path = wavFile("blip.wav", sineWave(kRate / 10, 1, kRate, kTone, kAmplitude), 1, kRate);
    {
        KSound s;
        ASSERT_TRUE(s.loadSample(path.c_str(), 100, true));
        s.playSample();
        sleepMs(600);
        EXPECT_TRUE(s.isPlaying());
    }
    Recording r = recording();
    EXPECT_GT(r.seconds(), 0.45);
    EXPECT_NEAR(decibels(r.rms(), toneRms), 0, kFullLevelDb);
}

TEST_F(SoundDevice, NewMasterVolumeIsHeardFromTheNextPlay) {
    KSound s;
    auto path = wavFile("blip.wav", sineWave(kRate / 10, 1, kRate, kTone, kAmplitude), 1, kRate);
    ASSERT_TRUE(s.loadSample(path.c_str(), 200, true));
    s.playSample();
    KSound::setGlobalVolumes(-1, 25);
    EXPECT_FLOAT_EQ(KSoundTestAccess::gain(s), 1.0f);
    EXPECT_TRUE(s.isPlaying());
    s.playSample();
    EXPECT_NEAR(KSoundTestAccess::gain(s), std::pow(10.0, -1862 / 2000.0), 1e-5);
}

TEST_F(SoundDevice, LostBufferIsRefilledAndPlaysFromTheNextCall) {
    KSound s;
    auto samples = sineWave(kRate / 10, 1, kRate, kTone, kAmplitude);
    ASSERT_TRUE(s.loadSample(wavFile("blip.wav", samples, 1, kRate).c_str(), 100, false));
    const KSoundBuffer *b = KSoundTestAccess::buffer(s);
    ASSERT_NE(b, nullptr);
    alSourcei(b->source, AL_BUFFER, 0);   // the voice lost its sound
    s.playSample();
    EXPECT_FALSE(s.isPlaying());
    ALint attached = 0, size = 0;
    alGetSourcei(b->source, AL_BUFFER, &attached);
    alGetBufferi(b->buffer, AL_SIZE, &size);
    EXPECT_EQ(ALuint(attached), b->buffer);
    EXPECT_EQ(size, ALint(samples.size() * 2));
    s.playSample();
    EXPECT_TRUE(s.isPlaying());
    // The sound is refilled from its file: without the file it is silent from then on.
    std::remove(dir.path("blip.wav").c_str());
    alSourceStop(b->source);
    alSourcei(b->source, AL_BUFFER, 0);
    s.playSample();
    EXPECT_EQ(KSoundTestAccess::buffer(s), nullptr);
}

// --- Loading --------------------------------------------------------------------

TEST_F(SoundDevice, NamesHoldingDotOggAreDecodedAsOgg) {
    auto tone = sineWave(4410, 1, kRate, kTone, kAmplitude);
    KSound s;
    auto oggBytes = readBytes(oggFile("a.ogg", tone, 1, kRate));
    auto wavBytes = wavImage(tone, 1, kRate);
    struct Case { const char *name; bool oggInside; bool loads; };
    for (Case c : {Case{"b.ogg", true, true}, Case{"c.ogg.wav", true, true}, Case{"d.ogg.wav", false, false},
                   Case{"e.ogg", false, false}, Case{"f.OGG", false, true}, Case{"g.OGG", true, false},
                   Case{"h.wav", false, true}, Case{"i.wav", true, false}}) {
        writeBytes(dir.path(c.name), c.oggInside ? oggBytes : wavBytes);
        EXPECT_EQ(s.loadSample(dir.path(c.name).c_str(), 100, false), c.loads) << c.name;
        EXPECT_EQ(KSoundTestAccess::buffer(s) != nullptr, c.loads) << c.name;
        if (c.loads) {
            EXPECT_EQ(KSoundTestAccess::format(s)->extraSize, c.oggInside ? 20 : 0) << c.name;
        }
    }
}

TEST_F(SoundDevice, DataLongerThanTheFilePlaysOnlyWhatIsThere) {
    auto samples = sineWave(kRate / 10, 1, kRate, kTone, kAmplitude);
    auto bytes = riffImage({chunk("fmt ", pcmFormatBody(1, kRate, 16)), chunk("data", sampleBytes(samples), 50000000)});
    writeBytes(dir.path("long.wav"), bytes);
    {
        KSound s;
        ASSERT_TRUE(s.loadSample(dir.path("long.wav").c_str(), 100, false));
        EXPECT_EQ(KSoundTestAccess::length(s), samples.size() * 2);
        s.playSample();
        EXPECT_TRUE(waitUntilDone(s));
    }
    EXPECT_NEAR(recording().seconds(), 0.1, 0.001);
}

TEST_F(SoundDevice, MalformedWavsFailAndLeaveTheSoundEmpty) {
    auto pcm = sampleBytes(sineWave(1000, 1, kRate, kTone, kAmplitude));
    auto shortFormat = pcmFormatBody(1, kRate, 16);
    shortFormat.resize(14);
    auto badAlign = pcmFormatBody(1, kRate, 16);
    badAlign[12] = 3;
    auto floatTag = pcmFormatBody(1, kRate, 32);
    floatTag[0] = 3;
    auto zeroRate = pcmFormatBody(1, 0, 16);
    struct Case { const char *name; std::vector<unsigned char> bytes; };
    Case cases[] = {
        {"data-first.wav", riffImage({chunk("data", pcm), chunk("fmt ", pcmFormatBody(1, kRate, 16))})},
        {"short-fmt.wav", riffImage({chunk("fmt ", shortFormat), chunk("data", pcm)})},
        {"no-fmt.wav", riffImage({chunk("data", pcm)})},
        {"no-data.wav", riffImage({chunk("fmt ", pcmFormatBody(1, kRate, 16))})},
        {"empty-data.wav", riffImage({chunk("fmt ", pcmFormatBody(1, kRate, 16)), chunk("data", {})})},
        {"one-byte.wav", riffImage({chunk("fmt ", pcmFormatBody(1, kRate, 16)), chunk("data", {5})})},
        {"24-bit.wav", riffImage({chunk("fmt ", pcmFormatBody(1, kRate, 24)), chunk("data", pcm)})},
        {"3-channels.wav", riffImage({chunk("fmt ", pcmFormatBody(3, kRate, 16)), chunk("data", pcm)})},
        {"bad-align.wav", riffImage({chunk("fmt ", badAlign), chunk("data", pcm)})},
        {"float.wav", riffImage({chunk("fmt ", floatTag), chunk("data", pcm)})},
        {"zero-rate.wav", riffImage({chunk("fmt ", zeroRate), chunk("data", pcm)})},
        {"zero-bytes.wav", {}},
    };
    KSound s;
    for (const Case &c : cases) {
        ASSERT_TRUE(s.loadSample(wavFile("good.wav", sineWave(100, 1, kRate, kTone, 0.5), 1, kRate).c_str(), 100, false));
        writeBytes(dir.path(c.name), c.bytes);
        EXPECT_FALSE(s.loadSample(dir.path(c.name).c_str(), 100, false)) << c.name;
        EXPECT_EQ(KSoundTestAccess::buffer(s), nullptr) << c.name;
        EXPECT_EQ(KSoundTestAccess::pcm(s), nullptr) << c.name;
        s.playSample();
        EXPECT_FALSE(s.isPlaying()) << c.name;
    }
}

TEST_F(SoundDevice, OtherPcmLayoutsPlay) {
    std::vector<unsigned char> eightBit(2000);
    for (size_t i = 0; i < eightBit.size(); i++) eightBit[i] = uint8_t(128 + std::lround(60 * std::sin(i * 0.3)));
    auto stereo = sampleBytes(sineWave(1000, 2, 22050, kTone, kAmplitude));
    stereo.push_back(1);   // a trailing partial frame is dropped
    struct Case { const char *name; std::vector<unsigned char> bytes; uint32_t bufferBytes; };
    Case cases[] = {
        {"8-bit.wav", riffImage({chunk("fmt ", pcmFormatBody(1, 11025, 8)), chunk("data", eightBit)}), 2000},
        {"stereo.wav", riffImage({chunk("fmt ", pcmFormatBody(2, 22050, 16)), chunk("data", stereo)}), 4000},
    };
    KSound s;
    for (const Case &c : cases) {
        writeBytes(dir.path(c.name), c.bytes);
        ASSERT_TRUE(s.loadSample(dir.path(c.name).c_str(), 100, false)) << c.name;
        ALint size = 0;
        alGetBufferi(KSoundTestAccess::buffer(s)->buffer, AL_SIZE, &size);
        EXPECT_EQ(uint32_t(size), c.bufferBytes) << c.name;
        s.playSample();
        EXPECT_TRUE(s.isPlaying()) << c.name;
    }
}

TEST_F(SoundDevice, OggThatDecodesToNothingFailsWithoutABuffer) {
    KSound s;
    auto path = oggFile("silent.ogg", {}, 1, kRate);
    ASSERT_GT(readBytes(path).size(), 0u);
    EXPECT_FALSE(s.loadSample(path.c_str(), 100, false));
    EXPECT_EQ(KSoundTestAccess::buffer(s), nullptr);
    EXPECT_EQ(KSoundTestAccess::length(s), 0u);
}

TEST_F(SoundDevice, LoadingAgainReleasesTheFirstSound) {
    auto wav = wavFile("loop.wav", sineWave(kRate / 10, 1, kRate, kTone, kAmplitude), 1, kRate);
    auto ogg = oggFile("other.ogg", sineWave(5000, 2, 22050, 300, 0.3), 2, 22050);
    double secondsToReload = 0;
    {
        KSound s;
        ASSERT_TRUE(s.loadSample(wav.c_str(), 100, true));
        auto start = std::chrono::steady_clock::now();
        s.playSample();
        sleepMs(300);
        ASSERT_TRUE(s.isPlaying());
        ASSERT_TRUE(s.loadSample(ogg.c_str(), 100, false));
        secondsToReload = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_FALSE(s.isPlaying());   // loading again ended the loop
        EXPECT_EQ(KSoundTestAccess::loopState(s), 0);
        EXPECT_EQ(KSoundTestAccess::length(s), 5000u * 4);
        ALint size = 0, frequency = 0;
        alGetBufferi(KSoundTestAccess::buffer(s)->buffer, AL_SIZE, &size);
        alGetBufferi(KSoundTestAccess::buffer(s)->buffer, AL_FREQUENCY, &frequency);
        EXPECT_EQ(size, 5000 * 4);
        EXPECT_EQ(frequency, 22050);
        sleepMs(300);
    }
    // The loop stopped at the second load, well before the sound was destroyed.
    Recording r = recording();
    EXPECT_GT(r.seconds(), 0.2);
    EXPECT_LT(r.seconds(), secondsToReload + 0.1);
}

// --- Device lifetime ---------------------------------------------------------------

TEST_F(SoundDevice, DeviceClosesAfterTheLastSoundAndOpensAgain) {
    auto path = wavFile("tone.wav", sineWave(kRate / 10, 1, kRate, kTone, kAmplitude), 1, kRate);
    {
        KSound a;
        EXPECT_TRUE(KSoundTestAccess::deviceOpen());
        EXPECT_EQ(KSoundTestAccess::instanceCount(), 1);
        {
            KSound b;
            EXPECT_EQ(KSoundTestAccess::instanceCount(), 2);
        }
        EXPECT_TRUE(KSoundTestAccess::deviceOpen());
        EXPECT_EQ(KSoundTestAccess::instanceCount(), 1);
    }
    EXPECT_FALSE(KSoundTestAccess::deviceOpen());
    EXPECT_EQ(KSoundTestAccess::instanceCount(), 0);
    {
        KSound again;
        EXPECT_TRUE(KSoundTestAccess::deviceOpen());
        EXPECT_EQ(KSound::gFREQUENCY, 44100.0f);
        ASSERT_TRUE(again.loadSample(path.c_str(), 100, false));
        again.playSample();
        EXPECT_TRUE(waitUntilDone(again));
    }
    EXPECT_NEAR(recording().seconds(), 0.1, 0.001);
}

}  // namespace
