// The game natively on Wayland: weston on this test's Xvfb (its X11 back end, the pixman
// renderer: a seat and no GPU). xdotool's input on weston's X window reaches weston's
// clients, and weston's window shows them, so the X-based driver plays the game there.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <regex>

#include "game_run.h"

namespace {

// A private compositor: its own runtime folder (0700, as mkdtemp makes it) and socket.
struct Weston {
    TempDir runtime{"brolix-wayland"};
    GameFolder &folder;
    std::string socket = "brolix-" + std::to_string(getpid());
    std::unique_ptr<GameRun> run;
    unsigned long window = 0;   // weston's own X window, its output

    // On "x11", weston's window on the test's Xvfb; "headless" shows nothing and has no seat.
    explicit Weston(GameFolder &game, const std::string &backend = "x11") : folder(game) {
        run = std::make_unique<GameRun>(game, std::vector<std::string>{"XDG_RUNTIME_DIR=" + runtime.root()},
            std::vector<std::string>{"/usr/bin/weston", "--backend=" + backend + "-backend.so", "--use-pixman", "--width=800",
                                     "--height=600", "--no-config", "--socket=" + socket,
                                     "--log=" + runtime.path("weston.log")});
        const std::regex id("x11 output 800x600, window id ([0-9]+)");
        std::smatch m;
        waitUntil([&] {
            const std::string log = runtime.read("weston.log");
            return std::filesystem::exists(runtime.path(socket)) &&
                   (backend != "x11" || (std::regex_search(log, m, id) && (window = std::stoul(m[1])) != 0));
        });
    }
    std::vector<std::string> clientEnv() const { return {"WAYLAND_DISPLAY=" + socket, "XDG_RUNTIME_DIR=" + runtime.root()}; }
    // weston's X11 back end moves its pointer by the X pointer's relative motion and puts it
    // where the X pointer is only when that enters its window; without an entry, every click
    // lands away from where it was aimed. So the pointer comes in from outside, once the game shows.
    void bringPointerIn(const GameRun &run, const layout::Rect &onto) const {
        xdotool("mousemove 1000 750");
        run.pointAt(onto);
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

// Play in the dialog: Return once weston gives it the keyboard, until the game's first page shows.
bool pastDialog(GameRun &run, const Image &page) {
    return waitUntil([&] { return xdotool("key Return") && waitUntil([&] { return run.shows(page, 0, 0, 0, 0, 640, 480); }, 2000); }, 60000);
}

TEST(Wayland, NativeFromTheDialogToAGameAndOut) {
    GameFolder game;
    Weston weston(game);
    ASSERT_NE(weston.window, 0u) << game.read("output.txt") << weston.runtime.read("weston.log");
    game.write("data/fullscreen.stt", std::string(1, '\0'));   // full screen: the game covers weston's output
    std::vector<std::string> env = weston.clientEnv();
    env.push_back("BROLIX_SHOW_VIDEO_DRIVER=1");
    GameRun run(game, env);   // DISPLAY stays set: Wayland is to be preferred, not the only choice
    run.useWindow(weston.window);
    xdotool("windowfocus --sync " + std::to_string(weston.window));
    const pid_t dialog = waitUntil([&] { return childOf(run.pid()) != 0; }) ? childOf(run.pid()) : 0;
    EXPECT_NE(dialog, 0) << "no dialog process";
    ASSERT_TRUE(pastDialog(run, game.picture("page1.jpg"))) << "no driver page on weston";
    EXPECT_NE(game.read("output.txt").find("brolix: video driver wayland\n"), std::string::npos) << game.read("output.txt");
    EXPECT_EQ(GameRun::findWindow("Brolix"), 0u) << "the game's window is an X window";

    const Image menu = game.picture("menu0.tga"), inGame = game.picture("ingame0.tga");
    weston.bringPointerIn(run, layout::DRIVER_CONTINUE);
    run.click(layout::DRIVER_CONTINUE);
    ASSERT_TRUE(run.waitShows(menu, 0, 0, 640, 100)) << "no menu";

    // Partial presents: a button lit under the pointer and put out again leaves the whole
    // picture as it was, on a back buffer EGL gives back undefined after each swap.
    const layout::Rect &quit = layout::MAIN_BUTTONS[5], &away = layout::MAIN_BUTTONS[0];
    run.pointAt(away.x2 + 40, 470);
    xdotool("click 1");   // a click on nothing, as a player's first: the window has the pointer and the keys
    Image before = run.capture(), after;
    ASSERT_TRUE(run.waitStill(before));
    const auto lit = [&](const Image &now) {
        return difference(now, quit.x1, quit.y1, before, quit.x1, quit.y1, quit.x2 - quit.x1, quit.y2 - quit.y1);
    };
    run.pointAt(quit);
    EXPECT_TRUE(waitUntil([&] { return lit(run.capture()) > 12; })) << "no hover shown";
    run.pointAt(away.x2 + 40, 470);
    EXPECT_TRUE(waitUntil([&] { return lit(after = run.capture()) < 1; })) << "the lit button stayed";
    ASSERT_TRUE(run.waitStill(after));
    EXPECT_LT(difference(after, 0, 0, before, 0, 0, 640, 480), 2) << "not the picture it was";

    run.click(layout::PLAY);
    EXPECT_TRUE(run.waitShows(inGame, 60, 432, 280, 36)) << "no game";
    run.key("Escape");
    ASSERT_TRUE(run.waitShows(menu, 0, 0, 640, 100)) << "not back in the menu";
    run.key("Escape");
    EXPECT_EQ(run.waitExit(), 0);
    EXPECT_TRUE(dialog && gone(dialog));
}

// SDL's Wayland driver would crash on a compositor without a seat: the game and its
// dialog go to X11 instead, and say why.
TEST(Wayland, WithoutASeatOnX11) {
    GameFolder game;
    Weston weston(game, "headless");
    std::vector<std::string> env = weston.clientEnv();
    env.push_back("BROLIX_SHOW_VIDEO_DRIVER=1");
    GameRun run(game, env);
    ASSERT_EQ(reachMenu(run, game.picture("menu0.tga")), "") << game.read("output.txt");
    const std::string said = game.read("output.txt");
    EXPECT_NE(said.find("brolix: the wayland video driver could not start: the compositor offers no seat"), std::string::npos) << said;
    EXPECT_NE(said.find("brolix: video driver x11\n"), std::string::npos) << said;
    run.key("Escape");
    EXPECT_EQ(run.waitExit(), 0);
    env.push_back("DISPLAY=");   // and no X display either: no window, and an exit that says so
    GameRun nowhere(game, env);
    EXPECT_EQ(nowhere.waitExit(), 1);
    EXPECT_NE(game.read("output.txt").find("neither the wayland nor the x11 video driver could start"), std::string::npos);
}

// However the game ends while its start-up dialog is open, the dialog goes with it.
TEST(Wayland, TheDialogGoesWithTheGame) {
    GameFolder game;
    Weston weston(game);
    ASSERT_NE(weston.window, 0u);
    for (int signal : {SIGTERM, SIGKILL}) {
        GameRun run(game, weston.clientEnv());
        pid_t dialog = 0;
        ASSERT_TRUE(waitUntil([&] { return (dialog = childOf(run.pid())) != 0; }));
        // Once the video system runs (the game prepares it while the dialog shows) SIGTERM is a quit event.
        ASSERT_TRUE(waitUntil([&] { return commandOutput("grep -c libEGL /proc/" + std::to_string(run.pid()) + "/maps") != "0\n"; }));
        kill(run.pid(), signal);
        EXPECT_TRUE(waitUntil([&] { return !run.running(); })) << strsignal(signal);
        EXPECT_TRUE(waitUntil([&] { return gone(dialog); })) << "the dialog outlived the game, " << strsignal(signal);
    }
}

}  // namespace
