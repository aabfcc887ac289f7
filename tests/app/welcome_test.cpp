#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <csignal>

#include "online.h"
#include "temp_home.h"
#include "welcome.h"

namespace {

typedef std::vector<unsigned char> Bytes;

// Records what the dialog handler does to its controls.
class FakeControls : public DialogControls {
public:
    void checkButton(int id, bool ticked) override { checked[id] = ticked; }
    bool isButtonChecked(int id) const override { return checked.count(id) && checked.at(id); }
    void showControl(int id, bool visible) override {
        if (visible)
            shown.insert(id);
        else
            shown.erase(id);
    }
    int listAppend(int id, const char *text) override {
        items[id].push_back(text);
        itemData[id].push_back(0);
        return int(items[id].size()) - 1;
    }
    void listSetItemData(int id, int index, intptr_t data) override { itemData[id].at(size_t(index)) = data; }
    intptr_t listItemData(int id, int index) const override { return itemData.at(id).at(size_t(index)); }
    void listSetSelection(int id, int index) override { selection[id] = index; }
    int listSelection(int id) const override { return selection.count(id) ? selection.at(id) : -1; }
    void endDialog(int result) override { ended.push_back(result); }
    int captionHeight() const override { return 20; }
    DialogRect dialogUnitsToPixels(DialogRect u) const override {
        return {u.left * 3 / 2, u.top * 2, u.right * 3 / 2, u.bottom * 2};
    }
    int screenWidth() const override { return 1281; }
    int screenHeight() const override { return 1024; }
    void moveDialog(int x, int y, int width, int height) override { placed = {x, y, x + width, y + height}; }

    // What a player's click does: the box changes, then the dialog hears of it.
    bool click(int id) {
        if (id == IDC_FULLSCREEN || id == IDC_INTERNET)
            checked[id] = !isButtonChecked(id);
        return DialogProc(this, DLG_COMMAND, uintptr_t(id), 0);
    }
    bool choose(int index) {
        selection[IDC_SKINLIST] = index;
        return DialogProc(this, DLG_COMMAND, (uintptr_t(DLG_CBN_SELCHANGE) << 16) | IDC_SKINLIST, 0);
    }
    std::set<int> previews() const {
        std::set<int> visible;
        for (int id : {IDC_PREVIEW_CLASSIC, IDC_PREVIEW_HER, IDC_PREVIEW_HIM})
            if (shown.count(id))
                visible.insert(id);
        return visible;
    }

    std::map<int, bool> checked;
    std::set<int> shown = {IDC_PREVIEW_CLASSIC, IDC_PREVIEW_HER, IDC_PREVIEW_HIM};
    std::map<int, std::vector<std::string>> items;
    std::map<int, std::vector<intptr_t>> itemData;
    std::map<int, int> selection;
    std::vector<int> ended;
    DialogRect placed = {-1, -1, -1, -1};
};

// What the player does while the dialog is open; runs after its initialisation.
std::function<void(FakeControls &)> player;
const DialogTemplate *shownTemplate = nullptr;

int scriptedRun(const DialogTemplate &dialog, DialogHandler handler) {
    shownTemplate = &dialog;
    FakeControls controls;
    handler(&controls, DLG_INITDIALOG, 0, 0);
    player(controls);
    EXPECT_EQ(controls.ended.size(), 1u) << "the dialog must end exactly once";
    return controls.ended.empty() ? 0 : controls.ended.back();
}

int cannotShow(const DialogTemplate &, DialogHandler) { return DLG_FAILED; }

class Welcome : public ::testing::Test {
protected:
    void SetUp() override {
        isWindowed = true;
        gSkin = 0;
        isGamePad = false;
        gOnlineScores = false;
        itemCount = 0;
        welcomeDialogRunner = scriptedRun;
        shownTemplate = nullptr;
    }
    void TearDown() override { welcomeDialogRunner = runDialogGtk; }

