// Polled pointer and keys of the windowed game, driven by xdotool as a player would.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <thread>

#include "KInput.h"
#include "KMiscTools.h"
#include "gl_test_window.h"
#include "x11_probe.h"

namespace {

class Input : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gltest::openWindow());
        xwindow = x11probe::windowOf(KWindow::getWindow());
        ASSERT_NE(xwindow, 0u);
        origin = x11probe::geometryOf(xwindow);
        ASSERT_TRUE(x11probe::xdotool("windowfocus --sync " + std::to_string(xwindow)));
    }
    bool movePointer(int screenX, int screenY) {
        return x11probe::xdotool("mousemove --sync " + std::to_string(screenX) + " " + std::to_string(screenY));
    }
    bool pointerReads(int x, int y) {
        return x11probe::eventually([&] { return KInput::getMouseX() == x && KInput::getMouseY() == y; });
    }
    bool keyReads(EKeyboardLayout key, bool down) {
        return x11probe::eventually([&] { return KInput::isPressed(key) == down; });
    }
    Window xwindow = 0;
    x11probe::Geometry origin;
};

TEST_F(Input, PointerAtTheClientAreasCornersAndOutside) {
    ASSERT_TRUE(movePointer(origin.x, origin.y));
    EXPECT_TRUE(pointerReads(0, 0)) << KInput::getMouseX() << ", " << KInput::getMouseY();
    ASSERT_TRUE(movePointer(origin.x + 639, origin.y + 479));
    EXPECT_TRUE(pointerReads(639, 479)) << KInput::getMouseX() << ", " << KInput::getMouseY();
    ASSERT_TRUE(movePointer(origin.x + 200, origin.y + 100));
    EXPECT_TRUE(pointerReads(200, 100)) << KInput::getMouseX() << ", " << KInput::getMouseY();

    // Above and left of the window: negative; below and right: past the size.
    ASSERT_TRUE(movePointer(origin.x + 100, origin.y - 30));
    EXPECT_TRUE(pointerReads(100, -30)) << KInput::getMouseX() << ", " << KInput::getMouseY();
    ASSERT_TRUE(movePointer(origin.x - 50, origin.y + 10));
    EXPECT_TRUE(pointerReads(-50, 10)) << KInput::getMouseX() << ", " << KInput::getMouseY();
    ASSERT_TRUE(movePointer(origin.x + 700, origin.y + 500));
    EXPECT_TRUE(pointerReads(700, 500)) << KInput::getMouseX() << ", " << KInput::getMouseY();
}

TEST_F(Input, LeftButtonInsideAndOutsideTheWindow) {
    ASSERT_TRUE(movePointer(origin.x + 320, origin.y + 240));
    ASSERT_TRUE(pointerReads(320, 240));
    EXPECT_FALSE(KInput::getLeftButtonState());
    ASSERT_TRUE(x11probe::xdotool("mousedown 1"));
    EXPECT_TRUE(x11probe::eventually([] { return KInput::getLeftButtonState(); }));
    ASSERT_TRUE(x11probe::xdotool("mouseup 1"));
    EXPECT_TRUE(x11probe::eventually([] { return !KInput::getLeftButtonState(); }));

    // Held while dragged out of the window, and pressed out there.
    ASSERT_TRUE(x11probe::xdotool("mousedown 1"));
    ASSERT_TRUE(movePointer(origin.x - 40, origin.y - 40));
    EXPECT_TRUE(x11probe::eventually([] { return KInput::getLeftButtonState(); }));
    ASSERT_TRUE(x11probe::xdotool("mouseup 1"));
    EXPECT_TRUE(x11probe::eventually([] { return !KInput::getLeftButtonState(); }));
    ASSERT_TRUE(x11probe::xdotool("mousedown 1"));
    EXPECT_TRUE(x11probe::eventually([] { return KInput::getLeftButtonState(); }));
    ASSERT_TRUE(x11probe::xdotool("mouseup 1"));
    EXPECT_TRUE(x11probe::eventually([] { return !KInput::getLeftButtonState(); }));
    // The right button is not the left one.
    ASSERT_TRUE(movePointer(origin.x + 320, origin.y + 240));
    ASSERT_TRUE(x11probe::xdotool("mousedown 3"));
    SDL_Delay(50);
    EXPECT_FALSE(KInput::getLeftButtonState());
    ASSERT_TRUE(x11probe::xdotool("mouseup 3"));
}

TEST_F(Input, KeysReadDownWhileHeldAndUpAfter) {
    struct Case {
        const char *xkey;
        EKeyboardLayout key;
    } cases[] = {
        {"p", K_VK_P}, {"Escape", K_VK_ESCAPE}, {"a", K_VK_A}, {"z", K_VK_Z}, {"F1", K_VK_F1},
        {"space", K_VK_SPACE}, {"Return", K_VK_RETURN}, {"BackSpace", K_VK_BACK}, {"Down", K_VK_DOWN},
        {"KP_Add", K_VK_ADD}, {"0", K_VK_0}, {"1", K_VK_1}, {"KP_7", K_VK_NUM7}, {"Control_R", K_VK_R_CONTROL},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(x11probe::xdotool(std::string("keydown ") + c.xkey));
        EXPECT_TRUE(keyReads(c.key, true)) << c.xkey;
        EXPECT_FALSE(KInput::isPressed(c.key == K_VK_P ? K_VK_O : K_VK_P)) << "another key while " << c.xkey;
        ASSERT_TRUE(x11probe::xdotool(std::string("keyup ") + c.xkey));
        EXPECT_TRUE(keyReads(c.key, false)) << c.xkey;
    }
}

