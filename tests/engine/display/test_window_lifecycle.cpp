// Closing, ending and deleting the game window, and opening it full screen.
// Each test opens its own window.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "KGraphic.h"
#include "KInput.h"
#include "KMiscTools.h"
#include "KWindow.h"
#include "gl_test_window.h"
#include "x11_probe.h"

namespace {

int ignoreXErrors(Display *, XErrorEvent *) { return 0; }

class WindowLifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        KMiscTools::setMessageBoxHook(gltest::recordMessageBox);
        XSetErrorHandler(ignoreXErrors);
    }
    std::unique_ptr<KWindow> open(bool windowed) {
        std::unique_ptr<KWindow> window(new KWindow);
        EXPECT_TRUE(window->createGameWindow(640, 480, 16, windowed, "Brolix lifecycle"));
        KFrame::setRecording(false);   // drawn with GL of its own, so nothing is left to a record
        return window;
    }
};

TEST_F(WindowLifecycle, CloseButtonSetsQuitAndTheWindowStaysUntilDeleted) {
    auto window = open(true);
    Window xwindow = x11probe::windowOf(KWindow::getWindow());
    EXPECT_FALSE(KWindow::isQuit());
    x11probe::pressCloseButton(xwindow);
    for (int frame = 0; frame < 200 && !KWindow::isQuit(); frame++)
        KWindow::flipBackBuffer(true);
    EXPECT_TRUE(KWindow::isQuit());
    EXPECT_TRUE(x11probe::geometryOf(xwindow).viewable);
    EXPECT_NE(KWindow::getWindow(), nullptr);

    window.reset();
    EXPECT_TRUE(KWindow::isQuit());
    EXPECT_EQ(KWindow::getWindow(), nullptr);
    EXPECT_FALSE(x11probe::geometryOf(xwindow).viewable);   // gone from the server
}

TEST_F(WindowLifecycle, TerminateSetsQuitAndQueuesAQuitEvent) {
    auto window = open(true);
    EXPECT_FALSE(KWindow::isQuit());
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    KWindow::terminate();
    EXPECT_TRUE(KWindow::isQuit());
    EXPECT_TRUE(SDL_HasEvent(SDL_QUIT));
    EXPECT_NE(KWindow::getWindow(), nullptr);
}

TEST_F(WindowLifecycle, NewWindowStartsNotQuitAfterAnEndedOne) {
    { auto first = open(true); KWindow::terminate(); }
    EXPECT_TRUE(KWindow::isQuit());
    auto second = open(true);
    EXPECT_FALSE(KWindow::isQuit());
    EXPECT_TRUE(gltest::messageBoxes().empty());
}

TEST_F(WindowLifecycle, ForegroundWaitEndsWhenTheWindowIsClosed) {
    auto window = open(true);
    Window xwindow = x11probe::windowOf(KWindow::getWindow());
    Display *d = x11probe::display();
    Window other = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 50, 50, 0, 0, 0);
    XMapRaised(d, other);
    XSync(d, False);
    x11probe::eventually([&] { return x11probe::geometryOf(other).viewable; });
    XSetInputFocus(d, other, RevertToParent, CurrentTime);
    XSync(d, False);
    ASSERT_TRUE(x11probe::eventually([] {
        SDL_PumpEvents();
        return !(SDL_GetWindowFlags(KWindow::getWindow()) & SDL_WINDOW_INPUT_FOCUS);
    }));
    x11probe::pressCloseButton(xwindow);
    KWindow::flipBackBuffer(true);   // would block for ever if closing did not end the wait
    EXPECT_TRUE(KWindow::isQuit());
    XDestroyWindow(d, other);
    XSync(d, False);
}

TEST_F(WindowLifecycle, FullScreenCoversTheScreenWithTheLogicalScreenScaled) {
    auto window = open(false);
    Window xwindow = x11probe::windowOf(KWindow::getWindow());
    Screen *screen = DefaultScreenOfDisplay(x11probe::display());
    ASSERT_EQ(WidthOfScreen(screen), 1280);
    ASSERT_EQ(HeightOfScreen(screen), 1024);
    ASSERT_TRUE(x11probe::eventually([&] {
        SDL_PumpEvents();
        x11probe::Geometry g = x11probe::geometryOf(xwindow);
        return g.x == 0 && g.y == 0 && g.width == 1280 && g.height == 1024;
    }));

    // Logical drawing: red everywhere, a green 10x10 square at the top-left corner.
    KGraphic::setDefaultWorldView();
    gltest::clearBack(255, 0, 0);
    glDisable(GL_TEXTURE_2D);
    glColor3ub(0, 255, 0);
    glRecti(0, 470, 10, 480);
    EXPECT_EQ(gltest::backPixel(5, 5), (gltest::Rgb{0, 255, 0}));   // read-back stays in logical pixels
    EXPECT_EQ(gltest::backPixel(15, 5), (gltest::Rgb{255, 0, 0}));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    KWindow::flipBackBuffer(true);
    glFinish();

    // 640x480 doubled is 1280x960, with 32-pixel bars above and below.
    XImage *image = XGetImage(x11probe::display(), xwindow, 0, 0, 1280, 1024, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    auto rgb = [&](int x, int y) {
        unsigned long p = XGetPixel(image, x, y);
        return gltest::Rgb{uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)};
    };
    EXPECT_EQ(rgb(640, 10), (gltest::Rgb{0, 0, 0}));
    EXPECT_EQ(rgb(640, 31), (gltest::Rgb{0, 0, 0}));
    EXPECT_EQ(rgb(640, 32), (gltest::Rgb{255, 0, 0}));
    EXPECT_EQ(rgb(640, 991), (gltest::Rgb{255, 0, 0}));
    EXPECT_EQ(rgb(640, 992), (gltest::Rgb{0, 0, 0}));
    EXPECT_EQ(rgb(0, 32), (gltest::Rgb{0, 255, 0}));
    EXPECT_EQ(rgb(19, 51), (gltest::Rgb{0, 255, 0}));
    EXPECT_EQ(rgb(20, 52), (gltest::Rgb{255, 0, 0}));
    EXPECT_EQ(rgb(1279, 500), (gltest::Rgb{255, 0, 0}));
    XDestroyImage(image);
}

