// The start-up dialog's logic on a recording double of its controls (Play is played on the
// real dialog in the end-to-end test), and its settings files from every length and bad value.
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <functional>
#include <optional>
#include <set>

#include "game_home.h"
#include "online.h"
#include "welcome.h"

namespace {

class FakeControls : public DialogControls {
public:
    void checkButton(int id, bool ticked) override { ticked ? void(checked.insert(id)) : void(checked.erase(id)); }
    bool isButtonChecked(int id) const override { return checked.count(id); }
    void showControl(int id, bool visible) override { visible ? void(shown.insert(id)) : void(shown.erase(id)); }
    int listAppend(int, const char *text) override { return items += std::string(text) + ";", 0; }
    void listSetItemData(int, int, intptr_t) override {}
    void listSetSelection(int, int index) override { selection = index; }
    int listSelection(int) const override { return selection; }
    void endDialog(int result) override { ended.push_back(result); }
    int captionHeight() const override { return 20; }
    DialogRect dialogUnitsToPixels(DialogRect u) const override { return {u.left, u.top, u.right * 3 / 2, u.bottom * 2}; }
    int screenWidth() const override { return 1281; }
    int screenHeight() const override { return 1024; }
    void moveDialog(int, int, int, int) override {}

    // A click: the box changes, then the dialog hears of it.
    void click(int id) {
        if (id == IDC_FULLSCREEN || id == IDC_INTERNET) checkButton(id, !isButtonChecked(id));
        EXPECT_TRUE(DialogProc(this, DLG_COMMAND, uintptr_t(id), 0));
    }
    void choose(int index) {
        selection = index;
        EXPECT_TRUE(DialogProc(this, DLG_COMMAND, uintptr_t(DLG_CBN_SELCHANGE) << 16 | IDC_SKINLIST, 0));
    }

