// KSound without a sound card: the volume curve, the WAV chunk scan, and every
// operation staying silent and safe on bad input.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>

#include "sound_test_tools.h"

namespace {

const bool kNoDevice = (useNoDevice(), true);

class SoundUnit : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kNoDevice);
        KSound::setGlobalVolumes(100, 100);
    }
    TempDir dir;
};

// --- Volume curve ---------------------------------------------------------------

TEST(FechnerTable, HoldsEveryListedValue) {
    const int expected[101] = {
        10000, 6623, 5623, 5495, 5370, 5248, 5129, 5012, 4898, 4786, 4677, 4571, 4467, 4365, 4266, 4169,
        4074, 3981, 3890, 3802, 3715, 3631, 3548, 3467, 3388, 3311, 3236, 3162, 3090, 3020, 2951, 2884,
        2818, 2754, 2692, 2630, 2570, 2512, 2455, 2399, 2344, 2291, 2239, 2188, 2138, 2089, 2042, 1995,
        1950, 1905, 1862, 1820, 1778, 1738, 1698, 1660, 1622, 1585, 1549, 1514, 1479, 1445, 1413, 1380,
        1349, 1318, 1288, 1259, 1230, 1202, 1175, 1148, 1122, 1096, 1072, 1070, 1068, 1066, 1064, 1062,
        1060, 1058, 1056, 1054, 1052, 1050, 1048, 1046, 1044, 1042, 1040, 1038, 1032, 1030, 1028, 1000,
        800, 600, 400, 200, 0};
    for (int i = 0; i <= 100; i++) EXPECT_EQ(KSound::fechnerTable[i], expected[i]) << "step " << i;
}

TEST(FechnerTable, MiddleStepsFollowTheLogCurve) {
    for (int i = 2; i <= 74; i++)
        EXPECT_EQ(KSound::fechnerTable[i], std::lround(std::pow(10.0, 3.77 - i / 100.0))) << "step " << i;
    EXPECT_EQ(KSound::fechnerTable[0], 10000);   // silence
    EXPECT_EQ(KSound::fechnerTable[100], 0);     // full level
}

TEST(FechnerIndex, IsMasterTimesChannelOverHundredWithinLimits) {
    EXPECT_EQ(KSoundTestAccess::fechnerIndex(100, 100), 100);
    EXPECT_EQ(KSoundTestAccess::fechnerIndex(85, 200), 100);   // 170, limited
    EXPECT_EQ(KSoundTestAccess::fechnerIndex(25, 200), 50);
    EXPECT_EQ(KSoundTestAccess::fechnerIndex(0, 200), 0);
    EXPECT_EQ(KSoundTestAccess::fechnerIndex(50, 3), 1);       // 1.5 truncated
    EXPECT_EQ(KSoundTestAccess::fechnerIndex(99, 1), 0);       // 0.99 truncated
    EXPECT_EQ(KSoundTestAccess::fechnerIndex(-1, 50), 0);      // -0.5 truncated toward zero
    EXPECT_EQ(KSoundTestAccess::fechnerIndex(-100, 100), 0);   // negative, limited
    EXPECT_EQ(KSoundTestAccess::fechnerIndex(100, 101), 100);
}

TEST(FechnerIndex, ExtremeVolumesDoNotOverflow) {
    EXPECT_EQ(KSoundTestAccess::fechnerIndex(INT_MAX, INT_MAX), 100);
    EXPECT_EQ(KSoundTestAccess::fechnerIndex(INT_MIN, INT_MAX), 0);
    EXPECT_EQ(KSoundTestAccess::fechnerIndex(INT_MIN, INT_MIN), 100);
}

