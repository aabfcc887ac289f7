// The real start-up dialog on an X display, driven with xdotool.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "dialog_driver.h"

namespace {

typedef std::vector<unsigned char> Bytes;

const std::string ARTIFACTS = BROLIX_ARTIFACTS_DIR;

std::string artifact(const std::string &name) {
    std::filesystem::create_directories(ARTIFACTS);
    return ARTIFACTS + "/" + name;
}

class WelcomeDialog : public ::testing::Test {
protected:
    GameFolder folder{WELCOME_DIALOG_APP};

    // Nothing ends the dialog within a moment.
    static void expectStillOpen(DialogRun &run) {
        EXPECT_EQ(run.waitFor("result", 700), "");
        EXPECT_TRUE(run.running());
    }

    static void chooseSkin(DialogRun &run, const std::string &item) {
        run.items.clear();
        run.click(251);
        for (int tries = 0; tries < 50 && !run.items.count(item); tries++)
            run.waitFor("item", 200);
        ASSERT_TRUE(run.items.count(item)) << "the skin list did not open";
        run.click(run.items[item]);
    }
};

TEST_F(WelcomeDialog, FirstRunShowsWindowedUntickedClassicAndPlayStarts) {
    DialogRun run(folder);
    ASSERT_GT(run.waitShown(), 0);
    EXPECT_EQ(run.state, "state 0 0 0 1032");
    for (int id : {1032, 105, 250, 251, 150, 103, 107}) {
        EXPECT_GT(run.controls[id].w, 0) << id;
        EXPECT_GT(run.controls[id].h, 0) << id;
    }
    // The layout keeps the template's order: preview above the boxes, buttons in one row.
    EXPECT_LT(run.controls[1032].y, run.controls[105].y);
    EXPECT_LT(run.controls[105].y, run.controls[250].y);
    EXPECT_LT(run.controls[250].y + run.controls[250].h, run.controls[150].y + run.controls[150].h);
    EXPECT_EQ(run.controls[150].y, run.controls[103].y);
    EXPECT_LT(run.controls[107].x, run.controls[103].x);
    EXPECT_LT(run.controls[103].x, run.controls[150].x);
    // Each preview at its own size in a sunken frame.
    EXPECT_EQ(run.controls[1032].w, 160 + 2);
    EXPECT_EQ(run.controls[1032].h, 120 + 2);
    // Centred on the 1280 x 1024 screen.
    const auto &play = run.controls[150];
    EXPECT_GT(run.controls[107].x, 1280 / 2 - 300);
    EXPECT_LT(play.x + play.w, 1280 / 2 + 300);
    // The window carries the game's 64 x 64 icon for the task bar.
    EXPECT_NE(capture("xprop -id $(xdotool search --name '^Welcome to Brolix !$' | head -1) _NET_WM_ICON | head -c 100")
                  .find("Icon (64 x 64)"),
              std::string::npos);
    run.screenshot(artifact("welcome_first_run.png"));

    run.click(150);
    EXPECT_EQ(run.waitFor("result"), "result 1 1 0 0");
    EXPECT_EQ(run.finish(), 0);
    EXPECT_EQ(folder.read("data/fullscreen.stt"), Bytes({1}));
    EXPECT_EQ(folder.read("data/skin.stt"), Bytes({0, 0, 0, 0}));
    EXPECT_EQ(folder.read("data/gamepad.stt"), Bytes({0}));
}

TEST_F(WelcomeDialog, QuitRemembersTheSkinButNotTheCheckBoxes) {
    {
        DialogRun run(folder);
        ASSERT_GT(run.waitShown(), 0);
        run.click(105);
        EXPECT_NE(run.waitFor("state 1 0 0 1032"), "");
        chooseSkin(run, "For_Him");
        // The preview follows the list at once.
        EXPECT_NE(run.waitFor("state 1 0 2 1034"), "") << run.state;
        run.screenshot(artifact("welcome_for_him.png"));
        run.click(103);
        EXPECT_EQ(run.waitFor("result"), "result 0 1 2 0");
        EXPECT_EQ(run.finish(), 0);
    }
    EXPECT_EQ(folder.read("data/fullscreen.stt"), Bytes({1}));
    EXPECT_EQ(folder.read("data/skin.stt"), Bytes({2, 0, 0, 0}));
    DialogRun next(folder);
    ASSERT_GT(next.waitShown(), 0);
    EXPECT_EQ(next.state, "state 0 0 2 1034");
    next.screenshot(artifact("welcome_next_run.png"));
    next.click(103);
    EXPECT_EQ(next.waitFor("result"), "result 0 1 2 0");
}

TEST_F(WelcomeDialog, PlayStoresTickedBoxesAndSkin) {
    DialogRun run(folder);
    ASSERT_GT(run.waitShown(), 0);
    run.click(105);
    run.click(250);
    chooseSkin(run, "For_Her");
    EXPECT_NE(run.waitFor("state 1 1 1 1033"), "") << run.state;
    run.click(150);
    EXPECT_EQ(run.waitFor("result"), "result 1 0 1 1");
    EXPECT_EQ(folder.read("data/fullscreen.stt"), Bytes({0}));
    EXPECT_EQ(folder.read("data/skin.stt"), Bytes({1, 0, 0, 0}));
    EXPECT_EQ(folder.read("data/gamepad.stt"), Bytes({1}));
}

TEST_F(WelcomeDialog, HelpOpensTheIndexAndTheDialogStays) {
    DialogRun run(folder);
    ASSERT_GT(run.waitShown(), 0);
    run.click(107);
    for (int wait = 0; wait < 100 && folder.opened().empty(); wait++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(folder.opened(), folder.root + "/data/help/index.html");
    expectStillOpen(run);
    run.click(150);
    EXPECT_EQ(run.waitFor("result"), "result 1 1 0 0");
}

TEST_F(WelcomeDialog, EscapeLeavesTheDialogOpenAndReturnPlays) {
    folder.write("data/fullscreen.stt", {0});
    folder.write("data/skin.stt", {1, 0, 0, 0});
    folder.write("data/gamepad.stt", {2});
    DialogRun run(folder);
    ASSERT_GT(run.waitShown(), 0);
    EXPECT_EQ(run.state, "state 1 0 1 1033");
    run.key("Escape");
    expectStillOpen(run);
    run.key("Return");   // Play is the default button
    EXPECT_EQ(run.waitFor("result"), "result 1 0 1 0");
    EXPECT_EQ(folder.read("data/gamepad.stt"), Bytes({0}));
}

// Normalised RMS difference between a part of a screenshot and the top 640 x 480
// of a picture (its normal, unlit state); -1 when it cannot be measured.
double difference(const std::string &shot, const std::string &crop, const std::string &picture) {
    const std::string a = shot + ".window.png", b = shot + ".reference.png";
    shell("convert '" + shot + "' -crop " + crop + " +repage '" + a + "'");
    shell("convert '" + picture + "' -auto-orient -alpha off -crop 640x480+0+0 +repage '" + b + "'");
    std::string text = capture("compare -metric RMSE '" + a + "' '" + b + "' null: 2>&1");
    std::remove(a.c_str());
    std::remove(b.c_str());
    size_t open = text.find('(');
    return open == std::string::npos ? -1 : std::atof(text.c_str() + open + 1);
}

TEST_F(WelcomeDialog, PlayClosesTheDialogAndTheGameWindowOpensAsChosen) {
    const std::string data = BROLIX_RUNTIME_DIR "/data/";
    for (int skin : {0, 1, 2})
        std::filesystem::copy_file(data + "menu" + std::to_string(skin) + ".tga",
                                   folder.root + "/data/menu" + std::to_string(skin) + ".tga");
    {
        DialogRun run(folder, true, "--open-window");
        ASSERT_GT(run.waitShown(), 0);
        chooseSkin(run, "For_Him");
        run.click(150);
        ASSERT_NE(run.waitFor("window"), "");
        EXPECT_EQ(capture("xdotool search --onlyvisible --name '^Welcome to Brolix !$'"), "");
        std::string geometry = capture("xdotool search --sync --onlyvisible --name '^Brolix$' getwindowgeometry --shell"
                                       " | grep -E '^(X|Y|WIDTH|HEIGHT)=' | tr '\\n' ' '");
        int x = -1, y = -1, w = 0, h = 0;
        std::sscanf(geometry.c_str(), "X=%d Y=%d WIDTH=%d HEIGHT=%d", &x, &y, &w, &h);
        EXPECT_EQ(w, 640);
        EXPECT_EQ(h, 480);
        const std::string shot = artifact("welcome_play_for_him.png");
        run.screenshot(shot);
        // The window shows the menu of the skin chosen in the dialog, not another.
        const std::string window = "640x480+" + std::to_string(x) + "+" + std::to_string(y);
        double chosen = difference(shot, window, data + "menu2.tga");
        EXPECT_GE(chosen, 0);
        EXPECT_LT(chosen, 0.03);
        for (int other : {0, 1})
            EXPECT_GT(difference(shot, window, data + "menu" + std::to_string(other) + ".tga"), 0.1) << other;
        run.stop();
        EXPECT_EQ(run.finish(), 0);
    }
    DialogRun run(folder, true, "--open-window");
    ASSERT_GT(run.waitShown(), 0);
    run.click(105);
    run.click(150);
    ASSERT_NE(run.waitFor("window"), "");
    EXPECT_EQ(capture("xdotool search --sync --onlyvisible --name '^Brolix$' getwindowgeometry --shell"
                      " | grep -E '^(WIDTH|HEIGHT)=' | tr '\\n' ' '"),
              "WIDTH=1280 HEIGHT=1024");
    run.screenshot(artifact("welcome_play_full_screen.png"));
    run.stop();
    EXPECT_EQ(run.finish(), 0);
}

TEST_F(WelcomeDialog, WithoutADisplayTheGameStartsWithTheStoredSettings) {
    folder.write("data/fullscreen.stt", {0});
    folder.write("data/skin.stt", {2, 0, 0, 0});
    folder.write("data/gamepad.stt", {1});
    DialogRun run(folder, false);
    EXPECT_EQ(run.waitFor("result"), "result 1 0 2 1");
    EXPECT_EQ(run.finish(), 0);
    EXPECT_EQ(folder.read("data/skin.stt"), Bytes({2, 0, 0, 0}));
}

} // namespace
