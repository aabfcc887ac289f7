// The windowed game window: geometry, icon, events, pacing and the foreground wait.
#include <gtest/gtest.h>

#include <SDL.h>
#include <X11/Xatom.h>

#include <algorithm>
#include <climits>
#include <thread>

#include "KMiscTools.h"
#include "gl_test_window.h"
#include "x11_probe.h"

namespace {

class GameWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gltest::openWindow());
        xwindow = x11probe::windowOf(KWindow::getWindow());
        ASSERT_NE(xwindow, 0u);
    }
    Window xwindow = 0;
};

TEST_F(GameWindow, ClientAreaIs640By480CentredAndNotResizable) {
    x11probe::Geometry g = x11probe::geometryOf(xwindow);
    Screen *screen = DefaultScreenOfDisplay(x11probe::display());
    EXPECT_EQ(g.width, 640);
    EXPECT_EQ(g.height, 480);
    EXPECT_EQ(g.x, (WidthOfScreen(screen) - 640) / 2);
    EXPECT_EQ(g.y, (HeightOfScreen(screen) - 480) / 2);
    EXPECT_TRUE(g.viewable);

    XSizeHints hints;
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(x11probe::display(), xwindow, &hints, &supplied));
    ASSERT_TRUE(hints.flags & PMinSize);
    ASSERT_TRUE(hints.flags & PMaxSize);
    EXPECT_EQ(hints.min_width, 640);
    EXPECT_EQ(hints.max_width, 640);
    EXPECT_EQ(hints.min_height, 480);
    EXPECT_EQ(hints.max_height, 480);
}

TEST_F(GameWindow, OpensWithoutMessageBoxesAndReportsTheSoftwareRenderer) {
    EXPECT_TRUE(gltest::messageBoxes().empty());
    // Xvfb renders with Mesa's llvmpipe: not accelerated.
    EXPECT_FALSE(KWindow::getAccelerationCap());
    EXPECT_FALSE(KWindow::isQuit());
    EXPECT_NE(glGetString(GL_VERSION), nullptr);
}

TEST_F(GameWindow, CarriesAnIcon) {
    Atom icon = XInternAtom(x11probe::display(), "_NET_WM_ICON", False);
    Atom type;
    int format;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    ASSERT_EQ(XGetWindowProperty(x11probe::display(), xwindow, icon, 0, 4096, False, XA_CARDINAL, &type, &format,
                                 &items, &after, &data),
              Success);
    ASSERT_NE(data, nullptr);
    const long *values = reinterpret_cast<const long *>(data);
    ASSERT_GE(items, 2u);
    EXPECT_EQ(values[0], 32);
    EXPECT_EQ(values[1], 32);
    EXPECT_EQ(items, 2u + 32 * 32);
    // Transparent corner, opaque middle.
    EXPECT_EQ(uint32_t(values[2]) >> 24, 0u);
    EXPECT_EQ(uint32_t(values[2 + 16 * 32 + 16]) >> 24, 0xFFu);
    XFree(data);
}

TEST_F(GameWindow, SetTitleChangesTheCaption) {
    KWindow::setTitle("Brolix - paused");
    XFlush(x11probe::display());
    char *name = nullptr;
    ASSERT_TRUE(x11probe::eventually([&] {
        if (name)
            XFree(name);
        name = nullptr;
        XFetchName(x11probe::display(), xwindow, &name);
        return name && std::string(name) == "Brolix - paused";
    }));
    XFree(name);
    KWindow::setTitle("Brolix GL test");
}

TEST_F(GameWindow, RectangleTextureCapCanBeOverwritten) {
    bool offered = KWindow::getRectangleTexCap();
    std::string extensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
    EXPECT_EQ(offered, extensions.find("GL_EXT_texture_rectangle") != std::string::npos ||
                           extensions.find("GL_NV_texture_rectangle") != std::string::npos);
    KWindow::setRectangleTexCap(false);
    EXPECT_FALSE(KWindow::getRectangleTexCap());
    KWindow::setRectangleTexCap(offered);
}

int queuedUserEvents() {
    SDL_PumpEvents();
    return SDL_PeepEvents(nullptr, 100, SDL_PEEKEVENT, SDL_USEREVENT, SDL_USEREVENT);
}

