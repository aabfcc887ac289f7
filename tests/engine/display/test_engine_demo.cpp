// The engine demo run as a contributor would: it opens, follows the pointer and
// the keys, and quits on Escape or on the close button.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "gl_test_window.h"
#include "x11_probe.h"

extern char **environ;

namespace {

class EngineDemo : public ::testing::Test {
protected:
    void SetUp() override {
        char *argv[] = {const_cast<char *>(BROLIX_DEMO_PATH), nullptr};
        ASSERT_EQ(posix_spawn(&pid, BROLIX_DEMO_PATH, nullptr, nullptr, argv, environ), 0);
        FILE *search = popen("timeout 20 xdotool search --sync --onlyvisible --name 'Brolix engine demo'", "r");
        ASSERT_NE(search, nullptr);
        unsigned long id = 0;
        int found = std::fscanf(search, "%lu", &id);
        pclose(search);
        ASSERT_EQ(found, 1) << "the demo window did not appear";
        window = Window(id);
        ASSERT_TRUE(x11probe::xdotool("windowfocus --sync " + std::to_string(window)));
    }
    void TearDown() override {
        if (pid > 0 && !exited) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    // True when the demo ended by itself within five seconds with status 0.
    bool exitsCleanly() {
        for (int i = 0; i < 500; i++) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                exited = true;
                return WIFEXITED(status) && WEXITSTATUS(status) == 0;
            }
            usleep(10000);
        }
        return false;
    }
    gltest::Rgb shownPixel(int x, int y) {
        XImage *image = XGetImage(x11probe::display(), window, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image)
            return {0, 0, 0};
        unsigned long p = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)};
    }
    pid_t pid = -1;
    bool exited = false;
    Window window = 0;
};

const gltest::Rgb kBackdrop = {13, 13, 38};

TEST_F(EngineDemo, FollowsPointerAndKeysThenQuitsOnEscape) {
    x11probe::Geometry g = x11probe::geometryOf(window);
    ASSERT_EQ(g.width, 640);
    ASSERT_EQ(g.height, 480);
    ASSERT_TRUE(x11probe::xdotool("mousemove --sync " + std::to_string(g.x + 100) + " " + std::to_string(g.y + 300)));
    // The cross-hair's vertical line passes through x = 100.
    EXPECT_TRUE(x11probe::eventually([&] { return shownPixel(100, 200) == (gltest::Rgb{230, 230, 230}); }))
        << shownPixel(100, 200);
    EXPECT_TRUE(x11probe::eventually([&] { return shownPixel(101, 200) == kBackdrop; })) << shownPixel(101, 200);

    // Holding A (identifier 25) raises its bar above the row of idle bars.
    const int barX = int((25 + 0.5) * 640 / 93);
    EXPECT_EQ(shownPixel(barX, 430), kBackdrop);
    ASSERT_TRUE(x11probe::xdotool("keydown a"));
    EXPECT_TRUE(x11probe::eventually([&] { return shownPixel(barX, 430) != kBackdrop; }));
    ASSERT_TRUE(x11probe::xdotool("keyup a"));
    EXPECT_TRUE(x11probe::eventually([&] { return shownPixel(barX, 430) == kBackdrop; }));

    ASSERT_TRUE(x11probe::xdotool("keydown Escape"));
    EXPECT_TRUE(exitsCleanly());
    x11probe::xdotool("keyup Escape");
}

TEST_F(EngineDemo, QuitsWhenItsWindowIsClosed) {
    x11probe::pressCloseButton(window);
    EXPECT_TRUE(exitsCleanly());
}

}  // namespace