    void writeSettings(Bytes fullscreen, Bytes skin, Bytes gamepad) {
        home.write("data/fullscreen.stt", fullscreen.data(), fullscreen.size());
        home.write("data/skin.stt", skin.data(), skin.size());
        home.write("data/gamepad.stt", gamepad.data(), gamepad.size());
    }
    Bytes stored(const char *name) { return home.read(std::string("data/") + name); }

    // Runs the whole dialog with the player's actions; returns what the player saw first.
    FakeControls run(std::function<void(FakeControls &)> actions, bool *started = nullptr) {
        FakeControls opened;
        player = [&](FakeControls &controls) {
            opened = controls;
            actions(controls);
        };
        bool result = ShowWelcomeDialog();
        if (started)
            *started = result;
        return opened;
    }

    static void play(FakeControls &c) { c.click(IDC_PLAY); }
    static void quit(FakeControls &c) { c.click(IDC_QUIT); }

    TempHome home;
};

TEST_F(Welcome, FirstRunOpensWindowedUntickedClassic) {
    bool started = false;
    FakeControls opened = run(play, &started);
    EXPECT_TRUE(started);
    EXPECT_FALSE(opened.isButtonChecked(IDC_FULLSCREEN));
    EXPECT_FALSE(opened.isButtonChecked(IDC_INTERNET));
    EXPECT_EQ(opened.items[IDC_SKINLIST], std::vector<std::string>({"Classic", "For Her", "For Him"}));
    EXPECT_EQ(opened.itemData[IDC_SKINLIST], std::vector<intptr_t>({0, 1, 2}));
    EXPECT_EQ(itemCount, 2);
    EXPECT_EQ(opened.listSelection(IDC_SKINLIST), 0);
    EXPECT_EQ(opened.previews(), std::set<int>({IDC_PREVIEW_CLASSIC}));
    EXPECT_EQ(stored("fullscreen.stt"), Bytes({1}));
    EXPECT_EQ(stored("skin.stt"), Bytes({0, 0, 0, 0}));
    EXPECT_EQ(stored("gamepad.stt"), Bytes({0}));
    EXPECT_EQ(shownTemplate, &DIALOGINTRO);
}

TEST_F(Welcome, DialogIsCentredFromCaptionAndDialogUnits) {
    FakeControls opened = run(play);
    // 240 x (20 + 120) units -> 360 x 280 pixels, 20 pixels taller, centred with truncation.
    EXPECT_EQ(opened.placed.left, (1281 - 360) / 2);
    EXPECT_EQ(opened.placed.top, (1024 - 280) / 2);
    EXPECT_EQ(opened.placed.right - opened.placed.left, 360);
    EXPECT_EQ(opened.placed.bottom - opened.placed.top, 300);
}

TEST_F(Welcome, StoredSettingsAreShownAndPlayStoresTheChoices) {
    writeSettings({0}, {2, 0, 0, 0}, {1});
    FakeControls opened = run([](FakeControls &c) {
        c.click(IDC_FULLSCREEN);
        c.click(IDC_INTERNET);
        c.choose(1);
        c.click(IDC_PLAY);
    });
    EXPECT_TRUE(opened.isButtonChecked(IDC_FULLSCREEN));
    EXPECT_TRUE(opened.isButtonChecked(IDC_INTERNET));
    EXPECT_EQ(opened.listSelection(IDC_SKINLIST), 2);
    EXPECT_EQ(opened.previews(), std::set<int>({IDC_PREVIEW_HIM}));
    EXPECT_TRUE(isWindowed);
    EXPECT_FALSE(isGamePad);
    EXPECT_EQ(gSkin, 1);
    EXPECT_EQ(stored("fullscreen.stt"), Bytes({1}));
    EXPECT_EQ(stored("skin.stt"), Bytes({1, 0, 0, 0}));
    EXPECT_EQ(stored("gamepad.stt"), Bytes({0}));
}

TEST_F(Welcome, SkinOutOfRangeShowsAndStoresForHer) {
    for (Bytes skin : {Bytes{5, 0, 0, 0}, Bytes{3, 0, 0, 0}, Bytes{0xFF, 0xFF, 0xFF, 0xFF}, Bytes{0, 0, 0, 0x80}}) {
        writeSettings({1}, skin, {0});
        FakeControls opened = run(play);
        EXPECT_EQ(opened.listSelection(IDC_SKINLIST), 1);
        EXPECT_EQ(opened.previews(), std::set<int>({IDC_PREVIEW_HER}));
        EXPECT_EQ(stored("skin.stt"), Bytes({1, 0, 0, 0}));
    }
}

TEST_F(Welcome, GamePadByteTwoStartsUntickedAndPlayRewritesZero) {
    writeSettings({1}, {0, 0, 0, 0}, {2});
    FakeControls opened = run(play);
    EXPECT_FALSE(opened.isButtonChecked(IDC_INTERNET));
    EXPECT_EQ(stored("gamepad.stt"), Bytes({0}));
}

TEST_F(Welcome, GamePadByteTwoIsNotKeptByQuitEither) {
    writeSettings({1}, {0, 0, 0, 0}, {2});
    run(quit);
    EXPECT_FALSE(isGamePad);
    EXPECT_EQ(stored("gamepad.stt"), Bytes({0}));
}

TEST_F(Welcome, AnyNonZeroFullScreenByteMeansWindowed) {
    writeSettings({7}, {0, 0, 0, 0}, {0});
    FakeControls opened = run(quit);
    EXPECT_FALSE(opened.isButtonChecked(IDC_FULLSCREEN));
    EXPECT_EQ(stored("fullscreen.stt"), Bytes({1}));
}

TEST_F(Welcome, QuitKeepsTheSkinAndDropsTheCheckBoxes) {
    bool started = true;
    run([](FakeControls &c) {
        c.click(IDC_FULLSCREEN);
        c.click(IDC_INTERNET);
        c.choose(2);
        c.click(IDC_QUIT);
    }, &started);
    EXPECT_FALSE(started);
    EXPECT_EQ(stored("fullscreen.stt"), Bytes({1}));
    EXPECT_EQ(stored("skin.stt"), Bytes({2, 0, 0, 0}));
    EXPECT_EQ(stored("gamepad.stt"), Bytes({0}));

    isWindowed = true, gSkin = 0, isGamePad = false;   // a new run starts from the files
    FakeControls next = run(play);
    EXPECT_FALSE(next.isButtonChecked(IDC_FULLSCREEN));
    EXPECT_FALSE(next.isButtonChecked(IDC_INTERNET));
    EXPECT_EQ(next.listSelection(IDC_SKINLIST), 2);
    EXPECT_EQ(next.previews(), std::set<int>({IDC_PREVIEW_HIM}));
}

TEST_F(Welcome, ChoosingASkinSwitchesThePreviewAtOnce) {
    run([](FakeControls &c) {
        for (int skin : {2, 1, 0, 2}) {
            EXPECT_TRUE(c.choose(skin));
            EXPECT_EQ(gSkin, skin);
            EXPECT_EQ(c.previews(), std::set<int>({IDC_PREVIEW_CLASSIC + skin}));
            EXPECT_TRUE(c.ended.empty());
        }
        c.click(IDC_PLAY);
    });
    EXPECT_EQ(stored("skin.stt"), Bytes({2, 0, 0, 0}));
}

TEST_F(Welcome, EveryCommandIsHandledOtherMessagesAreNot) {
    run([](FakeControls &c) {
        // Escape and the window manager's close arrive as cancel: the dialog stays open.
        for (int id : {int(DLG_IDCANCEL), int(IDC_FULLSCREEN), int(IDC_INTERNET), 1, 4242, 0xFFFF})
            EXPECT_TRUE(c.click(id)) << id;
        EXPECT_TRUE(DialogProc(&c, DLG_COMMAND, (uintptr_t(7) << 16) | IDC_PREVIEW_HER, 0));
        EXPECT_TRUE(c.ended.empty());
        for (unsigned message : {0u, 0x000Fu, 0x0100u, 0x0112u, 0x0200u})
            EXPECT_FALSE(DialogProc(&c, message, IDC_PLAY, 0)) << message;
        EXPECT_TRUE(c.ended.empty());
        EXPECT_TRUE(c.click(IDC_PLAY));
        EXPECT_EQ(c.ended, std::vector<int>({1}));
    });
}

TEST_F(Welcome, QuitAndPlayEndWithZeroAndOne) {
    run([](FakeControls &c) {
        EXPECT_TRUE(c.click(IDC_QUIT));
        EXPECT_EQ(c.ended, std::vector<int>({0}));
    });
}

TEST_F(Welcome, InternetScoringBoxSwitchesOnlineScoring) {
    gOnlineScores = true;
    run(play);
    EXPECT_FALSE(gOnlineScores);
    run([](FakeControls &c) {
        c.click(IDC_INTERNET);
        c.click(IDC_PLAY);
    });
    EXPECT_TRUE(gOnlineScores);
    run([](FakeControls &c) {   // unticked but not read: Quit keeps the stored consent
        c.click(IDC_INTERNET);
        c.click(IDC_QUIT);
    });
    EXPECT_TRUE(gOnlineScores);
    writeSettings({1}, {0, 0, 0, 0}, {2});
    run(play);
    EXPECT_FALSE(gOnlineScores);
}

TEST_F(Welcome, DialogThatCannotBeShownStartsTheGameWithTheReadSettings) {
    welcomeDialogRunner = cannotShow;
    writeSettings({0}, {2, 0, 0, 0}, {1});
    EXPECT_TRUE(ShowWelcomeDialog());
    EXPECT_FALSE(isWindowed);
    EXPECT_EQ(gSkin, 2);
    EXPECT_TRUE(isGamePad);
    EXPECT_TRUE(gOnlineScores);
    EXPECT_EQ(stored("fullscreen.stt"), Bytes({0}));
    EXPECT_EQ(stored("skin.stt"), Bytes({2, 0, 0, 0}));
    EXPECT_EQ(stored("gamepad.stt"), Bytes({1}));
}

// Apart, the dialog runs in a child: its choices and saved files come back, this process
// never ran it, and a child that dies without answering counts as Quit.
TEST_F(Welcome, ApartTheChildsChoicesComeBackAndADeadChildQuits) {
    static int playedHere, meanwhile;
    playedHere = meanwhile = 0;
    player = [](FakeControls &c) {
        playedHere++;
        c.click(IDC_FULLSCREEN);
        c.click(IDC_INTERNET);
        c.choose(2);
        c.click(IDC_PLAY);
    };
    EXPECT_TRUE(ShowWelcomeDialogApart([] { meanwhile++; }));
    EXPECT_EQ(playedHere, 0);
    EXPECT_EQ(meanwhile, 1);
    EXPECT_FALSE(isWindowed);
    EXPECT_EQ(gSkin, 2);
    EXPECT_TRUE(isGamePad);
    EXPECT_TRUE(gOnlineScores);
    EXPECT_EQ(stored("skin.stt"), Bytes({2, 0, 0, 0}));
    player = [](FakeControls &) { raise(SIGKILL); };
    EXPECT_FALSE(ShowWelcomeDialogApart(nullptr));
}

// Opening help must not end the dialog; the opener is a recording stand-in on PATH.
TEST_F(Welcome, HelpOpensTheIndexBesideTheGameAndLeavesTheDialogOpen) {
    const std::string bin = home.path("bin"), record = home.path("opened.txt");
    std::filesystem::create_directory(bin);
    std::ofstream(bin + "/xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << record << "'\n";
    std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
    run([](FakeControls &c) {
        EXPECT_TRUE(c.click(IDC_HELP));
        EXPECT_TRUE(c.ended.empty());
        c.click(IDC_PLAY);
    });
    setenv("PATH", oldPath.c_str(), 1);
    std::string opened;
    for (int wait = 0; wait < 200 && opened.empty(); wait++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream(record) >> opened;
    }
    EXPECT_EQ(opened, home.path("data/help/index.html"));
}

class Settings : public Welcome {};

TEST_F(Settings, MissingFullScreenFileSkipsTheSkinFile) {
    Bytes skin = {2, 0, 0, 0};
    home.write("data/skin.stt", skin.data(), skin.size());
    loadFullScreenState();
    EXPECT_TRUE(isWindowed);
    EXPECT_EQ(gSkin, 0);
}

TEST_F(Settings, EmptyFullScreenFileStillLetsTheSkinBeRead) {
    writeSettings({}, {2, 0, 0, 0}, {});
    isWindowed = false;
    loadFullScreenState();
    loadGamePadState();
    EXPECT_FALSE(isWindowed);
    EXPECT_EQ(gSkin, 2);
    EXPECT_FALSE(isGamePad);
}

TEST_F(Settings, ShortSkinFileIsRefused) {
    writeSettings({0}, {2, 0}, {1});
    gSkin = 1;
    loadFullScreenState();
    EXPECT_FALSE(isWindowed);
    EXPECT_EQ(gSkin, 1);
}

TEST_F(Settings, LongFilesAreReadFromTheStart) {
    writeSettings({0, 1, 1}, {2, 0, 0, 0, 9, 9}, {1, 0});
    loadFullScreenState();
    loadGamePadState();
    EXPECT_FALSE(isWindowed);
    EXPECT_EQ(gSkin, 2);
    EXPECT_TRUE(isGamePad);
}

TEST_F(Settings, SkinIsStoredLittleEndian) {
    gSkin = 0x01020304;
    saveFullScreenState();
    EXPECT_EQ(stored("skin.stt"), Bytes({4, 3, 2, 1}));
    gSkin = 0;
    loadFullScreenState();
    EXPECT_EQ(gSkin, 0x01020304);
}

TEST_F(Settings, FoldersInPlaceOfFilesCountAsMissing) {
    std::filesystem::create_directory(home.path("data/fullscreen.stt"));
    std::filesystem::create_directory(home.path("data/gamepad.stt"));
    Bytes skin = {2, 0, 0, 0};
    home.write("data/skin.stt", skin.data(), skin.size());
    isWindowed = false;
    isGamePad = true;
    loadFullScreenState();
    loadGamePadState();
    EXPECT_FALSE(isWindowed);
    EXPECT_EQ(gSkin, 0);
    EXPECT_TRUE(isGamePad);
}

TEST_F(Settings, FullScreenFileThatCannotBeWrittenSkipsTheSkinFile) {
    std::filesystem::create_directory(home.path("data/fullscreen.stt"));
    std::ofstream(home.path("data/fullscreen.stt/keep")) << "x";   // a folder that rename cannot replace
    gSkin = 2;
    saveFullScreenState();
    EXPECT_TRUE(std::filesystem::is_directory(home.path("data/fullscreen.stt")));
    EXPECT_FALSE(home.exists("data/skin.stt"));
    EXPECT_EQ(home.list("data"), std::vector<std::string>({"fullscreen.stt"}));
}

TEST_F(Settings, MissingDataFolderWritesNothingAndDoesNotFail) {
    std::filesystem::remove_all(home.path("data"));
    isWindowed = false, gSkin = 2, isGamePad = true;
    saveFullScreenState();
    saveGamePadState();
    EXPECT_FALSE(home.exists("data"));
    EXPECT_FALSE(isWindowed);
    EXPECT_EQ(gSkin, 2);
}

TEST_F(Settings, SavingReplacesOldFilesWithoutLeavingTemporaries) {
    writeSettings({0, 0, 0, 0, 0, 0}, {9, 9, 9, 9, 9, 9, 9, 9}, {1, 1, 1});
    isWindowed = true, gSkin = 1, isGamePad = false;
    saveFullScreenState();
    saveGamePadState();
    EXPECT_EQ(stored("fullscreen.stt"), Bytes({1}));
    EXPECT_EQ(stored("skin.stt"), Bytes({1, 0, 0, 0}));
    EXPECT_EQ(stored("gamepad.stt"), Bytes({0}));
    EXPECT_EQ(home.list("data").size(), 3u);
}

} // namespace
