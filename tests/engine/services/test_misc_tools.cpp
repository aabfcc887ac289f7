#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <sys/stat.h>

#include "KLog.h"
#include "KMiscTools.h"

namespace {

std::string executableFolder() {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    exe[n > 0 ? n : 0] = '\0';
    std::string path(exe);
    return path.substr(0, path.rfind('/'));
}

bool fileExists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// A fresh empty folder, made the working folder for the test's life.
class InTempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/brolix-tools-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        ASSERT_NE(getcwd(previous, sizeof(previous)), nullptr);
        ASSERT_EQ(chdir(folder.c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(previous), 0);
        std::system(("rm -rf '" + folder + "'").c_str());
    }
    std::string folder;
    char previous[PATH_MAX];
};

TEST(FilePath, FolderOfTheExecutableWithoutTrailingSeparator) {
    KMiscTools::initMiscTools();
    EXPECT_EQ(std::string(KMiscTools::currentFilePath), executableFolder());
    KMiscTools::initMiscTools();   // a repeat computes the same
    EXPECT_EQ(std::string(KMiscTools::currentFilePath), executableFolder());
}

TEST(FilePath, GameNamesWithBackslashesBecomeSlashPaths) {
    const std::string folder = executableFolder();
    EXPECT_EQ(std::string(KMiscTools::makeFilePath("data\\mouse.tga")), folder + "/data/mouse.tga");
    EXPECT_EQ(std::string(KMiscTools::makeFilePath("data\\audio\\click.wav")), folder + "/data/audio/click.wav");
    EXPECT_EQ(std::string(KMiscTools::makeFilePath("prefs.raw")), folder + "/prefs.raw");
}

TEST(FilePath, OneLeadingSeparatorOrColonIsSkipped) {
    const std::string folder = executableFolder();
    EXPECT_EQ(std::string(KMiscTools::makeFilePath("/data/audio/click.wav")), folder + "/data/audio/click.wav");
    EXPECT_EQ(std::string(KMiscTools::makeFilePath("\\data\\s60")), folder + "/data/s60");
    EXPECT_EQ(std::string(KMiscTools::makeFilePath(":data/s60")), folder + "/data/s60");
    // Only one character goes.
    EXPECT_EQ(std::string(KMiscTools::makeFilePath("//data")), folder + "//data");
    EXPECT_EQ(std::string(KMiscTools::makeFilePath("")), folder + "/");
}

TEST(FilePath, EveryCallOverwritesTheSharedBuffer) {
    char *first = KMiscTools::makeFilePath("data\\s60");
    char *second = KMiscTools::makeFilePath("data\\smil");
    EXPECT_EQ(first, second);
    EXPECT_EQ(std::string(first), executableFolder() + "/data/smil");
}

TEST(FilePath, LongNamesAreCutAt259Characters) {
    std::string name(400, 'x');
    name[10] = '\\';
    char *path = KMiscTools::makeFilePath(name.c_str());
    ASSERT_EQ(std::strlen(path), size_t(KMiscTools::PATH_SIZE - 1));
    std::string expected = (executableFolder() + "/" + name).substr(0, KMiscTools::PATH_SIZE - 1);
    expected[executableFolder().size() + 1 + 10] = '/';
    EXPECT_EQ(std::string(path), expected);
    // The next, short call is whole again.
    EXPECT_EQ(std::string(KMiscTools::makeFilePath("a")), executableFolder() + "/a");
}

