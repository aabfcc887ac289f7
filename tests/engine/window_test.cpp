// The game window under Xvfb as the X server and a player (xdotool) see it.
#include <gtest/gtest.h>

#include <thread>
#include <tuple>

#include "KGraphic.h"
#include "KInput.h"
#include "gl_window.h"
#include "x11_probe.h"

namespace {

using namespace x11probe;

struct Pointer {
    int screenX, screenY, x, y;
};

class GameWindow : public ::testing::Test {
protected:
    BoxRecorder boxes;
    void open(bool windowed) {
        window.reset();   // one window at a time: the engine's state is its own
        window.reset(new KWindow);
        ASSERT_TRUE(window->createGameWindow(640, 480, 16, windowed, "Brolix window test"));
        KFrame::setRecording(false);
        xwindow = windowOf(KWindow::getWindow());
        ASSERT_TRUE(eventually([&] { return geometryOf(xwindow).width == 1280; }));   // 2x fits, 3x not
    }
    void expectPointer(Pointer p) {
        ASSERT_TRUE(xdotool("mousemove --sync " + std::to_string(p.screenX) + " " + std::to_string(p.screenY)));
        EXPECT_TRUE(eventually([&] { return KInput::getMouseX() == p.x && KInput::getMouseY() == p.y; }))
            << p.screenX << ", " << p.screenY << " read " << KInput::getMouseX() << ", " << KInput::getMouseY();
    }
    std::unique_ptr<KWindow> window;
    Window xwindow = 0;
};

TEST_F(GameWindow, KeysFollowTheLayoutClosingQuitsAndFullScreenScalesThePointer) {
    open(true);
    const Geometry at = geometryOf(xwindow);
    EXPECT_EQ(std::make_tuple(at.x, at.y, at.height), std::make_tuple(0, (1024 - 960) / 2, 960));
    EXPECT_TRUE(shownBoxes().empty());
    for (Pointer p : {Pointer{0, 0, 0, 0}, {1279, 959, 639, 479}, {40, -30, 20, -15}, {1279, 990, 639, 495}})
        expectPointer({at.x + p.screenX, at.y + p.screenY, p.x, p.y});
    ASSERT_TRUE(xdotool("windowfocus --sync " + std::to_string(xwindow)));
    struct Key {
        const char *layout, *xkey;
        EKeyboardLayout key, other;  // read down while held; a key that must not
    };
    for (Key k : {Key{"us", "p", K_VK_P, K_VK_O}, {"us", "F1", K_VK_F1, K_VK_P}, {"us", "KP_7", K_VK_NUM7, K_VK_7},
                  {"us", "Alt_R", K_VK_ALT, K_VK_P}, {"fr", "a", K_VK_A, K_VK_Q}, {"de", "z", K_VK_Z, K_VK_Y}}) {
        ASSERT_EQ(std::system((std::string("setxkbmap ") + k.layout).c_str()), 0);
        ASSERT_TRUE(xdotool(std::string("keydown ") + k.xkey));
        EXPECT_TRUE(eventually([&] { return KInput::isPressed(k.key); })) << k.layout << " " << k.xkey;
        EXPECT_FALSE(KInput::isPressed(k.other)) << k.layout << " " << k.xkey;
        std::thread player([&] { xdotool(std::string("keyup ") + k.xkey); });
        KInput::waitForKeyRelease(k.key);  // returns once the player lets go
        player.join();
        EXPECT_FALSE(KInput::isPressed(k.key)) << k.layout << " " << k.xkey;
    }
    EXPECT_EQ(std::system("setxkbmap us"), 0);
    // Closing while another window has the focus also ends the wait for the foreground.
    const Window other = XCreateSimpleWindow(display(), DefaultRootWindow(display()), 0, 0, 50, 50, 0, 0, 0);
    XMapRaised(display(), other);
    ASSERT_TRUE(eventually([&] {
        XSetInputFocus(display(), other, RevertToParent, CurrentTime);
        XSync(display(), False);
        SDL_PumpEvents();
        return !(SDL_GetWindowFlags(KWindow::getWindow()) & SDL_WINDOW_INPUT_FOCUS);
    }));
    pressCloseButton(xwindow);
    KWindow::flipBackBuffer(true);  // would block for ever if closing did not end the wait
    EXPECT_TRUE(KWindow::isQuit());
    EXPECT_TRUE(geometryOf(xwindow).viewable);  // until the game deletes it
    XDestroyWindow(display(), other);

    // Full screen scales the logical screen and its pointer.
    open(false);
    EXPECT_FALSE(KWindow::isQuit());  // a new window after an ended one starts afresh
    // Red, a green 10 x 10 square at the top-left corner: doubled between 32-pixel bars.
    KGraphic::setDefaultWorldView();
    clearBack({255, 0, 0});
    KGraphic::drawRect(0, 0, 10, 10, 0, 1, 0, 1);
    KWindow::flipBackBuffer(true);
    glFinish();
    XImage *image = XGetImage(display(), xwindow, 0, 0, 1280, 1024, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    struct Spot {
        int x, y, rgb;
    };
    for (Spot s : {Spot{640, 31, 0}, {640, 32, 0xFF0000}, {640, 991, 0xFF0000}, {640, 992, 0}, {0, 32, 0xFF00},
                   {19, 51, 0xFF00}, {20, 52, 0xFF0000}, {1279, 500, 0xFF0000}})
        EXPECT_EQ(int(XGetPixel(image, s.x, s.y) & 0xFFFFFF), s.rgb) << s.x << ", " << s.y;
    XDestroyImage(image);
    for (Pointer p : {Pointer{0, 32, 0, 0}, {1279, 991, 639, 479}, {2, 34, 1, 1}, {100, 10, 50, -11},
                      {100, 1000, 50, 484}})
        expectPointer(p);
}

TEST_F(GameWindow, ADriverWithoutThePixelFormatShowsBothBoxesAndKeepsAPlainWindow) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    ASSERT_EQ(SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, 64), 0);  // stays set: the engine's request fails
    window.reset(new KWindow);
    EXPECT_FALSE(window->createGameWindow(640, 480, 16, true, "Brolix no format"));
    SDL_GL_ResetAttributes();
    const Boxes boxes = {{"Could not initialize openGL", "Please install your video drivers"},
                         {"Could not select fixel format", "OpenGl error : video drivers probably missing."}};
    EXPECT_EQ(shownBoxes(), boxes);
    EXPECT_NE(KWindow::getWindow(), nullptr);
    KWindow::flipBackBuffer(true);  // still pumps its events
    EXPECT_FALSE(KWindow::isQuit());
    window.reset();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