TEST_F(Input, LettersFollowTheKeyboardLayout) {
    struct Case {
        const char *layout, *xkey;
        EKeyboardLayout key, usKey;   // the letter typed, and the letter of that key on a US board
    } cases[] = {
        {"fr", "a", K_VK_A, K_VK_Q}, {"fr", "z", K_VK_Z, K_VK_W}, {"fr", "q", K_VK_Q, K_VK_A},
        {"fr", "w", K_VK_W, K_VK_Z}, {"fr", "m", K_VK_M, K_VK_M}, {"de", "z", K_VK_Z, K_VK_Y},
        {"de", "y", K_VK_Y, K_VK_Z}, {"fr", "Return", K_VK_RETURN, K_VK_RETURN},
    };
    struct BackToUs {
        ~BackToUs() { EXPECT_EQ(std::system("setxkbmap us"), 0); }
    } backToUs;
    for (const Case &c : cases) {
        ASSERT_EQ(std::system((std::string("setxkbmap ") + c.layout).c_str()), 0);
        ASSERT_TRUE(x11probe::xdotool(std::string("keydown ") + c.xkey));
        EXPECT_TRUE(keyReads(c.key, true)) << c.layout << " " << c.xkey;
        if (c.usKey != c.key) {
            EXPECT_FALSE(KInput::isPressed(c.usKey)) << c.layout << " " << c.xkey;
        }
        ASSERT_TRUE(x11probe::xdotool(std::string("keyup ") + c.xkey));
        EXPECT_TRUE(keyReads(c.key, false)) << c.layout << " " << c.xkey;
    }
}

TEST_F(Input, EitherAltIsAlt) {
    for (const char *alt : {"Alt_L", "Alt_R"}) {
        ASSERT_TRUE(x11probe::xdotool(std::string("keydown ") + alt));
        EXPECT_TRUE(keyReads(K_VK_ALT, true)) << alt;
        ASSERT_TRUE(x11probe::xdotool(std::string("keyup ") + alt));
        EXPECT_TRUE(keyReads(K_VK_ALT, false)) << alt;
    }
}

TEST_F(Input, IdentifiersPastTheTableAreNotPressedEvenWithKeysDown) {
    ASSERT_TRUE(x11probe::xdotool("keydown q"));
    ASSERT_TRUE(keyReads(K_VK_Q, true));
    for (int id : {93, 128, 255})
        EXPECT_FALSE(KInput::isPressed(static_cast<EKeyboardLayout>(id))) << id;
    ASSERT_TRUE(x11probe::xdotool("keyup q"));
    ASSERT_TRUE(keyReads(K_VK_Q, false));
}

TEST_F(Input, WaitForKeyReleaseReturnsAtOnceWhenTheKeyIsUp) {
    uint32_t quickest = UINT32_MAX;
    for (int i = 0; i < 3; i++) {
        uint32_t before = KMiscTools::getMilliseconds();
        KInput::waitForKeyRelease(K_VK_ESCAPE);
        quickest = std::min(quickest, KMiscTools::getMilliseconds() - before);
    }
    EXPECT_LT(quickest, 5u);
}

TEST_F(Input, WaitForKeyReleaseWaitsForTheRelease) {
    ASSERT_TRUE(x11probe::xdotool("keydown Return"));
    ASSERT_TRUE(keyReads(K_VK_RETURN, true));
    std::thread player([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        x11probe::xdotool("keyup Return");
    });
    uint32_t before = KMiscTools::getMilliseconds();
    KInput::waitForKeyRelease(K_VK_RETURN);
    uint32_t waited = KMiscTools::getMilliseconds() - before;
    player.join();
    EXPECT_GE(waited, 150u);
    EXPECT_FALSE(KInput::isPressed(K_VK_RETURN));
}

TEST_F(Input, InitInputForgetsKeysHeldBefore) {
    ASSERT_TRUE(x11probe::xdotool("keydown w"));
    ASSERT_TRUE(keyReads(K_VK_W, true));
    KInput::initInput(KWindow::getWindow());
    EXPECT_FALSE(KInput::isPressed(K_VK_W));
    ASSERT_TRUE(x11probe::xdotool("keyup w"));
}

TEST_F(Input, PointerVisibilityIsDefiniteWhateverCameBefore) {
    KInput::hidePointer();
    KInput::hidePointer();
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    KInput::showPointer();
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    KInput::showPointer();
    KInput::hidePointer();
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    KInput::showPointer();
}

}  // namespace