TEST_F(InTempFolder, InstalledGameReadsItsDataThereAndSavesInThePlayersFolder) {
    ASSERT_EQ(std::system("mkdir -p games share/games/brolix"), 0);
    std::strcpy(KMiscTools::currentFilePath, (folder + "/games").c_str());
    setenv("XDG_DATA_HOME", (folder + "/xdg").c_str(), 1);
    EXPECT_EQ(std::string(KMiscTools::makeFilePath("data\\gems\\set0\\name.txt")),
              folder + "/share/games/brolix/gems/set0/name.txt");
    EXPECT_EQ(std::string(KMiscTools::makeSavePath("data\\s60")), folder + "/xdg/brolix/s60");
    setenv("XDG_DATA_HOME", "", 1);   // empty: the default under the home
    const std::string home = getenv("HOME") ? getenv("HOME") : "/";
    setenv("HOME", (folder + "/home").c_str(), 1);
    EXPECT_EQ(std::string(KMiscTools::makeSavePath("prefs.raw")), folder + "/home/.local/share/brolix/prefs.raw");
    // A data folder beside the executable wins, and the saves stay beside it.
    ASSERT_EQ(mkdir((folder + "/games/data").c_str(), 0755), 0);
    EXPECT_EQ(std::string(KMiscTools::makeFilePath("data\\menu0.tga")), folder + "/games/data/menu0.tga");
    EXPECT_EQ(std::string(KMiscTools::makeSavePath("data\\s60")), folder + "/games/data/s60");
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    KMiscTools::initMiscTools();
}

TEST(Clock, CountsMillisecondsLikeTheSteadyClock) {
    KMiscTools::initMillisecond();
    EXPECT_EQ(KMiscTools::_unitsPerSecond, 1000000000);
    auto start = std::chrono::steady_clock::now();
    uint32_t first = KMiscTools::getMilliseconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    uint32_t second = KMiscTools::getMilliseconds();
    auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(second - first, 59u);
    EXPECT_LE(int64_t(second - first), wall + 1);
}

TEST(Clock, NeverGoesBackAndTicksMatchMilliseconds) {
    uint32_t previous = KMiscTools::getMilliseconds();
    for (int i = 0; i < 100000; i++) {
        uint32_t now = KMiscTools::getMilliseconds();
        ASSERT_LT(now - previous, 1000u) << "went backwards or jumped";
        previous = now;
    }
    uint32_t ticks = KMiscTools::getTheTicks();
    uint32_t ms = KMiscTools::getMilliseconds();
    EXPECT_LE(ms - ticks, 1u);
}

TEST(Clock, StartsItselfWhenNotInitialised) {
    KMiscTools::_unitsPerSecond = 0;   // as before any initialisation
    uint32_t ms = KMiscTools::getMilliseconds();
    EXPECT_EQ(KMiscTools::_unitsPerSecond, 1000000000);
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint32_t expected = uint32_t(uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1000000);
    EXPECT_LE(expected - ms, 5u);
}

TEST(Year, IsTheLocalYear) {
    time_t now = std::time(nullptr);
    tm local;
    localtime_r(&now, &local);
    char year[16];
    std::strftime(year, sizeof(year), "%Y", &local);
    EXPECT_EQ(KMiscTools::getYear(), std::atoi(year));
    EXPECT_GE(KMiscTools::getYear(), 2024);
}

std::vector<std::pair<std::string, std::string>> recordedBoxes;
void recordBox(const char *title, const char *text) { recordedBoxes.emplace_back(title, text); }
void otherRecorder(const char *, const char *) {}

TEST(MessageBox, GoesThroughTheHookTitleFirst) {
    recordedBoxes.clear();
    KMiscTools::setMessageBoxHook(recordBox);
    KMiscTools::messageBox("Could not initialize openGL", "Please install your video drivers");
    ASSERT_EQ(recordedBoxes.size(), 1u);
    EXPECT_EQ(recordedBoxes[0].first, "Could not initialize openGL");
    EXPECT_EQ(recordedBoxes[0].second, "Please install your video drivers");

    // The hook setter hands back what it replaced, and nullptr puts the real box back.
    EXPECT_EQ(KMiscTools::setMessageBoxHook(otherRecorder), &recordBox);
    EXPECT_EQ(KMiscTools::setMessageBoxHook(nullptr), &otherRecorder);
    KMiscTools::MessageBoxHook real = KMiscTools::setMessageBoxHook(recordBox);
    EXPECT_NE(real, nullptr);
    EXPECT_NE(real, &recordBox);
    EXPECT_NE(real, &otherRecorder);
}

