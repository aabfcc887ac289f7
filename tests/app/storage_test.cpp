// prefs.raw and the four score tables: read back from every length and bad value,
// saved whole even when killed mid-way, and kept when they cannot be read.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include "KSound.h"
#include "game_home.h"
#include "highscores.h"
#include "prefs.h"

struct KSoundTestAccess {
    static int effectVolume() { return KSound::_masterSFXvolume; }
};

namespace {

template <class T> std::string image(const T &record) {
    return std::string(reinterpret_cast<const char *>(&record), sizeof record);
}

TEST(StoredFiles, PrefsFromEveryLengthAndBadValue) {
    GameHome home;
    const std::string stored = image(sPrefs{50, 2, 0, 3, 7});
    for (size_t n = 0; n <= 24; n++) {   // a short file replaces only the bytes it holds
        home.write("prefs.raw", (stored + "long").substr(0, n));
        prefs = sPrefs();
        std::string want = image(prefs).replace(0, n, stored.substr(0, n));
        loadPrefs();
        EXPECT_EQ(image(prefs), want) << n << " bytes";
    }
    const struct { sPrefs stored, loaded; int effectVolume; } cases[] = {
        {{500, 7, -4, 9, -3}, {116, 3, 0, 9, -3}, 99},
        {{-5, -1, 9, 0, 0}, {0, 0, 2, 0, 0}, 0},
        {{INT32_MAX, INT32_MIN, INT32_MAX, 0, 0}, {116, 0, 2, 0, 0}, 99},
        {{100, 4, 3, 0, 0}, {100, 3, 2, 0, 0}, 85},
    };
    for (const auto &c : cases) {
        home.write("prefs.raw", image(c.stored));
        loadPrefs();
        EXPECT_EQ(image(prefs), image(c.loaded));
        EXPECT_EQ(KSoundTestAccess::effectVolume(), c.effectVolume);
    }
    EXPECT_EQ(effectVolumePercent(INT32_MAX), 100);
    EXPECT_EQ(effectVolumePercent(INT32_MIN), 0);

    // No file, or a folder in its place, keeps everything, the effect volume too.
    KSound::setGlobalVolumes(-1, 37);
    std::filesystem::remove(home.path("prefs.raw"));
    loadPrefs();
    std::filesystem::create_directory(home.path("prefs.raw"));
    loadPrefs();
    EXPECT_EQ(image(prefs), image(cases[3].loaded));
    EXPECT_EQ(KSoundTestAccess::effectVolume(), 37);
    std::filesystem::remove(home.path("prefs.raw"));
    prefs = {0x01020304, 2, 0, 3, -1};
    savePrefs();
    EXPECT_EQ(home.read("prefs.raw"), std::string("\4\3\2\1\2\0\0\0\0\0\0\0\3\0\0\0\xff\xff\xff\xff", 20));
}

TEST(StoredFiles, ScoreTablesFromEveryLengthAndAnUnterminatedName) {
    GameHome home;
    sHighScores stored;
    for (int row = 0; row < 9; row++) {
        std::memset(stored.players[row].name, 'a' + row, 32);   // no NUL at all
        stored.players[row].score = 1000u * row + 7;
    }
    for (int mode = 0; mode < 4; mode++)
        for (size_t n = 0; n <= 330; n += mode == 0 ? 1 : 37) {
            home.write(highScoreFileName(mode), (image(stored) + "extra").substr(0, n));
            resetScores();
            std::string want = image(*highScoreTable(mode)).replace(0, n, image(stored).substr(0, n));
            for (int row = 0; row < 9; row++) want[row * 36 + 31] = '\0';   // its first 31 characters
            loadHighScores();
            EXPECT_EQ(image(*highScoreTable(mode)), want) << "mode " << mode << ", " << n << " bytes";
        }
    saveHighScores();
    for (int mode = 0; mode < 4; mode++) EXPECT_EQ(home.read(highScoreFileName(mode)), image(*highScoreTable(mode)));
}

// Savers killed at random moments: every file holds the old or the new content.
TEST(StoredFiles, KilledWhileSavingLeavesEveryFileOldOrNew) {
    GameHome home;
    const sPrefs first = {11, 1, 2, 3, 4}, second = {22, 2, 1, 0, 5};
    std::string tables[2];
    for (int score : {1, 0}) score60sec.players[0].score = score, tables[score] = image(score60sec);
    prefs = first;
    savePrefs();
    saveHighScores();
    std::mt19937 random(1234);
    for (int attempt = 0; attempt < 40; attempt++) {
        const pid_t child = fork();
        if (child == 0)
            for (int round = 0;; round++) {
                prefs = round % 2 ? second : first;
                score60sec.players[0].score = round % 2;
                savePrefs();
                saveHighScores();
            }
        usleep(1000 + random() % 15000);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const std::string saved = home.read("prefs.raw"), table = home.read("data/s60");
        EXPECT_TRUE(saved == image(first) || saved == image(second)) << saved.size() << " bytes";
        EXPECT_TRUE(table == tables[0] || table == tables[1]) << table.size() << " bytes";
    }
    // What killed saves left goes at start-up; pid 1 always runs, its save may be in progress.
    home.write("data/smil.tmp99999999", "x");   // above any pid_max: gone
    home.write("data/s60.tmp1", "x");
    loadPrefs();
    loadHighScores();
    EXPECT_TRUE(std::filesystem::exists(home.path("data/s60.tmp1")));
    EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(home.root()), {}), 2 + 5)
        << "prefs.raw, data and in it the four tables and s60.tmp1";
}

// Root reads and writes anything; without these capabilities it meets permission bits as a player.
class AsPlayer {
public:
    AsPlayer() {
        syscall(SYS_capget, &header_, saved_);
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH);
        syscall(SYS_capset, &header_, lowered);
    }
    ~AsPlayer() { syscall(SYS_capset, &header_, saved_); }

private:
    __user_cap_header_struct header_ = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2] = {};
};

TEST(StoredFiles, UnreadableReadOnlyAndLinkedSaves) {
    GameHome home;
    AsPlayer player;
    const std::string settings = image(sPrefs{7, 2, 0, 3, 1});
    home.write("prefs.raw", settings);
    chmod(home.path("prefs.raw").c_str(), 0);
    testing::internal::CaptureStderr();
    loadPrefs();
    savePrefs();
    savePrefs();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(said.find(home.path("prefs.raw")) == said.rfind(home.path("prefs.raw")) && !said.empty()) << said;
    chmod(home.path("prefs.raw").c_str(), 0444);
    EXPECT_EQ(home.read("prefs.raw"), settings) << "what could not be read was replaced";

    // A read-only file is replaced and keeps its mode; a linked one stays a link to the new content.
    savePrefs();
    struct stat saved;
    stat(home.path("prefs.raw").c_str(), &saved);
    EXPECT_EQ(saved.st_mode & 07777, 0444u);
    EXPECT_EQ(home.read("prefs.raw"), image(prefs));
    std::filesystem::rename(home.path("prefs.raw"), home.path("mine"));
    std::filesystem::create_symlink("mine", home.path("prefs.raw"));
    prefs.bubbleset = 9;
    savePrefs();
    EXPECT_TRUE(std::filesystem::is_symlink(home.path("prefs.raw")));
    EXPECT_EQ(home.read("mine"), image(prefs));
}

}  // namespace
