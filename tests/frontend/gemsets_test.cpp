// Gem sets loaded from a temporary data folder into a real GL window.
#include "gemsets.h"

#include "KGraphic.h"
#include "KMiscTools.h"
#include "../engine/display/gl_test_window.h"
#include "../engine/display/picture_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace {

class GemSets : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gltest::openWindow());
        KWindow::setRectangleTexCap(false);  // as the game does right after opening its window
        std::strncpy(savedFolder, KMiscTools::currentFilePath, sizeof savedFolder);
        std::strncpy(KMiscTools::currentFilePath, dir.path().c_str(), KMiscTools::PATH_SIZE - 1);
        forgetGems();
        std::memset(bubbleSetName, 0, sizeof bubbleSetName);
    }
    void TearDown() override {
        forgetGems();
        std::strncpy(KMiscTools::currentFilePath, savedFolder, KMiscTools::PATH_SIZE);
    }
    static void forgetGems() {
        for (KGraphic *&g : gems) {
            delete g;
            g = nullptr;
        }
    }
    std::string setFolder(int id) const { return dir.file("data/gems/set" + std::to_string(id)); }
    // A set whose gem k is a (side + k) pixel square; name written as given, if any.
    void makeSet(int id, const std::string *name, int side) {
        std::filesystem::create_directories(setFolder(id));
        if (name)
            picfiles::writeFile(setFolder(id) + "/name.txt", {name->begin(), name->end()});
        for (int k = 1; k <= 7; ++k) {
            const int s = side + k;
            picfiles::writeFile(setFolder(id) + "/gem0" + std::to_string(k) + ".tga",
                                picfiles::tgaBytes(uint16_t(s), uint16_t(s), 24,
                                                   std::vector<unsigned char>(size_t(s) * s * 3, uint8_t(40 * k))));
        }
    }
    void makeSet(int id, const std::string &name, int side) { makeSet(id, &name, side); }
    picfiles::TempDir dir;
    char savedFolder[KMiscTools::PATH_SIZE] = {};
};

TEST_F(GemSets, SelectorCyclesThroughConsecutiveSets) {
    makeSet(0, "Classic", 10);
    makeSet(1, "Shapes", 20);
    makeSet(2, "Glass", 30);
    // The options panel's selector: the next set, or set 0 when there is none.
    int32_t current = 0;
    std::vector<int32_t> seen;
    std::vector<std::string> names;
    ASSERT_TRUE(loadBubbleSet(current));
    for (int step = 0; step < 3; ++step) {
        if (!loadBubbleSet(current + 1)) {
            current = 0;
            ASSERT_TRUE(loadBubbleSet(current));
        } else {
            ++current;
        }
        seen.push_back(current);
        names.push_back(bubbleSetName);
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{1, 2, 0}));
    EXPECT_EQ(names, (std::vector<std::string>{"Shapes", "Glass", "Classic"}));
    for (int k = 0; k < 7; ++k) {
        ASSERT_NE(gems[k], nullptr);
        EXPECT_EQ(gems[k]->getWidth(), float(11 + k));
    }
}

TEST_F(GemSets, SetWithoutNameChangesNothing) {
    makeSet(0, "Classic", 10);
    makeSet(1, nullptr, 20);
    ASSERT_TRUE(loadBubbleSet(0));
    KGraphic *before[7];
    std::memcpy(before, gems, sizeof before);
    gltest::messageBoxes().clear();
    EXPECT_FALSE(loadBubbleSet(1));
    EXPECT_FALSE(loadBubbleSet(7));
    EXPECT_FALSE(loadBubbleSet(-1));
    EXPECT_EQ(0, std::memcmp(before, gems, sizeof before));
    EXPECT_STREQ(bubbleSetName, "Classic");
    EXPECT_EQ(gems[0]->getWidth(), 11);
    EXPECT_TRUE(gltest::messageBoxes().empty());
}

TEST_F(GemSets, MissingFirstSetIsReportedOnce) {
    gltest::messageBoxes().clear();
    EXPECT_FALSE(loadBubbleSet(0));
    EXPECT_FALSE(loadBubbleSet(0));
    ASSERT_EQ(gltest::messageBoxes().size(), 1u);
    EXPECT_EQ(gltest::messageBoxes()[0].title, "Could not open file");
    EXPECT_EQ(gltest::messageBoxes()[0].text, setFolder(0) + "/name.txt");
}

TEST_F(GemSets, NameIsReadAsItIsUpTo255Bytes) {
    std::string longName(300, 'x');
    for (size_t i = 0; i < longName.size(); ++i)
        longName[i] = char('a' + i % 26);
    makeSet(0, longName, 10);
    makeSet(1, "Night\r\n", 10);
    ASSERT_TRUE(loadBubbleSet(0));
    EXPECT_EQ(std::strlen(bubbleSetName), 255u);
    EXPECT_EQ(std::string(bubbleSetName), longName.substr(0, 255));
    ASSERT_TRUE(loadBubbleSet(1));
    EXPECT_STREQ(bubbleSetName, "Night\r\n");  // the shorter name leaves no trace of the longer one
}

TEST_F(GemSets, LoadingTwiceReplacesThePictures) {
    makeSet(0, "Classic", 10);
    ASSERT_TRUE(loadBubbleSet(0));
    const int32_t memory = KGraphic::getVideoMemory();
    makeSet(0, "Classic", 40);  // same set, new pictures on disk
    ASSERT_TRUE(loadBubbleSet(0));
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(gems[k]->getWidth(), float(41 + k));
        EXPECT_TRUE(glIsTexture(gems[k]->texture));
    }
    // The old textures went away with the old pictures: 11..16 px sit in 16 x 16
    // textures, 17 px in 32 x 32, 41..47 px in 64 x 64 ones.
    const int32_t oldBytes = 2 * (6 * 16 * 16 + 32 * 32), newBytes = 2 * 7 * 64 * 64;
    EXPECT_EQ(KGraphic::getVideoMemory(), memory - oldBytes + newBytes);
}

TEST_F(GemSets, MissingGemPicturesLeaveEmptyEntries) {
    makeSet(0, "Broken", 10);
    std::filesystem::remove(setFolder(0) + "/gem03.tga");
    gltest::messageBoxes().clear();
    EXPECT_TRUE(loadBubbleSet(0));
    ASSERT_NE(gems[2], nullptr);
    EXPECT_EQ(gems[2]->getWidth(), 0);
    EXPECT_EQ(gems[3]->getWidth(), 14);
    ASSERT_EQ(gltest::messageBoxes().size(), 2u);
    EXPECT_EQ(gltest::messageBoxes()[0].title, "Could not open file");
}

}  // namespace