// Where no box can be shown (no display at all), the message still reaches the player's terminal.
TEST(MessageBox, WithoutADisplayGoesToStandardError) {
    std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    KMiscTools::MessageBoxHook previous = KMiscTools::setMessageBoxHook(nullptr);
    testing::internal::CaptureStderr();
    KMiscTools::messageBox("Could not create openGL Context", "OpenGl error");
    std::string printed = testing::internal::GetCapturedStderr();
    KMiscTools::setMessageBoxHook(previous);
    if (!display.empty())
        setenv("DISPLAY", display.c_str(), 1);
    EXPECT_NE(printed.find("Could not create openGL Context: OpenGl error"), std::string::npos) << printed;
}

using Log = InTempFolder;

TEST_F(Log, FileTypeOneCreatesFourEmptyFiles) {
    {
        KLog log(K_LOG_TO_FILES);
        EXPECT_FALSE(log._channels[KLog::INFO].enabled);
        EXPECT_TRUE(log._channels[KLog::ERRORS].enabled);
        EXPECT_TRUE(log._channels[KLog::FATALS].enabled);
        EXPECT_TRUE(log._channels[KLog::DEBUG].enabled);
        for (const char *name : {"infos.log", "errors.log", "fatals.log", "debug.log"})
            EXPECT_TRUE(fileExists(folder + "/" + name)) << name;
    }
    for (const char *name : {"infos.log", "errors.log", "fatals.log", "debug.log"}) {
        struct stat st;
        ASSERT_EQ(stat((folder + "/" + name).c_str(), &st), 0);
        EXPECT_EQ(st.st_size, 0) << name;
    }
}

TEST_F(Log, FileTypeOneTruncatesOldFiles) {
    std::ofstream("errors.log") << "left from an older run";
    { KLog log(K_LOG_TO_FILES); }
    struct stat st;
    ASSERT_EQ(stat("errors.log", &st), 0);
    EXPECT_EQ(st.st_size, 0);
}

TEST_F(Log, FileTypeTwoCreatesNothing) {
    { KLog log(K_LOG_NONE); }
    for (const char *name : {"infos.log", "errors.log", "fatals.log", "debug.log"})
        EXPECT_FALSE(fileExists(folder + "/" + name)) << name;
    EXPECT_EQ(KMiscTools::_kLog._fileType, K_LOG_NONE);
}

using LaunchUrl = InTempFolder;

// The desktop opener is replaced by a script that writes down what it was asked to open.
TEST_F(LaunchUrl, HandsTheUrlToTheDesktopOpenerWithoutWaiting) {
    std::ofstream script(folder + "/xdg-open");
    script << "#!/bin/sh\nsleep 0.6\nprintf '%s' \"$1\" > '" << folder << "/opened.tmp'\n"
           << "mv '" << folder << "/opened.tmp' '" << folder << "/opened'\n";
    script.close();
    chmod((folder + "/xdg-open").c_str(), 0755);
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (folder + ":" + oldPath).c_str(), 1);

    auto start = std::chrono::steady_clock::now();
    KMiscTools::launchURL("mailto:someone@example.org?subject=Brolix", true);
    auto took = std::chrono::steady_clock::now() - start;
    setenv("PATH", oldPath.c_str(), 1);
    EXPECT_LT(took, std::chrono::milliseconds(500)) << "waited for the opener";

    std::string opened;
    for (int i = 0; i < 500 && opened.empty(); i++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(folder + "/opened");
        std::getline(in, opened);
    }
    EXPECT_EQ(opened, "mailto:someone@example.org?subject=Brolix");
}

}  // namespace
