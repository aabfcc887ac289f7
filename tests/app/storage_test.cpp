// Stored files read back from every length and bad value, and the start-up dialog's logic on a
// recording double of its controls (the real dialog is played in the end-to-end test).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <tuple>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include "KSound.h"
#include "game_home.h"
#include "highscores.h"
#include "language.h"
#include "online.h"
#include "prefs.h"
#include "welcome.h"

struct KSoundTestAccess {
    static int effectVolume() { return KSound::_masterSFXvolume; }
};

namespace {

template <class T> std::string image(const T &record) {
    return std::string(reinterpret_cast<const char *>(&record), sizeof record);
}

// A short file replaces only the bytes it holds, as the score tables show from every length.
TEST(StoredFiles, PrefsScoreTablesAndSettingsFromEveryLengthAndBadValue) {
    GameHome home;
    const struct { sPrefs stored, loaded; int effectVolume; } cases[] = {
        {{500, 7, -4, 9, -3}, {116, 3, 0, 9, -3}, 99},
        {{-5, -1, 9, 0, 0}, {0, 0, 2, 0, 0}, 0},
        {{INT32_MAX, INT32_MIN, INT32_MAX, 0, 0}, {116, 0, 2, 0, 0}, 99},
        {{100, 4, 3, 0, 0}, {100, 3, 2, 0, 0}, 85},
    };
    for (const auto &c : cases) {
        home.write("prefs.raw", image(c.stored));
        loadPrefs();
        EXPECT_EQ(image(prefs), image(c.loaded));
        EXPECT_EQ(KSoundTestAccess::effectVolume(), c.effectVolume);
    }
    EXPECT_EQ(effectVolumePercent(INT32_MAX), 100);
    EXPECT_EQ(effectVolumePercent(INT32_MIN), 0);

    // No file, or a folder in its place, keeps everything, the effect volume too.
    KSound::setGlobalVolumes(-1, 37);
    std::filesystem::remove(home.path("prefs.raw"));
    loadPrefs();
    std::filesystem::create_directory(home.path("prefs.raw"));
    loadPrefs();
    EXPECT_EQ(image(prefs), image(cases[3].loaded));
    EXPECT_EQ(KSoundTestAccess::effectVolume(), 37);

    sHighScores stored;
    for (int row = 0; row < 9; row++) {
        std::memset(stored.players[row].name, 'a' + row, 32);   // no NUL at all
        stored.players[row].score = 1000u * row + 7;
    }
    for (int mode = 0; mode < 4; mode++)
        for (size_t n = 0; n <= 330; n += mode == 0 ? 1 : 37) {
            home.write(highScoreFileName(mode), (image(stored) + "extra").substr(0, n));
            resetScores();
            std::string want = image(*highScoreTable(mode)).replace(0, n, image(stored).substr(0, n));
            for (int row = 0; row < 9; row++) want[row * 36 + 31] = '\0';   // its first 31 characters
            loadHighScores();
            EXPECT_EQ(image(*highScoreTable(mode)), want) << "mode " << mode << ", " << n << " bytes";
        }
    saveHighScores();
    for (int mode = 0; mode < 4; mode++) EXPECT_EQ(home.read(highScoreFileName(mode)), image(*highScoreTable(mode)));

    // The language file holds a shipped language's letters alone; anything else is automatic.
    const std::optional<std::string> none, folder = "<folder>";
    const int K = INT_MIN;   // what the variable held before
    const struct {
        std::optional<std::string> full, skin, pad, language;
        int windowed, gSkin, gamePad;
        std::string code;
    } settings[] = {
        {none, none, none, none, K, K, K, ""},
        {none, std::string("\2\0\0\0", 4), "\1", "de", K, K, 1, "de"},   // no first file: no skin file either
        {"", std::string("\2\0\0\0", 4), "", "xx", K, 2, K, ""},          // an empty first file still lets it be read
        {"\7", std::string("\2\0", 2), "\2", "de" + std::string(14, '\0'), 1, K, 0, ""},   // a short skin is refused
        {std::string("\0\1\1", 3), "\4\3\2\1\11", std::string("\1\0", 2), "ja", 0, 0x01020304, 1, "ja"},
        {folder, std::string("\1\0\0\0", 4), folder, folder, K, K, K, ""},
    };
    for (const auto &c : settings)
        for (int before : {0, 1}) {
            const std::pair<const char *, std::optional<std::string>> files[] = {
                {"data/fullscreen.stt", c.full}, {"data/skin.stt", c.skin}, {"data/gamepad.stt", c.pad},
                {"data/language.stt", c.language}};
            for (const auto &[name, bytes] : files) {
                std::filesystem::remove_all(home.path(name));
                if (bytes == folder) std::filesystem::create_directory(home.path(name));
                else if (bytes) home.write(name, *bytes);
            }
            isWindowed = before, gSkin = before ? 77 : -77, isGamePad = before, gLanguage = before ? "fr" : "en";
            loadFullScreenState();
            loadGamePadState();
            loadLanguageState();
            EXPECT_EQ(std::make_tuple(isWindowed, gSkin, isGamePad, gLanguage),
                      std::make_tuple(c.windowed == K ? before : c.windowed, c.gSkin == K ? (before ? 77 : -77) : c.gSkin,
                                      c.gamePad == K ? before : c.gamePad, c.code)) << "case " << &c - settings;
        }
}

// Savers killed at random moments: every file holds the old or the new content. Unreadable, read-only
// and linked files are kept as they are.
TEST(StoredFiles, KilledWhileSavingLeavesEveryFileOldOrNewUnreadableReadOnlyAndLinkedSaves) {
    GameHome home;
    const sPrefs first = {11, 1, 2, 3, 4}, second = {22, 2, 1, 0, 5};
    std::string tables[2];
    for (int score : {1, 0}) score60sec.players[0].score = score, tables[score] = image(score60sec);
    prefs = first;
    savePrefs();
    saveHighScores();
    std::mt19937 random(1234);
    for (int attempt = 0; attempt < 40; attempt++) {
        const pid_t child = fork();
        if (child == 0)
            for (int round = 0;; round++) {
                prefs = round % 2 ? second : first;
                score60sec.players[0].score = round % 2;
                savePrefs();
                saveHighScores();
            }
        usleep(1000 + random() % 15000);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const std::string saved = home.read("prefs.raw"), table = home.read("data/s60");
        EXPECT_TRUE(saved == image(first) || saved == image(second)) << saved.size() << " bytes";
        EXPECT_TRUE(table == tables[0] || table == tables[1]) << table.size() << " bytes";
    }
    // What killed saves left goes at start-up; pid 1 always runs, its save may be in progress.
    home.write("data/smil.tmp99999999", "x");   // above any pid_max: gone
    home.write("data/s60.tmp1", "x");
    loadPrefs();
    loadHighScores();
    EXPECT_TRUE(std::filesystem::exists(home.path("data/s60.tmp1")));
    EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(home.root()), {}), 2 + 5)
        << "prefs.raw, data and in it the four tables and s60.tmp1";

    // Root reads and writes anything; without these capabilities it meets permission bits as a player.
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct root[2] = {}, player[2];
    syscall(SYS_capget, &header, root);
    std::copy(root, root + 2, player);
    player[0].effective &= ~(1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH);
    syscall(SYS_capset, &header, player);
    const std::string settings = image(sPrefs{7, 2, 0, 3, 1});
    home.write("prefs.raw", settings);
    chmod(home.path("prefs.raw").c_str(), 0);
    testing::internal::CaptureStderr();
    loadPrefs();
    savePrefs();
    savePrefs();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(said.find(home.path("prefs.raw")) == said.rfind(home.path("prefs.raw")) && !said.empty()) << said;
    chmod(home.path("prefs.raw").c_str(), 0444);
    EXPECT_EQ(home.read("prefs.raw"), settings) << "what could not be read was replaced";

    // A read-only file is replaced and keeps its mode; a linked one stays a link to the new content.
    savePrefs();
    struct stat saved;
    stat(home.path("prefs.raw").c_str(), &saved);
    EXPECT_EQ(saved.st_mode & 07777, 0444u);
    EXPECT_EQ(home.read("prefs.raw"), image(prefs));
    std::filesystem::rename(home.path("prefs.raw"), home.path("mine"));
    std::filesystem::create_symlink("mine", home.path("prefs.raw"));
    prefs.bubbleset = 9;
    savePrefs();
    EXPECT_TRUE(std::filesystem::is_symlink(home.path("prefs.raw")));
    EXPECT_EQ(home.read("mine"), image(prefs));
    syscall(SYS_capset, &header, root);
}