TEST_F(WindowLifecycle, FullScreenPointerReadsInLogicalPixels) {
    auto window = open(false);
    Window xwindow = x11probe::windowOf(KWindow::getWindow());
    ASSERT_TRUE(x11probe::eventually([&] { return x11probe::geometryOf(xwindow).width == 1280; }));
    struct Case {
        int screenX, screenY, logicalX, logicalY;
    } cases[] = {
        {0, 32, 0, 0}, {1279, 991, 639, 479}, {640, 512, 320, 240}, {1, 33, 0, 0}, {2, 34, 1, 1},
        {100, 10, 50, -11},     // on the bar above the picture
        {100, 1000, 50, 484},   // on the bar below
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(x11probe::xdotool("mousemove --sync " + std::to_string(c.screenX) + " " + std::to_string(c.screenY)));
        EXPECT_TRUE(x11probe::eventually([&] {
            return KInput::getMouseX() == c.logicalX && KInput::getMouseY() == c.logicalY;
        })) << "screen (" << c.screenX << ", " << c.screenY << ") read (" << KInput::getMouseX() << ", "
            << KInput::getMouseY() << ")";
    }
}

// A driver that cannot give what is asked: SDL's attributes stay set between
// calls, so an impossible one set beforehand makes the engine's requests fail.
class WindowFailures : public WindowLifecycle {
protected:
    void SetUp() override {
        WindowLifecycle::SetUp();
        gltest::messageBoxes().clear();
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    }
    void TearDown() override {
        SDL_GL_ResetAttributes();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
};

TEST_F(WindowFailures, NoPixelFormatShowsBothBoxesAndKeepsAPlainWindow) {
    ASSERT_EQ(SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, 64), 0);
    std::unique_ptr<KWindow> window(new KWindow);
    EXPECT_FALSE(window->createGameWindow(640, 480, 16, true, "Brolix no format"));
    ASSERT_EQ(gltest::messageBoxes().size(), 2u);
    EXPECT_EQ(gltest::messageBoxes()[0].title, "Could not initialize openGL");
    EXPECT_EQ(gltest::messageBoxes()[0].text, "Please install your video drivers");
    EXPECT_EQ(gltest::messageBoxes()[1].title, "Could not select fixel format");
    EXPECT_EQ(gltest::messageBoxes()[1].text, "OpenGl error : video drivers probably missing.");
    // The rest of the set-up still ran: a window, nothing accelerated, flips still pump.
    ASSERT_NE(KWindow::getWindow(), nullptr);
    EXPECT_FALSE(KWindow::getAccelerationCap());
    KWindow::flipBackBuffer(true);
    EXPECT_FALSE(KWindow::isQuit());
}

TEST_F(WindowFailures, NoContextShowsItsBox) {
    ASSERT_EQ(SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 9), 0);
    std::unique_ptr<KWindow> window(new KWindow);
    EXPECT_FALSE(window->createGameWindow(640, 480, 16, true, "Brolix no context"));
    ASSERT_EQ(gltest::messageBoxes().size(), 1u);
    EXPECT_EQ(gltest::messageBoxes()[0].title, "Could not create openGL Context");
    EXPECT_EQ(gltest::messageBoxes()[0].text, "OpenGl error");
    EXPECT_NE(KWindow::getWindow(), nullptr);
    EXPECT_FALSE(KWindow::getAccelerationCap());
}

TEST_F(WindowFailures, NoDisplayFailsWithoutABox) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    const char *display = std::getenv("DISPLAY");
    std::string saved = display ? display : "";
    setenv("DISPLAY", ":9999", 1);
    std::unique_ptr<KWindow> window(new KWindow);
    EXPECT_FALSE(window->createGameWindow(640, 480, 16, true, "Brolix no display"));
    setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_TRUE(gltest::messageBoxes().empty());
    EXPECT_EQ(KWindow::getWindow(), nullptr);
    window.reset();
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);   // for TearDown's balance
}

}  // namespace