TEST_F(GameWindow, ProcessEventsTakesExactlyOneEvent) {
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    for (int i = 0; i < 10; i++) {
        SDL_Event event = {};
        event.type = SDL_USEREVENT;
        event.user.code = i;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
    ASSERT_EQ(queuedUserEvents(), 10);
    KWindow::processEvents();
    EXPECT_EQ(queuedUserEvents(), 9);
    KWindow::processEvents();
    EXPECT_EQ(queuedUserEvents(), 8);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    KWindow::processEvents();   // nothing queued: returns at once
    EXPECT_FALSE(KWindow::isQuit());
}

TEST_F(GameWindow, PointerMotionIsNeverQueued) {
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    for (int i = 0; i < 5; i++)
        ASSERT_TRUE(x11probe::xdotool("mousemove --sync " + std::to_string(400 + 20 * i) + " 400"));
    SDL_PumpEvents();
    EXPECT_EQ(SDL_PeepEvents(nullptr, 100, SDL_PEEKEVENT, SDL_MOUSEMOTION, SDL_MOUSEMOTION), 0);
}

// Readings taken before the first flip is issued and after the last returns:
// a busy machine can only delay the reads, never shorten the measured span.
TEST_F(GameWindow, FlipsBackToBackAreAtLeast14MillisecondsApart) {
    for (int i = 0; i < 3; i++) {
        uint32_t before = KMiscTools::getMilliseconds();
        KWindow::flipBackBuffer(true);
        KWindow::flipBackBuffer(true);
        EXPECT_GE(KMiscTools::getMilliseconds() - before, 14u);
    }
    uint32_t before = KMiscTools::getMilliseconds();
    for (int i = 0; i < 6; i++)
        KWindow::flipBackBuffer(true);
    EXPECT_GE(KMiscTools::getMilliseconds() - before, 5 * 14u);
}

// A flip that waited would take at least a whole period; the quickest of three
// tries shows it did not, even if the machine stalls one of them.
TEST_F(GameWindow, AFlipLongAfterThePreviousOneDoesNotWait) {
    uint32_t quickest = UINT32_MAX;
    for (int i = 0; i < 3; i++) {
        KWindow::flipBackBuffer(true);
        SDL_Delay(30);
        uint32_t before = KMiscTools::getMilliseconds();
        KWindow::flipBackBuffer(true);
        quickest = std::min(quickest, KMiscTools::getMilliseconds() - before);
    }
    EXPECT_LT(quickest, 14u);
}

bool gameHasFocus() {
    SDL_PumpEvents();
    return (SDL_GetWindowFlags(KWindow::getWindow()) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

// Another program's window, taking the keyboard focus away from the game.
struct OtherWindow {
    OtherWindow() {
        Display *d = x11probe::display();
        window = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 200, 100, 0, 0, 0);
        XMapRaised(d, window);
        XSync(d, False);
        x11probe::eventually([&] { return x11probe::geometryOf(window).viewable; });
        XSetInputFocus(d, window, RevertToParent, CurrentTime);
        XSync(d, False);
    }
    ~OtherWindow() {
        XDestroyWindow(x11probe::display(), window);
        XSync(x11probe::display(), False);
    }
    Window window;
};

TEST_F(GameWindow, FlipWaitsWhileAnotherWindowHasTheFocus) {
    {
        OtherWindow other;
        ASSERT_TRUE(x11probe::eventually([] { return !gameHasFocus(); }));

        // Without the wait the flip returns while the game is in the background.
        uint32_t before = KMiscTools::getMilliseconds();
        KWindow::flipBackBuffer(false);
        EXPECT_LT(KMiscTools::getMilliseconds() - before, 100u);

        // Give the focus back a while later, from another connection, as a player would.
        Window game = xwindow;
        std::thread player([game] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            Display *d = XOpenDisplay(nullptr);
            XSetInputFocus(d, game, RevertToParent, CurrentTime);
            XSync(d, False);
            XCloseDisplay(d);
        });
        before = KMiscTools::getMilliseconds();
        KWindow::flipBackBuffer(true);
        uint32_t waited = KMiscTools::getMilliseconds() - before;
        player.join();
        EXPECT_GE(waited, 250u);
        EXPECT_TRUE(gameHasFocus());
    }
    EXPECT_FALSE(KWindow::isQuit());
}

}  // namespace