class FakeControls : public DialogControls {
public:
    void checkButton(int id, bool ticked) override { ticked ? void(checked.insert(id)) : void(checked.erase(id)); }
    bool isButtonChecked(int id) const override { return checked.count(id); }
    void showControl(int id, bool visible) override { visible ? void(shown.insert(id)) : void(shown.erase(id)); }
    void setCaption(const char *text) override { caption = text; }
    void setControlText(int id, const char *text) override { texts[id] = text; }
    void listClear(int id) override { items[id].clear(), selection[id] = -1; }
    int listAppend(int id, const char *text) override { return items[id].push_back(text), int(items[id].size()) - 1; }
    void listSetItemData(int, int, intptr_t) override {}
    void listSetSelection(int id, int index) override { selection[id] = index; }
    int listSelection(int id) const override { return selection.count(id) ? selection.at(id) : -1; }
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
    void choose(int index, int list = IDC_SKINLIST) {
        selection[list] = index;
        EXPECT_TRUE(DialogProc(this, DLG_COMMAND, uintptr_t(DLG_CBN_SELCHANGE) << 16 | uintptr_t(list), 0));
    }

    std::set<int> checked, shown = {IDC_PREVIEW_CLASSIC, IDC_PREVIEW_HER, IDC_PREVIEW_HIM};
    std::map<int, int> selection;
    std::map<int, std::vector<std::string>> items;
    std::map<int, std::string> texts;
    std::string caption;
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

// A dialog that cannot be shown starts the game with the settings stored; a dialog process that dies counts as Quit.
TEST(Welcome, StoredChoicesShownChangedQuitThenWithoutADisplayAndApartThenTheLanguagePicked) {
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
        EXPECT_TRUE(c.ended.empty());
        c.click(IDC_QUIT);
    };
    EXPECT_FALSE(ShowWelcomeDialog());
    EXPECT_EQ(std::make_tuple(seen.listSelection(IDC_SKINLIST), seen.shown, seen.checked),
              std::make_tuple(1, std::set<int>{IDC_PREVIEW_HER}, std::set<int>{IDC_FULLSCREEN, IDC_INTERNET}));
    EXPECT_TRUE(!isWindowed && isGamePad && gOnlineScores) << "the boxes only count when the player plays";
    EXPECT_EQ(stored(home), std::string("\0|\2\0\0\0|\1", 8));

