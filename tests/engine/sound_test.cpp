// Sound files and volumes with no sound card: the WAV chunk scan reads only what
// is there, volumes stay in the table. (Refused files are the device test's: with no
// device every load fails.)
#include <gtest/gtest.h>

#include <climits>

#include "sound_files.h"

namespace {

const bool kNoDevice = (useSoundConfig("[general]\ndrivers=no-such-sound-card\n"), true);

std::vector<unsigned char> bytes(const std::string &s) { return {s.begin(), s.end()}; }

TEST(WavScan, FindsFirstFormatAndDataAndNeverReadsPastTheEnd) {
    ASSERT_TRUE(kNoDevice);
    KSound s;
    const std::string fmt = chunk("fmt ", pcmFormat(1, 8000, 16)), data = chunk("data", "\1\2\3\4\5\6");
    struct Case {
        std::string file;
        long length;
        uint32_t rate;  // 0: no format
    };
    const Case cases[] = {
        {riff(fmt + chunk("data", "\1\2\3\4\5\6", 1000000)), 6, 8000},  // cut to the bytes present
        {riff(fmt + chunk("data", "", 0xFFFFFFFF)), 0, 8000},
        {riff(data + fmt), 6, 0},                                        // data first: the scan ends there
        {riff(fmt + chunk("fmt ", pcmFormat(2, 48000, 8)) + chunk("data", "\1\2") + data), 2, 8000},
        {"xyz" + fmt + "B" + data, 6, 8000},                             // tags at any byte offset
        {riff(chunk("fmt ", pcmFormat(1, 8000, 16).substr(0, 14)) + data), 6, 0},  // shorter than a PCM record
        {riff(chunk("fmt ", pcmFormat(1, 8000, 16), 12) + data), 6, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(&c - cases);
        EXPECT_EQ(KSoundTestAccess::parse(s, bytes(c.file)), c.length);
        const KWaveFormat *f = KSoundTestAccess::format(s);
        EXPECT_EQ(f ? f->samplesPerSec : 0, c.rate);
    }
    const std::string wav = toneWav(64, 1, 44100);  // every cut: fmt body ends at 36, samples start at 44
    for (size_t n = 0; n <= wav.size(); n++) {
        EXPECT_EQ(KSoundTestAccess::parse(s, bytes(wav.substr(0, n))), n < 44 ? -1 : long(n - 44)) << n;
        EXPECT_EQ(KSoundTestAccess::format(s) != nullptr, n >= 36) << "cut to " << n;
    }
}

TEST(Volume, AnyMasterAndChannelPickAStepOfTheTable) {
    struct Case {
        int master, channel, step;
    };
    for (Case c : {Case{100, 100, 100}, Case{85, 200, 100}, Case{25, 200, 50}, Case{50, 3, 1}, Case{99, 1, 0},
                   Case{-1, 50, 0}, Case{-100, 100, 0}, Case{INT_MAX, INT_MAX, 100}, Case{INT_MIN, INT_MAX, 0}})
        EXPECT_EQ(KSoundTestAccess::fechnerIndex(c.master, c.channel), c.step) << c.master << " x " << c.channel;
}

}  // namespace
