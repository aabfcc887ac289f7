// The software cursor: drawn over the logical screen, the system pointer given back outside it.
#include <gtest/gtest.h>
#include "cursor.h"
#include "gl_test_window.h"
#include "input_script.h"
#include "picture_files.h"
#include "KGraphic.h"

namespace {

using gltest::Rgb;
const Rgb cursorColour{250, 120, 10}, black{0, 0, 0};

bool screenIsBlack() {
    for (const Rgb &p : gltest::backRegion(0, 0, 640, 480))
        if (p != black) return false;
    return true;
}

class Cursor : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gltest::openWindow());
        inputScript::reset();
        isHidden = false;
        std::vector<unsigned char> pixels;
        for (int i = 0; i < 12 * 12; i++)
            pixels.insert(pixels.end(), {cursorColour.b, cursorColour.g, cursorColour.r, 255});
        std::string path = folder.file("mouse.tga");
        picfiles::writeFile(path, picfiles::tgaBytes(12, 12, 32, pixels));
        surf_mouse = new KGraphic;
        ASSERT_TRUE(surf_mouse->loadPicture(path.c_str(), true, false, true));
    }
    void TearDown() override {
        delete surf_mouse;
        surf_mouse = nullptr;
    }
    static void frameAt(int x, int y) {
        gltest::clearBack(0, 0, 0);
        inputScript::pointAt(x, y);
        displayMouseCursor();
    }
    picfiles::TempDir folder;
};

TEST_F(Cursor, HotSpotIsThreePixelsIn) {
    frameAt(100, 200);
    EXPECT_EQ(gltest::backPixel(97, 197), cursorColour);
    EXPECT_EQ(gltest::backPixel(108, 208), cursorColour);
    EXPECT_EQ(gltest::backPixel(96, 197), black);
    EXPECT_EQ(gltest::backPixel(97, 196), black);
    EXPECT_EQ(gltest::backPixel(109, 208), black);
    EXPECT_TRUE(isHidden);
    EXPECT_TRUE(inputScript::pointerHidden());
}

TEST_F(Cursor, TheFarEdgesStillCountAsInside) {
    frameAt(640, 480);
    EXPECT_EQ(gltest::backPixel(637, 477), cursorColour);
    EXPECT_TRUE(isHidden);
    frameAt(0, 0);
    EXPECT_EQ(gltest::backPixel(0, 0), cursorColour);
}

TEST_F(Cursor, OutsideTheScreenThePointerIsGivenBackAndNothingDrawn) {
    frameAt(300, 300);
    for (auto p : {std::pair<int, int>{-1, 100}, {100, -1}, {641, 100}, {100, 481}}) {
        frameAt(p.first, p.second);
        EXPECT_TRUE(screenIsBlack()) << p.first << "," << p.second;
        EXPECT_FALSE(isHidden);
        EXPECT_FALSE(inputScript::pointerHidden());
    }
}

TEST_F(Cursor, EachCrossingShowsOrHidesOnce) {
    for (int frame = 0; frame < 3; frame++) frameAt(320, 240);
    EXPECT_EQ(inputScript::pointerCalls(), 1);
    for (int frame = 0; frame < 3; frame++) frameAt(-20, 240);
    EXPECT_EQ(inputScript::pointerCalls(), 2);
    for (int frame = 0; frame < 3; frame++) frameAt(320, 240);
    EXPECT_EQ(inputScript::pointerCalls(), 3);
    EXPECT_TRUE(inputScript::pointerHidden());
}

TEST_F(Cursor, WithoutAPictureOnlyThePointerIsHidden) {
    delete surf_mouse;
    surf_mouse = nullptr;
    frameAt(320, 240);
    EXPECT_TRUE(screenIsBlack());
    EXPECT_TRUE(isHidden);
}

}  // namespace
