// The game natively on Wayland: weston's X11 back end on this test's Xvfb gives a seat without a GPU,
// and passes xdotool's input on to its clients.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>

#include "game_run.h"

namespace {

// A private compositor: its own runtime folder (0700, as mkdtemp makes it); "headless" has no seat.
struct Weston {
    TempDir runtime{"brolix-wayland"};
    std::string socket = "brolix-" + std::to_string(getpid());
    GameRun run;
    unsigned long window = 0;   // weston's own X window, its output

    explicit Weston(GameFolder &game, const std::string &backend = "x11")
        : run(game, {"XDG_RUNTIME_DIR=" + runtime.root()},
              {"/usr/bin/weston", "--backend=" + backend + "-backend.so", "--use-pixman", "--width=800", "--height=600",
               "--no-config", "--socket=" + socket, "--log=" + runtime.path("weston.log")}) {
        const std::regex id("x11 output 800x600, window id ([0-9]+)");
        std::smatch m;
        waitUntil([&] {
            const std::string log = runtime.read("weston.log");
            return std::filesystem::exists(runtime.path(socket)) &&
                   (backend != "x11" || (std::regex_search(log, m, id) && (window = std::stoul(m[1])) != 0));
        });
    }
    std::vector<std::string> clientEnv() const {
        return {"WAYLAND_DISPLAY=" + socket, "XDG_RUNTIME_DIR=" + runtime.root(), "BROLIX_SHOW_VIDEO_DRIVER=1"};
    }
};

pid_t childOf(pid_t pid) {
    return pid_t(std::atol(commandOutput("cat /proc/" + std::to_string(pid) + "/task/*/children 2>/dev/null").c_str()));
}
// Ended, or a zombie no one reaps: either way off the screen.
bool gone(pid_t pid) {
    const std::string stat = commandOutput("cat /proc/" + std::to_string(pid) + "/stat 2>/dev/null");
    const size_t end = stat.rfind(')');
    return end == std::string::npos || stat.compare(end + 2, 1, "Z") == 0;
}

// SDL's Wayland driver would crash on a compositor without a seat: the game goes to X11 instead.
// Natively, partial presents must survive a back buffer EGL gives back undefined after each swap.
TEST(Wayland, WithoutASeatThenNativeMaximizedFullScreenAndBackThenTheCompositorGoes) {
    GameFolder game;
    Weston seatless(game, "headless");
    std::vector<std::string> env = seatless.clientEnv();
    for (int signal : {SIGTERM, SIGKILL}) {
        GameRun run(game, env);
        pid_t dialog = 0;
        ASSERT_TRUE(waitUntil([&] { return (dialog = childOf(run.pid())) != 0; }));
        // Once the video system runs (the game prepares it while the dialog shows) SIGTERM is caught: a quit event.
        const std::string status = "sed -n 's/^SigCgt://p' /proc/" + std::to_string(run.pid()) + "/status";
        ASSERT_TRUE(waitUntil([&] { return std::strtoul(commandOutput(status).c_str(), nullptr, 16) >> (SIGTERM - 1) & 1; }));
        kill(run.pid(), signal);
        EXPECT_TRUE(waitUntil([&] { return !run.running(); })) << strsignal(signal);
        EXPECT_TRUE(waitUntil([&] { return gone(dialog); })) << "the dialog outlived the game, " << strsignal(signal);
    }
    GameRun run(game, env);
    ASSERT_EQ(reachMenu(run, game.picture("menu0.tga")), "") << game.read("output.txt");
    EXPECT_NE(game.read("output.txt").find("could not start: the compositor offers no seat (no keyboard, no pointer); using x11"),
              std::string::npos) << game.read("output.txt");
    run.key("Escape");
    EXPECT_EQ(run.waitExit(), 0);
    env.push_back("DISPLAY=");
    GameRun nowhere(game, env);
    EXPECT_EQ(nowhere.waitExit(), 1);
    EXPECT_NE(game.read("output.txt").find("neither the wayland nor the x11 video driver could start"), std::string::npos);

    Weston weston(game);   // its output 800x600 at (0, 0) of the X screen, a 32-pixel panel on top
    ASSERT_NE(weston.window, 0u) << game.read("output.txt") << weston.runtime.read("weston.log");
    game.write("data/fullscreen.stt", "\1");
    GameRun native(game, weston.clientEnv());   // DISPLAY stays set: Wayland is to be preferred, not the only choice
    native.useArea(x11probe::geometryOf(weston.window));   // the game on weston's output, its keys going there
    xdotool("windowfocus --sync " + std::to_string(weston.window));
    pid_t dialog = 0;
    EXPECT_TRUE(waitUntil([&] { return (dialog = childOf(native.pid())) != 0; })) << "no dialog process";
    const Image page = game.picture("page1.jpg"), menu = game.picture("menu0.tga");
    // Return once weston gives the dialog the keyboard, until the game's window opens.
    const auto opened = [&] { return game.read("output.txt").find("brolix: video driver wayland\n") != std::string::npos; };
    ASSERT_TRUE(waitUntil([&] { return xdotool("key Return") && waitUntil(opened, 2000); }, 60000)) << "no game window";
    const auto fullScreen = [&] { return native.shows(page, 0, 0, 0, 0, 640, 480); };
    // The dark title bar reaches both edges under the panel: the window is maximized.
    const auto maximized = [&] {   // weston's whole output: row 32 is its screen row 40, 0 and 639 its edge pixels
        const Image bar = native.capture(32, 1);
        const auto dark = [&](int x) { return bar.at(x, 32)[0] + bar.at(x, 32)[1] + bar.at(x, 32)[2] < 100; };
        return dark(0) && dark(639);
    };
    ASSERT_FALSE(maximized()) << "maximized before it was asked";
    // Weston's own key, again until the window has the keyboard.
    ASSERT_TRUE(waitUntil([&] { return xdotool("key super+shift+m") && waitUntil(maximized, 2000); }, 20000)) << "not maximized";
    xdotool("key F11");
    ASSERT_TRUE(waitUntil(fullScreen)) << "not full screen";
    xdotool("key F11");
    EXPECT_TRUE(waitUntil([&] { return !fullScreen() && maximized(); })) << "not maximized again";
    ASSERT_TRUE(native.running()) << game.read("output.txt");

    xdotool("key Return");   // the driver page, then the menu
    native.useArea({0, 32 + 24, 800, 600 - 32 - 24});   // under the panel and the title bar
    ASSERT_TRUE(native.waitShows(menu, 0, 0, 640, 100)) << "no menu";
    EXPECT_TRUE(dialog && gone(dialog));
    // weston's X11 back end follows the X pointer by its relative motion, and takes its place
    // only as it enters weston's window: aimed from inside, every click would land elsewhere.
    xdotool("mousemove 1000 750");
    const layout::Rect &quit = layout::MAIN_BUTTONS[5], &away = layout::MAIN_BUTTONS[0];
    native.pointAt(away.x2 + 40, 470);
    xdotool("click 1");   // a click on nothing, as a player's first: the window has the pointer and the keys
    Image before = native.capture(), after;
    ASSERT_TRUE(native.waitStill(before));
    const auto lit = [&](const Image &now) {
        return difference(now, quit.x1, quit.y1, before, quit.x1, quit.y1, quit.x2 - quit.x1, quit.y2 - quit.y1);
    };
    native.pointAt(quit);
    Image hovered;
    EXPECT_TRUE(waitUntil([&] { return lit(hovered = native.capture()) > 12; })) << "no hover shown";
    const int px = away.x2 + 40, py = 470;
    native.pointAt(px, py);
    EXPECT_TRUE(waitUntil([&] { return lit(after = native.capture()) < 1; })) << "the lit button stayed";
    ASSERT_TRUE(native.waitStill(after));
    EXPECT_LT(difference(after, 0, 0, before, 0, 0, 640, 480), 2) << "not the picture it was";
    // Off the game's window (onto weston's panel), the game's own pointer picture goes with the pointer.
    const auto pointerDrawn = [&](const Image &now) { return difference(now, px, py, hovered, px, py, 12, 8) > 1; };
    EXPECT_TRUE(pointerDrawn(after));
    xdotool("mousemove 400 10");
    EXPECT_TRUE(waitUntil([&] { return !pointerDrawn(native.capture()); })) << "the pointer picture stayed";
    native.click(layout::PLAY);
    EXPECT_TRUE(native.waitShows(game.picture("ingame0.tga"), 60, 432, 280, 36)) << "no game";

    kill(weston.run.pid(), SIGTERM);
    EXPECT_EQ(native.waitExit(), 1) << game.read("output.txt");
    EXPECT_NE(game.read("output.txt").find("compositor ended its connection"), std::string::npos) << game.read("output.txt");
    EXPECT_EQ(game.read("data/window.stt").substr(8), placeBytes({0, 0, 640, 480}, true).substr(8)) << "not the windowed size kept maximized";
}

}  // namespace
