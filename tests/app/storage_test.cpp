#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "KMiscTools.h"
#include "highscores.h"
#include "prefs.h"
#include "storage.h"
#include "temp_home.h"

namespace {

std::vector<unsigned char> bytes(const std::string &text) { return {text.begin(), text.end()}; }

template <typename T> std::vector<unsigned char> imageOf(const T &record) {
    const unsigned char *raw = reinterpret_cast<const unsigned char *>(&record);
    return {raw, raw + sizeof record};
}

TEST(AtomicWrite, CreatesAndReplacesWithExactContent) {
    TempHome home;
    const std::string file = home.path("data/blob");
    ASSERT_TRUE(writeFileAtomically(file.c_str(), "a longer first content", 22));
    EXPECT_EQ(home.read("data/blob"), bytes("a longer first content"));

    ASSERT_TRUE(writeFileAtomically(file.c_str(), "short", 5));
    EXPECT_EQ(home.read("data/blob"), bytes("short"));

    ASSERT_TRUE(writeFileAtomically(file.c_str(), "", 0));
    EXPECT_TRUE(home.exists("data/blob"));
    EXPECT_TRUE(home.read("data/blob").empty());
}

TEST(AtomicWrite, LeavesNoTemporaryFileBehind) {
    TempHome home;
    for (int i = 0; i < 3; i++) ASSERT_TRUE(writeFileAtomically(home.path("data/blob").c_str(), "x", 1));
    EXPECT_EQ(home.list("data"), std::vector<std::string>{"blob"});
}

TEST(AtomicWrite, MissingFolderFailsAndCreatesNothing) {
    TempHome home;
    EXPECT_FALSE(writeFileAtomically(home.path("nowhere/blob").c_str(), "x", 1));
    EXPECT_FALSE(home.exists("nowhere"));
}

TEST(AtomicWrite, UnwritableTargetKeepsTheOldFolderIntact) {
    TempHome home;
    // A folder in the target's place cannot be replaced by a file.
    std::filesystem::create_directory(home.path("data/blob"));
    std::filesystem::create_directory(home.path("data/blob/inner"));
    EXPECT_FALSE(writeFileAtomically(home.path("data/blob").c_str(), "x", 1));
    EXPECT_TRUE(std::filesystem::is_directory(home.path("data/blob/inner")));
    EXPECT_EQ(home.list("data"), std::vector<std::string>{"blob"});
}

TEST(ReadBytes, ReadsAtMostTheRequestedSize) {
    TempHome home;
    home.write("data/blob", "0123456789", 10);
    char buffer[4] = {'-', '-', '-', '-'};
    EXPECT_EQ(readFileBytes(home.path("data/blob").c_str(), buffer, 3), 3);
    EXPECT_EQ(std::string(buffer, 4), "012-");
}

TEST(ReadBytes, ShortFileReplacesOnlyItsBytes) {
    TempHome home;
    home.write("data/blob", "ab", 2);
    char buffer[5] = {'v', 'w', 'x', 'y', 'z'};
    EXPECT_EQ(readFileBytes(home.path("data/blob").c_str(), buffer, 5), 2);
    EXPECT_EQ(std::string(buffer, 5), "abxyz");
}

TEST(ReadBytes, MissingFileOrFolderIsNotReadable) {
    TempHome home;
    char buffer[2] = {'k', 'k'};
    EXPECT_EQ(readFileBytes(home.path("data/none").c_str(), buffer, 2), -1);
    EXPECT_EQ(readFileBytes(home.path("data").c_str(), buffer, 2), -1);
    EXPECT_EQ(std::string(buffer, 2), "kk");
}

// Two distinct states of everything the game saves.
struct SavedState {
    sPrefs prefs;
    sHighScores tables[4];
};

SavedState makeState(int32_t seed) {
    SavedState state;
    state.prefs = {seed, 1, 2, 3, seed + 1};
    for (int mode = 0; mode < 4; mode++) {
        state.tables[mode] = *highScoreTable(mode);
        for (sHighEntry &entry : state.tables[mode].players) {
            std::snprintf(entry.name, sizeof entry.name, "player %d", seed);
            entry.score = static_cast<uint32_t>(seed * 1000 + mode);
        }
    }
    return state;
}

void install(const SavedState &state) {
    prefs = state.prefs;
    for (int mode = 0; mode < 4; mode++) *highScoreTable(mode) = state.tables[mode];
}

[[noreturn]] void saveForever(const SavedState &first, const SavedState &second) {
    // Bounded, in case the parent never kills us.
    for (int round = 0; round < 200000; round++) {
        install(round % 2 ? second : first);
        savePrefs();
        saveHighScores();
    }
    _exit(0);
}

TEST(AtomicWrite, KilledWhileSavingLeavesEveryFileOldOrNew) {
    TempHome home;
    const SavedState first = makeState(11), second = makeState(22);
    install(first);
    savePrefs();
    saveHighScores();

    std::mt19937 random(1234);
    int kills = 0;
    for (int attempt = 0; attempt < 40; attempt++) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) saveForever(first, second);
        usleep(1000 + random() % 15000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        if (WIFSIGNALED(status)) kills++;

        const std::vector<unsigned char> savedPrefs = home.read("prefs.raw");
        EXPECT_TRUE(savedPrefs == imageOf(first.prefs) || savedPrefs == imageOf(second.prefs))
            << "prefs.raw holds " << savedPrefs.size() << " bytes after kill " << attempt;
        for (int mode = 0; mode < 4; mode++) {
            const std::vector<unsigned char> table = home.read(highScoreFileName(mode));
            EXPECT_TRUE(table == imageOf(first.tables[mode]) || table == imageOf(second.tables[mode]))
                << highScoreFileName(mode) << " holds " << table.size() << " bytes after kill " << attempt;
        }
    }
    EXPECT_GT(kills, 30) << "the child should mostly die mid-loop";