    std::set<int> checked, shown = {IDC_PREVIEW_CLASSIC, IDC_PREVIEW_HER, IDC_PREVIEW_HIM};
    std::string items;
    int selection = -1;
    std::vector<int> ended;
};

std::function<void(FakeControls &)> player;
FakeControls seen;   // as the dialog opened

int scriptedRun(const DialogTemplate &, DialogHandler handler) {
    FakeControls controls;
    handler(&controls, DLG_INITDIALOG, 0, 0);
    seen = controls;
    player(controls);
    EXPECT_EQ(controls.ended.size(), 1u) << "the dialog ends exactly once";
    return controls.ended.empty() ? 0 : controls.ended[0];
}

std::string stored(const GameHome &home) {
    return home.read("data/fullscreen.stt") + "|" + home.read("data/skin.stt") + "|" + home.read("data/gamepad.stt");
}

TEST(Welcome, SettingsFilesFromEveryLengthAndBadValue) {
    GameHome home;
    const std::optional<std::string> none, folder = "<folder>";
    const int K = INT_MIN;   // what the variable held before
    const struct { std::optional<std::string> full, skin, pad; int windowed, gSkin, gamePad; } cases[] = {
        {none, none, none, K, K, K},
        {none, std::string("\2\0\0\0", 4), "\1", K, K, 1},            // no first file: no skin file either
        {"", std::string("\2\0\0\0", 4), "", K, 2, K},                // an empty first file still lets it be read
        {"\7", std::string("\2\0", 2), "\2", 1, K, 0},                 // a short skin is refused; only 1 ticks the box
        {std::string("\0\1\1", 3), "\4\3\2\1\11", std::string("\1\0", 2), 0, 0x01020304, 1},
        {folder, std::string("\1\0\0\0", 4), folder, K, K, K},
        {std::string(1, '\0'), "\xff\xff\xff\xff", std::string(1, '\0'), 0, -1, 0},
    };
    for (const auto &c : cases)
        for (int before : {0, 1}) {
            const std::pair<const char *, std::optional<std::string>> files[] = {
                {"data/fullscreen.stt", c.full}, {"data/skin.stt", c.skin}, {"data/gamepad.stt", c.pad}};
            for (const auto &[name, bytes] : files) {
                std::filesystem::remove_all(home.path(name));
                if (bytes == folder) std::filesystem::create_directory(home.path(name));
                else if (bytes) home.write(name, *bytes);
            }
            isWindowed = before, gSkin = before ? 77 : -77, isGamePad = before;
            loadFullScreenState();
            loadGamePadState();
            EXPECT_EQ(isWindowed, c.windowed == K ? before : c.windowed) << "case " << &c - cases;
            EXPECT_EQ(gSkin, c.gSkin == K ? (before ? 77 : -77) : c.gSkin) << "case " << &c - cases;
            EXPECT_EQ(isGamePad, c.gamePad == K ? before : c.gamePad) << "case " << &c - cases;
        }
}

TEST(Welcome, StoredChoicesShownThenChangedThenQuit) {
    GameHome home;
    home.write("data/fullscreen.stt", std::string(1, '\0'));
    home.write("data/skin.stt", std::string("\3\0\0\0", 4));   // no such skin: "For Her"
    home.write("data/gamepad.stt", "\1");
    gOnlineScores = false;
    welcomeDialogRunner = scriptedRun;
    player = [](FakeControls &c) {
        c.choose(2);
        EXPECT_EQ(c.shown, std::set<int>{IDC_PREVIEW_HIM}) << "the preview follows the list at once";
        // Escape and the window's close button keep it open.
        for (int id : {int(DLG_IDCANCEL), 4242, int(IDC_FULLSCREEN), int(IDC_INTERNET)}) c.click(id);
        EXPECT_FALSE(DialogProc(&c, 0x0200, IDC_QUIT, 0));
        EXPECT_TRUE(c.ended.empty());
        c.click(IDC_QUIT);
    };
    EXPECT_FALSE(ShowWelcomeDialog());
    EXPECT_EQ(seen.items, "Classic;For Her;For Him;");
    EXPECT_EQ(seen.selection, 1);
    EXPECT_EQ(seen.shown, std::set<int>{IDC_PREVIEW_HER});
    EXPECT_TRUE(seen.isButtonChecked(IDC_FULLSCREEN) && seen.isButtonChecked(IDC_INTERNET));
    EXPECT_TRUE(!isWindowed && isGamePad && gOnlineScores) << "the boxes only count when the player plays";
    EXPECT_EQ(stored(home), std::string("\0|\2\0\0\0|\1", 8));
}

// A dialog that cannot be shown starts the game with the stored settings; one in a
// child process hands its choices back, and a child that dies counts as Quit.
TEST(Welcome, WithoutADisplayAndApart) {
    GameHome home;
    home.write("data/fullscreen.stt", std::string(1, '\0'));
    home.write("data/skin.stt", std::string("\2\0\0\0", 4));
    home.write("data/gamepad.stt", "\1");
    welcomeDialogRunner = [](const DialogTemplate &, DialogHandler) { return int(DLG_FAILED); };
    EXPECT_TRUE(ShowWelcomeDialog());
    EXPECT_TRUE(!isWindowed && gSkin == 2 && isGamePad && gOnlineScores);

    isWindowed = false, gSkin = 2, isGamePad = true, gOnlineScores = true;
    welcomeDialogRunner = scriptedRun;
    player = [](FakeControls &c) {
        c.click(IDC_FULLSCREEN);
        c.click(IDC_INTERNET);
        c.choose(0);
        c.click(IDC_PLAY);
    };
    static int meanwhile = 0;
    EXPECT_TRUE(ShowWelcomeDialogApart([] { meanwhile++; }));
    EXPECT_TRUE(isWindowed && gSkin == 0 && !isGamePad && !gOnlineScores && meanwhile == 1);
    player = [](FakeControls &) { raise(SIGKILL); };
    EXPECT_FALSE(ShowWelcomeDialogApart(nullptr));
    EXPECT_EQ(stored(home), std::string("\1|\0\0\0\0|\0", 8));
}

}  // namespace
