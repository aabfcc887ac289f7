// Sounds played on a real OpenAL Soft device whose output goes to a file: what a
// player hears, measured after the device closes.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sound_files.h"

namespace {

const TempDir folder;
const bool kWaveWriter = (useWaveWriter(folder.path("heard.wav")), true);

Heard playOnce(const std::string &name, int master, int channel) {
    {
        KSound::setGlobalVolumes(-1, master);
        KSound s;
        EXPECT_TRUE(s.loadSample(folder.path(name).c_str(), channel, false)) << name;
        s.playSample();
        EXPECT_TRUE(s.isPlaying());
        for (int waited = 0; s.isPlaying() && waited < 5000; waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(KSoundTestAccess::deviceOpen());
    return heardIn(folder.read("heard.wav"));
}

TEST(SoundDevice, WavAndOggAreHeardAtTheTablesLevelAndUnplayableFilesRefused) {
    ASSERT_TRUE(kWaveWriter);
    folder.write("tone.wav", toneWav(44100 / 4, 1, 44100));
    ASSERT_TRUE(writeToneOgg(folder, "stereo.ogg", 12345, 2, 44100));
    ASSERT_TRUE(writeToneOgg(folder, "low.ogg", 11025, 1, 22050));
    struct Case {
        const char *name;
        int master, channel;
        double seconds, db;
    };
    for (Case c : {Case{"tone.wav", 100, 100, 0.25, 0}, Case{"tone.wav", 25, 200, 0.25, -18.62},
                   Case{"stereo.ogg", 100, 100, 12345 / 44100.0, 6.02},  // two channels summed
                   Case{"low.ogg", 100, 100, 0.5, 0}}) {  // half a second at its own rate, whatever the device's
        SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(c.master) + " x " + std::to_string(c.channel));
        const Heard h = playOnce(c.name, c.master, c.channel);
        EXPECT_NEAR(h.seconds, c.seconds, 0.005);
        EXPECT_NEAR(h.decibels, c.db, c.db ? 0.5 : 0.2);
    }
    EXPECT_EQ(playOnce("tone.wav", 0, 200).seconds, 0);  // master 0: it plays, unheard

    // Files the device cannot play are refused and leave the sound empty.
    const std::string pcm = tone(1000, 1, 44100), fmt = pcmFormat(1, 44100, 16);
    const std::string badAlign = fmt.substr(0, 12) + '\3' + fmt.substr(13);
    ASSERT_TRUE(writeToneOgg(folder, "silent.ogg", 0, 1, 44100));  // decodes to nothing
    const std::pair<const char *, std::string> cases[] = {
        {"no-fmt.wav", riff(chunk("data", pcm))},
        {"one-byte.wav", riff(chunk("fmt ", fmt) + chunk("data", "\5"))},
        {"24-bit.wav", riff(chunk("fmt ", pcmFormat(1, 44100, 24)) + chunk("data", pcm))},
        {"3-channels.wav", riff(chunk("fmt ", pcmFormat(3, 44100, 16)) + chunk("data", pcm))},
        {"bad-align.wav", riff(chunk("fmt ", badAlign) + chunk("data", pcm))},
        {"float.wav", riff(chunk("fmt ", pcmFormat(1, 44100, 32, 3)) + chunk("data", pcm))},
        {"zero-rate.wav", riff(chunk("fmt ", pcmFormat(1, 0, 16)) + chunk("data", pcm))},
        {"silent.ogg", folder.read("silent.ogg")},
        {"noise.wav", garbage(3000, 1)},
        {"noise.ogg", garbage(3000, 1)},
    };
    std::vector<std::string> paths = {"", folder.path("missing.ogg"), folder.root()};  // "": none; a folder opens
    for (const auto &c : cases)
        folder.write(c.first, c.second), paths.push_back(folder.path(c.first));
    KSound s;
    for (const std::string &path : paths) {
        ASSERT_TRUE(s.loadSample(folder.path("tone.wav").c_str(), 100, false));
        EXPECT_FALSE(s.loadSample(path == "" ? nullptr : path.c_str(), 100, false)) << path;
        EXPECT_EQ(KSoundTestAccess::buffer(s), nullptr) << path;
        s.playSample();
        EXPECT_FALSE(s.isPlaying()) << path;
    }
}

}  // namespace