    // Temporary files of killed savers do not get in the way of the next save.
    install(first);
    savePrefs();
    EXPECT_EQ(home.read("prefs.raw"), imageOf(first.prefs));
}

// Root reads and writes anything; without these capabilities the test meets
// permission bits as a player does.
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

int occurrences(const std::string &text, const std::string &part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) count++;
    return count;
}

TEST(StoredFiles, WhatCannotBeReadIsKeptAndLinksModesAndLeftoversAreRespected) {
    TempHome home;
    AsPlayer player;
    const sPrefs settings = {7, 2, 0, 3, 1};
    home.write("prefs.raw", &settings, sizeof settings);
    chmod(home.path("prefs.raw").c_str(), 0);
    prefs = sPrefs();
    testing::internal::CaptureStderr();
    loadPrefs();
    savePrefs();
    savePrefs();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(occurrences(said, home.path("prefs.raw")), 1) << said;
    chmod(home.path("prefs.raw").c_str(), 0640);
    EXPECT_EQ(home.read("prefs.raw"), imageOf(settings)) << "the unreadable settings were replaced";

    prefs = {1, 1, 1, 1, 1};
    savePrefs();
    struct stat saved;
    ASSERT_EQ(stat(home.path("prefs.raw").c_str(), &saved), 0);
    EXPECT_EQ(saved.st_mode & 07777, 0640u);
    EXPECT_EQ(home.read("prefs.raw"), imageOf(prefs));

    std::filesystem::create_directory(home.path("elsewhere"));
    std::filesystem::rename(home.path("prefs.raw"), home.path("elsewhere/mine"));
    std::filesystem::create_symlink("elsewhere/mine", home.path("prefs.raw"));
    prefs = {2, 2, 2, 2, 2};
    savePrefs();
    EXPECT_TRUE(std::filesystem::is_symlink(home.path("prefs.raw")));
    EXPECT_EQ(home.read("elsewhere/mine"), imageOf(prefs));

    // Leftovers of a killed save go at start-up; pid 1 always runs, so its file may be a save in progress.
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string stale = "data/s60.tmp" + std::to_string(gone);
    home.write(stale, "x", 1);
    home.write("data/s60.tmp1", "x", 1);
    loadHighScores();
    EXPECT_FALSE(home.exists(stale));
    EXPECT_TRUE(home.exists("data/s60.tmp1"));
}

TEST(StoredFiles, AFolderThatCannotBeWrittenSavesToThePlayersOwnFolder) {
    TempHome home;
    AsPlayer player;
    setenv("XDG_DATA_HOME", home.path("xdg").c_str(), 1);
    chmod(home.path("data").c_str(), 0555);
    prefs = {3, 3, 2, 1, 0};
    savePrefs();
    saveHighScores();
    chmod(home.path("data").c_str(), 0755);
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(home.read("xdg/brolix/prefs.raw"), imageOf(prefs));
    EXPECT_EQ(home.read("xdg/brolix/s60"), imageOf(*highScoreTable(0)));
    EXPECT_FALSE(home.exists("prefs.raw"));
    EXPECT_EQ(home.list("data"), std::vector<std::string>{});
}

} // namespace
