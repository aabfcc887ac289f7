// The game's file names become paths beside the executable, never past the buffer.
#include <gtest/gtest.h>

#include <filesystem>

#include "KMiscTools.h"

namespace {

TEST(FilePath, GameNamesBecomePathsBesideTheExecutableCutToTheBuffer) {
    const std::string folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::string name400 = "data\\" + std::string(395, 'x');
    const std::pair<const char *, std::string> cases[] = {
        {"data\\audio\\click.wav", folder + "/data/audio/click.wav"}, {"prefs.raw", folder + "/prefs.raw"},
        {"/data/s60", folder + "/data/s60"}, {"\\data\\s60", folder + "/data/s60"}, {":data/s60", folder + "/data/s60"},
        {"//data", folder + "//data"},  // only one leading separator goes
        {"", folder + "/"}, {name400.c_str(), (folder + "/data/" + std::string(395, 'x')).substr(0, 259)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(std::string(KMiscTools::makeFilePath(c.first)), c.second) << c.first;
    EXPECT_EQ(KMiscTools::makeFilePath("a"), KMiscTools::makeFilePath("b"));  // one shared buffer
}

}  // namespace