    isWindowed = true, gSkin = 0, isGamePad = false, gOnlineScores = false;
    welcomeDialogRunner = [](const DialogTemplate &, DialogHandler) { return int(DLG_FAILED); };
    EXPECT_TRUE(ShowWelcomeDialog());
    EXPECT_TRUE(!isWindowed && gSkin == 2 && isGamePad && gOnlineScores);

    welcomeDialogRunner = scriptedRun;
    player = [](FakeControls &c) {
        c.click(IDC_FULLSCREEN);
        c.click(IDC_INTERNET);
        c.choose(0);
        c.click(IDC_PLAY);
    };
    static int meanwhile = 0;
    EXPECT_TRUE(ShowWelcomeDialogApart([] { meanwhile++; }));
    EXPECT_EQ(meanwhile, 1);
    player = [](FakeControls &) { raise(SIGKILL); };
    EXPECT_FALSE(ShowWelcomeDialogApart(nullptr));
    EXPECT_EQ(stored(home), std::string("\1|\0\0\0\0|\0", 8));

    // The language picked speaks at once and is kept, on Quit too; none stored is automatic, the desktop's.
    // A catalog of the home's own: the dialog's words in "German".
    std::filesystem::create_directories(home.path("locale/de/LC_MESSAGES"));
    home.write("test.po", "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n"
                          "msgid \"Welcome to Brolix !\"\nmsgstr \"Willkommen bei Brolix!\"\n"
                          "msgid \"Play\"\nmsgstr \"Spielen\"\nmsgid \"For Him\"\nmsgstr \"Für ihn\"\n"
                          "msgid \"Automatic (%s)\"\nmsgstr \"Automatisch (%s)\"\n");
    ASSERT_EQ(std::system(("msgfmt -o '" + home.path("locale/de/LC_MESSAGES/brolix.mo") + "' '" + home.path("test.po") + "'").c_str()), 0);
    setenv("LC_ALL", "fr_FR.UTF-8", 1), unsetenv("LANGUAGE");
    const std::string automatic = "Automatic (" + languageName("fr") + ")", german = languageName("de");
    welcomeDialogRunner = scriptedRun;
    // The caption, Play, Quit, the language list's first two items and the one selected, and the skin selected.
    const auto words = [](FakeControls &c) {
        const std::vector<std::string> &languages = c.items[IDC_LANGUAGELIST];
        return std::vector<std::string>{c.caption, c.texts[IDC_PLAY], c.texts[IDC_QUIT], languages.at(0), languages.at(1),
                                        languages.at(c.listSelection(IDC_LANGUAGELIST)), c.items[IDC_SKINLIST].at(c.listSelection(IDC_SKINLIST))};
    };
    player = [&](FakeControls &c) {
        ASSERT_GE(c.items[IDC_LANGUAGELIST].size(), 16u);
        c.choose(2);
        EXPECT_EQ(words(c), (std::vector<std::string>{"Welcome to Brolix !", "Play", "Quit", automatic, "English", automatic, "For Him"}));
        EXPECT_EQ(currentLanguage(), "fr");
        const std::vector<std::string> &languages = c.items[IDC_LANGUAGELIST];
        c.choose(int(std::find(languages.begin(), languages.end(), german) - languages.begin()), IDC_LANGUAGELIST);
        EXPECT_EQ(words(c), (std::vector<std::string>{"Willkommen bei Brolix!", "Spielen", "Quit", "Automatisch (" + languageName("fr") + ")",
                                                      "English", german, "Für ihn"})) << "untranslated words stay English; the skin chosen stays";
        c.click(IDC_QUIT);
    };
    EXPECT_FALSE(ShowWelcomeDialog());
    EXPECT_EQ(home.read("data/language.stt") + "|" + currentLanguage(), "de|de");

    player = [&](FakeControls &c) {
        EXPECT_EQ(c.caption, "Willkommen bei Brolix!") << "opens in the language kept";
        c.choose(0, IDC_LANGUAGELIST);
        EXPECT_EQ(c.caption, "Welcome to Brolix !") << "automatic: French, which has no catalog here";
        c.click(IDC_PLAY);
    };
    EXPECT_TRUE(ShowWelcomeDialog());
    EXPECT_EQ(gLanguage + "|" + currentLanguage() + "|" + home.read("data/language.stt"), "|fr|");
    unsetenv("LC_ALL");
}

}  // namespace