TEST(GlobalVolumes, NegativeKeepsAMasterZeroAndAboveReplaceIt) {
    KSound::setGlobalVolumes(70, 30);
    EXPECT_EQ(KSoundTestAccess::masterMusic(), 70);
    EXPECT_EQ(KSoundTestAccess::masterSFX(), 30);
    KSound::setGlobalVolumes(-1, 0);
    EXPECT_EQ(KSoundTestAccess::masterMusic(), 70);
    EXPECT_EQ(KSoundTestAccess::masterSFX(), 0);
    KSound::setGlobalVolumes(5, -20);
    EXPECT_EQ(KSoundTestAccess::masterMusic(), 5);
    EXPECT_EQ(KSoundTestAccess::masterSFX(), 0);
    KSound::setGlobalVolumes(100, 100);
}

// --- WAV chunk scan -------------------------------------------------------------

std::vector<unsigned char> join(std::initializer_list<std::vector<unsigned char>> parts) {
    std::vector<unsigned char> out;
    for (const auto &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST_F(SoundUnit, ScanFindsFormatAndData) {
    KSound s;
    auto pcm = sampleBytes(sineWave(100, 2, 22050, 441, 0.5));
    auto file = riffImage({chunk("fmt ", pcmFormatBody(2, 22050, 16)), chunk("data", pcm)});
    ASSERT_EQ(KSoundTestAccess::parse(s, file), long(pcm.size()));
    // A 16-byte chunk has no extra-size field.
    EXPECT_EQ(formatText(KSoundTestAccess::format(s)), "tag 1, 2 ch, 22050 Hz, 88200 B/s, align 4, 16 bits, extra 0");
    EXPECT_EQ(KSoundTestAccess::length(s), pcm.size());
}

TEST_F(SoundUnit, ScanTakesExtraSizeWhenTheChunkHoldsIt) {
    KSound s;
    auto body = pcmFormatBody(1, 8000, 8);
    body.push_back(0);
    body.push_back(0);
    auto file = riffImage({chunk("fmt ", body), chunk("data", {1, 2, 3})});
    ASSERT_EQ(KSoundTestAccess::parse(s, file), 3);
    ASSERT_NE(KSoundTestAccess::format(s), nullptr);
    EXPECT_EQ(KSoundTestAccess::format(s)->extraSize, 0);
    body[16] = 22;
    file = riffImage({chunk("fmt ", body), chunk("data", {1, 2, 3})});
    ASSERT_EQ(KSoundTestAccess::parse(s, file), 3);
    EXPECT_EQ(KSoundTestAccess::format(s)->extraSize, 22);
}

TEST_F(SoundUnit, DataLongerThanTheFileIsCutToTheBytesPresent) {
    KSound s;
    auto file = riffImage({chunk("fmt ", pcmFormatBody(1, 44100, 16)), chunk("data", {1, 2, 3, 4, 5, 6}, 1000000)});
    EXPECT_EQ(KSoundTestAccess::parse(s, file), 6);
    file = riffImage({chunk("fmt ", pcmFormatBody(1, 44100, 16)), chunk("data", {}, 0xFFFFFFFF)});
    EXPECT_EQ(KSoundTestAccess::parse(s, file), 0);
}

TEST_F(SoundUnit, DataBeforeFormatEndsTheScanWithoutFormat) {
    KSound s;
    auto file = riffImage({chunk("data", {1, 2, 3, 4}), chunk("fmt ", pcmFormatBody(1, 44100, 16))});
    EXPECT_EQ(KSoundTestAccess::parse(s, file), 4);
    EXPECT_EQ(KSoundTestAccess::format(s), nullptr);
}

TEST_F(SoundUnit, NoDataChunkGivesMinusOne) {
    KSound s;
    EXPECT_EQ(KSoundTestAccess::parse(s, riffImage({chunk("fmt ", pcmFormatBody(1, 44100, 16))})), -1);
    EXPECT_EQ(KSoundTestAccess::parse(s, {}), -1);
    // A tag without its full length field is not a chunk.
    EXPECT_EQ(KSoundTestAccess::parse(s, {'d', 'a', 't', 'a', 0, 0, 0}), -1);
}

TEST_F(SoundUnit, TheFirstFormatAndTheFirstDataWin) {
    KSound s;
    auto file = riffImage({chunk("fmt ", pcmFormatBody(1, 11025, 16)), chunk("fmt ", pcmFormatBody(2, 48000, 8)),
                           chunk("data", {9, 9}), chunk("data", {1, 2, 3, 4, 5, 6, 7, 8})});
    EXPECT_EQ(KSoundTestAccess::parse(s, file), 2);
    ASSERT_NE(KSoundTestAccess::format(s), nullptr);
    EXPECT_EQ(KSoundTestAccess::format(s)->samplesPerSec, 11025u);
}

TEST_F(SoundUnit, TagsAreFoundAtAnyByteOffset) {
    KSound s;
    auto file = join({{'x', 'y', 'z'}, chunk("fmt ", pcmFormatBody(1, 8000, 16)), {0x42}, chunk("data", {7, 7})});
    EXPECT_EQ(KSoundTestAccess::parse(s, file), 2);
    ASSERT_NE(KSoundTestAccess::format(s), nullptr);
    EXPECT_EQ(KSoundTestAccess::format(s)->samplesPerSec, 8000u);
    EXPECT_EQ(KSoundTestAccess::pcm(s), file.data() + file.size() - 2);
}

TEST_F(SoundUnit, FormatChunkShorterThanAPcmRecordIsRefused) {
    KSound s;
    auto shortBody = pcmFormatBody(1, 44100, 16);
    shortBody.resize(14);   // the old record without bits per sample
    auto file = riffImage({chunk("fmt ", shortBody), chunk("data", {1, 2, 3, 4})});
    EXPECT_EQ(KSoundTestAccess::parse(s, file), 4);
    EXPECT_EQ(KSoundTestAccess::format(s), nullptr);
    // A full body announced as shorter is refused too: the length is what counts.
    file = riffImage({chunk("fmt ", pcmFormatBody(1, 44100, 16), 12), chunk("data", {1, 2, 3, 4})});
    KSoundTestAccess::parse(s, file);
    EXPECT_EQ(KSoundTestAccess::format(s), nullptr);
}

TEST_F(SoundUnit, EveryTruncationOfAWavScansSafely) {
    KSound s;
    auto file = wavImage(sineWave(64, 1, 44100, 441, 0.5), 1, 44100);
    for (size_t n = 0; n <= file.size(); n++) {
        // An exact-size copy, so the sanitizer sees any read past the end.
        std::vector<unsigned char> cut(file.begin(), file.begin() + n);
        long length = KSoundTestAccess::parse(s, cut);
        size_t dataBody = 12 + 24 + 8;
        if (n < dataBody) EXPECT_EQ(length, -1) << n;
        else EXPECT_EQ(length, long(n - dataBody)) << n;
    }
}

// --- No sound card ----------------------------------------------------------------

TEST_F(SoundUnit, WithoutADeviceEverythingIsSilentAndSafe) {
    auto wav = dir.path("tone.wav");
    auto ogg = dir.path("tone.ogg");
    writeBytes(wav, wavImage(sineWave(4410, 1, 44100, 441, 0.5), 1, 44100));
    writeOgg(ogg, sineWave(4410, 1, 44100, 441, 0.5), 1, 44100);
    {
        KSound a, b;
        EXPECT_FALSE(KSoundTestAccess::deviceOpen());
        EXPECT_EQ(KSoundTestAccess::instanceCount(), 0);
        EXPECT_EQ(KSoundTestAccess::channelVolume(a), 80);
        EXPECT_FALSE(a.isPlaying());
        a.playSample();
        a.setVolume(50);
        EXPECT_EQ(KSoundTestAccess::channelVolume(a), 50);
        EXPECT_FALSE(a.loadSample(wav.c_str(), 200, false));
        EXPECT_FALSE(b.loadSample(ogg.c_str(), 200, true));
        EXPECT_EQ(KSoundTestAccess::channelVolume(a), 200);
        EXPECT_EQ(KSoundTestAccess::loopState(b), 1);
        for (KSound *s : {&a, &b}) {
            s->playSample();
            s->setVolume(100);
            EXPECT_FALSE(s->isPlaying());
            EXPECT_EQ(KSoundTestAccess::buffer(*s), nullptr);
            EXPECT_EQ(KSoundTestAccess::pcm(*s), nullptr);
            EXPECT_EQ(KSoundTestAccess::length(*s), 0u);
        }
        KSound::setGlobalVolumes(-1, 25);
    }
    // Sounds that never had a device leave the count alone, so a later sound still tries to open one.
    EXPECT_EQ(KSoundTestAccess::instanceCount(), 0);
    KSound later;
    EXPECT_EQ(KSoundTestAccess::instanceCount(), 0);
}

// --- Bad files ------------------------------------------------------------------

void expectEmptyAfterFailedLoad(KSound &s, const std::string &path) {
    EXPECT_FALSE(s.loadSample(path.c_str(), 200, false)) << path;
    EXPECT_EQ(KSoundTestAccess::buffer(s), nullptr) << path;
    EXPECT_EQ(KSoundTestAccess::pcm(s), nullptr) << path;
    EXPECT_EQ(KSoundTestAccess::length(s), 0u) << path;
    EXPECT_FALSE(s.isPlaying()) << path;
    s.playSample();
}

TEST_F(SoundUnit, MissingEmptyAndOddNamesFail) {
    KSound s;
    writeBytes(dir.path("empty.wav"), {});
    writeBytes(dir.path("empty.ogg"), {});
    expectEmptyAfterFailedLoad(s, dir.path("empty.wav"));
    expectEmptyAfterFailedLoad(s, dir.path("empty.ogg"));
    expectEmptyAfterFailedLoad(s, dir.path("missing.wav"));
    expectEmptyAfterFailedLoad(s, dir.path("missing.ogg"));
    expectEmptyAfterFailedLoad(s, dir.path(""));   // a folder opens, but is no sound
    EXPECT_FALSE(s.loadSample(nullptr, 100, false));
}

TEST_F(SoundUnit, TruncatedAndGarbageFilesFailCleanly) {
    KSound s;
    auto wav = wavImage(sineWave(2000, 2, 44100, 441, 0.5), 2, 44100);
    writeOgg(dir.path("whole.ogg"), sineWave(8000, 2, 44100, 441, 0.5), 2, 44100);
    auto ogg = readBytes(dir.path("whole.ogg"));
    ASSERT_GT(ogg.size(), 200u);
    for (size_t n = 0; n < wav.size(); n += 97) {
        writeBytes(dir.path("cut.wav"), std::vector<unsigned char>(wav.begin(), wav.begin() + n));
        expectEmptyAfterFailedLoad(s, dir.path("cut.wav"));
    }
    for (size_t n = 0; n < ogg.size(); n += ogg.size() / 23 + 1) {
        writeBytes(dir.path("cut.ogg"), std::vector<unsigned char>(ogg.begin(), ogg.begin() + n));
        expectEmptyAfterFailedLoad(s, dir.path("cut.ogg"));
    }
    std::mt19937 random(7);
    for (int round = 0; round < 20; round++) {
        std::vector<unsigned char> noise(1 + random() % 3000);
        for (auto &b : noise) b = static_cast<unsigned char>(random());
        writeBytes(dir.path("noise.wav"), noise);
        writeBytes(dir.path("noise.ogg"), noise);
        expectEmptyAfterFailedLoad(s, dir.path("noise.wav"));
        expectEmptyAfterFailedLoad(s, dir.path("noise.ogg"));
        // Ogg pages with their insides scrambled.
        auto damaged = ogg;
        for (int k = 0; k < 40; k++) damaged[60 + random() % (damaged.size() - 60)] ^= uint8_t(1 + random() % 255);
        writeBytes(dir.path("damaged.ogg"), damaged);
        expectEmptyAfterFailedLoad(s, dir.path("damaged.ogg"));
    }
}

}  // namespace
