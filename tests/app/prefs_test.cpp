#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "KSound.h"
#include "prefs.h"
#include "temp_home.h"

// The effect master volume is the sound engine's private state.
struct KSoundTestAccess {
    static int effectVolume() { return KSound::_masterSFXvolume; }
};

namespace {

typedef std::vector<int32_t> Fields;

Fields fieldsOf(const sPrefs &p) { return {p.volume, p.gameMode, p.difficulty, p.scoretab, p.bubbleset}; }

class Prefs : public ::testing::Test {
protected:
    void SetUp() override {
        prefs = sPrefs();
        KSound::setGlobalVolumes(-1, kUntouched);
    }

    void writePrefs(const Fields &fields) {
        home.write("prefs.raw", fields.data(), fields.size() * sizeof(int32_t));
    }

    static int effectVolume() { return KSoundTestAccess::effectVolume(); }

    static constexpr int kUntouched = 37;
    TempHome home;
};

TEST_F(Prefs, NoFileKeepsDefaultsAndEffectVolume) {
    loadPrefs();
    EXPECT_EQ(fieldsOf(prefs), Fields({100, 0, 1, 0, 0}));
    EXPECT_EQ(effectVolume(), kUntouched);
}

TEST_F(Prefs, FolderInPlaceOfTheFileCountsAsNoFile) {
    std::filesystem::create_directory(home.path("prefs.raw"));
    loadPrefs();
    EXPECT_EQ(prefs.volume, 100);
    EXPECT_EQ(effectVolume(), kUntouched);
}

TEST_F(Prefs, VolumeSetsTheEffectMasterVolume) {
    // A damaged value is brought onto the slider before anything adds to it.
    const struct { int32_t stored, slider; int percent; } cases[] = {
        {100, 100, 85}, {0, 0, 0}, {500, 116, 99}, {116, 116, 99}, {117, 116, 99}, {1, 1, 0}, {-5, 0, 0},
        {INT32_MAX, 116, 99}, {0x7fffff50, 116, 99}, {INT32_MIN, 0, 0},
    };
    for (const auto &c : cases) {
        writePrefs({c.stored, 0, 1, 0, 0});
        loadPrefs();
        EXPECT_EQ(effectVolume(), c.percent) << "stored " << c.stored;
        EXPECT_EQ(prefs.volume, c.slider) << "stored " << c.stored;
    }
    EXPECT_EQ(effectVolumePercent(117), 100);
    EXPECT_EQ(effectVolumePercent(INT32_MAX), 100);
    EXPECT_EQ(effectVolumePercent(INT32_MIN), 0);
}

TEST_F(Prefs, ModeAndDifficultyAreBroughtIntoRange) {
    const struct { int32_t mode, difficulty, wantMode, wantDifficulty; } cases[] = {
        {7, -4, 3, 0}, {-1, 9, 0, 2}, {INT32_MIN, INT32_MAX, 0, 2}, {2, 0, 2, 0}, {3, 2, 3, 2},
    };
    for (const auto &c : cases) {
        writePrefs({100, c.mode, c.difficulty, 0, 0});
        loadPrefs();
        EXPECT_EQ(prefs.gameMode, c.wantMode) << "stored mode " << c.mode;
        EXPECT_EQ(prefs.difficulty, c.wantDifficulty) << "stored difficulty " << c.difficulty;
    }
}

TEST_F(Prefs, TabAndGemSetAreKeptAsStored) {
    writePrefs({100, 0, 1, 7, 12});
    loadPrefs();
    EXPECT_EQ(prefs.scoretab, 7);
    EXPECT_EQ(prefs.bubbleset, 12);
}

TEST_F(Prefs, ShortFileReplacesOnlyItsBytes) {
    prefs = {10, 3, 2, 3, 4};
    writePrefs({50, 1});
    loadPrefs();
    EXPECT_EQ(fieldsOf(prefs), Fields({50, 1, 2, 3, 4}));
    EXPECT_EQ(effectVolume(), 42) << "a short file still sets the volume from what it holds";

    // Six bytes: the second field gets only its two low bytes.
    prefs = sPrefs();
    const unsigned char six[6] = {7, 0, 0, 0, 2, 0};
    home.write("prefs.raw", six, sizeof six);
    loadPrefs();
    EXPECT_EQ(fieldsOf(prefs), Fields({7, 2, 1, 0, 0}));
}

TEST_F(Prefs, EmptyFileKeepsValuesButSetsTheVolume) {
    home.write("prefs.raw", "", 0);
    loadPrefs();
    EXPECT_EQ(prefs.volume, 100);
    EXPECT_EQ(effectVolume(), 85);
}

TEST_F(Prefs, LongerFileIsReadForItsFirstTwentyBytes) {
    writePrefs({30, 2, 0, 1, 5, 99, 99});
    loadPrefs();
    EXPECT_EQ(fieldsOf(prefs), Fields({30, 2, 0, 1, 5}));
}

TEST_F(Prefs, SaveWritesTheTwentyByteLittleEndianImage) {
    prefs = {0x01020304, 2, 0, 3, -1};
    savePrefs();
    const std::vector<unsigned char> expected = {
        4, 3, 2, 1, 2, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0xff, 0xff, 0xff, 0xff};
    EXPECT_EQ(home.read("prefs.raw"), expected);
    std::vector<std::string> files = home.list();
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"data", "prefs.raw"}));
}

TEST_F(Prefs, SaveThenLoadGivesTheSameChoices) {
    prefs = {116, 3, 2, 1, 4};
    savePrefs();
    prefs = sPrefs();
    loadPrefs();
    EXPECT_EQ(fieldsOf(prefs), Fields({116, 3, 2, 1, 4}));
    EXPECT_EQ(effectVolume(), 99);
}

TEST_F(Prefs, SaveIntoAMissingFolderIsSilent) {
    std::strcpy(KMiscTools::currentFilePath, home.path("gone").c_str());
    prefs = {1, 1, 1, 1, 1};
    savePrefs();
    EXPECT_FALSE(home.exists("gone"));
    EXPECT_FALSE(home.exists("prefs.raw"));
}

} // namespace
