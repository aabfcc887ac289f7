#include "welcome.h"

#include "KCatalog.h"
#include "KMiscTools.h"
#include "KWindow.h"
#include "language.h"
#include "makers.h"
#include "online.h"
#include "storage.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <csignal>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

bool isWindowed = true;
bool isGamePad = false;
std::string gLanguage;

// TRANSLATORS: the skins of the start-up dialog's list; short, the list is narrow.
const char *m1 = N_("Classic");
const char *m2 = N_("For Her");
const char *m3 = N_("For Him");
int itemCount = 0;

int (*welcomeDialogRunner)(const DialogTemplate &dialog, DialogHandler handler) = runDialogGtk;

namespace {

const char *const FULLSCREEN_FILE = "data\\fullscreen.stt";
const char *const SKIN_FILE = "data\\skin.stt";
const char *const GAMEPAD_FILE = "data\\gamepad.stt";
const char *const WINDOW_FILE = "data\\window.stt";
constexpr long WINDOW_FILE_SIZE = 24;
const char *const LANGUAGE_FILE = "data\\language.stt";
const long LANGUAGE_SIZE = 15;   // the longest code kept; the file holds the code's letters only

// The texts are English here and shown in the language in use (showWords).
const DialogControl introControls[] = {
    {IDC_PREVIEW_CLASSIC, ControlKind::Picture, nullptr, 5, 10, 160, 120, 275},
    {IDC_PREVIEW_HER, ControlKind::Picture, nullptr, 5, 10, 160, 120, 276},
    {IDC_PREVIEW_HIM, ControlKind::Picture, nullptr, 5, 10, 160, 120, 277},
    {IDC_FULLSCREEN, ControlKind::CheckBox, N_("Play Full Screen"), 120, 84, 100, 15, 0},
    {IDC_INTERNET, ControlKind::CheckBox, N_("Internet Scoring"), 120, 97, 100, 15, 0},
    // TRANSLATORS: the label before the list of skins; about five letters fit.
    {IDC_SKINLABEL, ControlKind::Label, N_("Skin:"), 10, 92, 20, 15, 0},
    {IDC_SKINLIST, ControlKind::DropList, nullptr, 30, 90, 70, 150, 0},
    {IDC_PLAY, ControlKind::DefaultButton, N_("Play"), 180, 115, 50, 16, 0},
    {IDC_QUIT, ControlKind::Button, N_("Quit"), 120, 115, 50, 16, 0},
    {IDC_HELP, ControlKind::Button, N_("Help"), 5, 115, 50, 16, 0},
    // Last, so the focus still starts on "Play Full Screen".
    {IDC_LANGUAGELABEL, ControlKind::Label, N_("Language:"), 120, 10, 100, 10, 0},
    {IDC_LANGUAGELIST, ControlKind::DropList, nullptr, 120, 21, 100, 150, 0},
};
const int introControlCount = int(sizeof introControls / sizeof introControls[0]);

// Reads one whole setting; a short file counts as no file.
bool readSetting(const char *name, unsigned char *bytes, long size) {
    return loadStoredFile(name, bytes, size) == size;
}

bool writeSetting(const char *name, const unsigned char *bytes, long size) {
    return saveStoredFile(name, bytes, size);
}

int32_t readInt32(const unsigned char *bytes) {
    return int32_t(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
}

void writeInt32(int32_t value, unsigned char *bytes) {
    for (int i = 0; i < 4; i++)
        bytes[i] = uint8_t(uint32_t(value) >> (8 * i));
}

// Centred on the screen, sized from the caption bar and the dialog font. A Wayland
// compositor places windows itself: those that centre modal dialogs centre this one.
void placeDialog(DialogControls *dialog) {
    DialogRect size = dialog->dialogUnitsToPixels({0, 0, 240, dialog->captionHeight() + 120});
    int width = size.right - size.left;
    int height = size.bottom - size.top;
    dialog->moveDialog((dialog->screenWidth() - width) / 2, (dialog->screenHeight() - height) / 2,
                       width, height + 20);
}

void showPreviewOf(DialogControls *dialog, int skin) {
    dialog->showControl(IDC_PREVIEW_CLASSIC, false);
    dialog->showControl(IDC_PREVIEW_HER, false);
    dialog->showControl(IDC_PREVIEW_HIM, false);
    dialog->showControl(IDC_PREVIEW_CLASSIC + skin, true);
}

// The languages' list: automatic (the desktop's), English, then the others by their own names.
void fillLanguageList(DialogControls *dialog) {
    dialog->listClear(IDC_LANGUAGELIST);
    const std::string automatic = languageName(resolveLanguage(""));
    // TRANSLATORS: the first entry of the languages' list: the desktop's language, named in parentheses.
    std::string text = _("Automatic (%s)");
    text.replace(text.find("%s") == std::string::npos ? text.size() : text.find("%s"), 2, automatic);
    dialog->listAppend(IDC_LANGUAGELIST, text.c_str());
    dialog->listAppend(IDC_LANGUAGELIST, languageName("en").c_str());
    int selected = gLanguage == "en" ? 1 : 0;
    for (const ShippedLanguage &language : shippedLanguages()) {
        const int index = dialog->listAppend(IDC_LANGUAGELIST, language.name.c_str());
        if (language.code == gLanguage)
            selected = index;
    }
    dialog->listSetSelection(IDC_LANGUAGELIST, selected);
}

std::string languageAt(int index) {
    if (index == 1)
        return "en";
    const auto &shipped = shippedLanguages();
    return index >= 2 && index - 2 < int(shipped.size()) ? shipped[size_t(index - 2)].code : "";
}

// Every text of the dialog again, in the language now in use.
void showWords(DialogControls *dialog) {
    dialog->setCaption(_(DIALOGINTRO.caption));
    for (int i = 0; i < introControlCount; i++)
        if (introControls[i].text)
            dialog->setControlText(introControls[i].id, _(introControls[i].text));
    fillCombo(dialog);
    fillLanguageList(dialog);
}

void initDialog(DialogControls *dialog) {
    placeDialog(dialog);
    showWords(dialog);
    dialog->checkButton(IDC_FULLSCREEN, !isWindowed);
    dialog->checkButton(IDC_INTERNET, isGamePad);
    showPreviewOf(dialog, gSkin);
}

void handleCommand(DialogControls *dialog, int id) {
    switch (id) {
    case IDC_PLAY:
        isWindowed = !dialog->isButtonChecked(IDC_FULLSCREEN);
        isGamePad = dialog->isButtonChecked(IDC_INTERNET);
        gSkin = dialog->listSelection(IDC_SKINLIST);
        dialog->endDialog(1);
        break;
    case IDC_QUIT:
        // The check boxes only count when the player plays; the skin is kept either way.
        gSkin = dialog->listSelection(IDC_SKINLIST);
        dialog->endDialog(0);
        break;
    case IDC_HELP:
        ShowHelp();
        break;
    case IDC_SKINLIST:
        gSkin = dialog->listSelection(IDC_SKINLIST);
        showPreviewOf(dialog, gSkin);
        break;
    case IDC_LANGUAGELIST:
        // The dialog speaks the language picked at once, as the game will.
        gLanguage = languageAt(dialog->listSelection(IDC_LANGUAGELIST));
        useLanguage(resolveLanguage(gLanguage));
        showWords(dialog);
        break;
    default:
        break;
    }
}

// What the dialog's process hands back to the game.
struct DialogOutcome {
    unsigned char started, windowed, gamePad, online;
    int32_t skin;
    char language[LANGUAGE_SIZE + 1];
};

// The game may be asked to end while it waits (SIGTERM and SIGINT become a quit event
// once the video system runs, and may come before the wait does): stop then looks.
bool readWhole(int fd, void *into, size_t size, bool (*stop)() = nullptr) {
    auto *bytes = static_cast<unsigned char *>(into);
    while (size > 0) {
        pollfd ready = {fd, POLLIN, 0};
        if (stop && poll(&ready, 1, 100) <= 0) {
            if (stop())
                return false;
            continue;
        }
        ssize_t got = read(fd, bytes, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        bytes += got;
        size -= size_t(got);
    }
    return true;
}

void answerFromChild(int fd) {
    DialogOutcome outcome = {};
    outcome.started = ShowWelcomeDialog();
    outcome.windowed = isWindowed;
    outcome.gamePad = isGamePad;
    outcome.online = gOnlineScores;
    outcome.skin = gSkin;
    std::strncpy(outcome.language, gLanguage.c_str(), LANGUAGE_SIZE);
    // A pipe write this small is whole or fails; the parent then sees no answer.
    (void)!write(fd, &outcome, sizeof outcome);
    _exit(0);
}

} // namespace

const DialogTemplate DIALOGINTRO = {
    N_("Welcome to Brolix !"), 250, 150, "MS Sans Serif", 8, introControls, introControlCount,
};

void loadFullScreenState() {
    unsigned char windowed;
    long count = loadStoredFile(FULLSCREEN_FILE, &windowed, 1);
    if (count < 0)
        return;
    if (count == 1)
        isWindowed = windowed != 0;
    unsigned char skin[4];
    if (readSetting(SKIN_FILE, skin, 4))
        gSkin = readInt32(skin);
}

void saveFullScreenState() {
    const unsigned char windowed = isWindowed ? 1 : 0;
    if (!writeSetting(FULLSCREEN_FILE, &windowed, 1))
        return;
    unsigned char bytes[4];
    writeInt32(gSkin, bytes);
    writeSetting(SKIN_FILE, bytes, 4);
}

// Older games wrote the first five fields alone, and read only those.
void loadWindowState() {
    unsigned char bytes[WINDOW_FILE_SIZE] = {};
    const long size = loadStoredFile(WINDOW_FILE, bytes, WINDOW_FILE_SIZE);
    KWindowPlace place;
    if (size == WINDOW_FILE_SIZE - 4 || size == WINDOW_FILE_SIZE)
        place = {readInt32(bytes), readInt32(bytes + 4), readInt32(bytes + 8), readInt32(bytes + 12),
                 readInt32(bytes + 16), readInt32(bytes + 20) == 1};
    KWindow::setWindowPlace(place);
}

void saveWindowState() {
    const KWindowPlace place = KWindow::getWindowPlace();
    unsigned char bytes[WINDOW_FILE_SIZE];
    const int32_t fields[6] = {place.x, place.y, place.width, place.height, place.display, place.maximized};
    for (int i = 0; i < 6; i++)
        writeInt32(fields[i], bytes + 4 * i);
    if (place.width > 0)
        writeSetting(WINDOW_FILE, bytes, WINDOW_FILE_SIZE);
    if (isWindowed != !KWindow::isFullScreen()) {
        isWindowed = !KWindow::isFullScreen();
        saveFullScreenState();
    }
}

void loadLanguageState() {
    char code[LANGUAGE_SIZE + 1] = {};
    const long count = loadStoredFile(LANGUAGE_FILE, code, LANGUAGE_SIZE + 1);
    gLanguage = count >= 0 && count <= LANGUAGE_SIZE && isShippedLanguage(code) ? code : "";
}

void saveLanguageState() { writeSetting(LANGUAGE_FILE, reinterpret_cast<const unsigned char *>(gLanguage.data()), long(gLanguage.size())); }

void loadGamePadState() {
    unsigned char ticked;
    // Only an exact 1 means ticked, so the stored state always matches what the box shows.
    if (readSetting(GAMEPAD_FILE, &ticked, 1))
        isGamePad = ticked == 1;
}

void saveGamePadState() {
    const unsigned char ticked = isGamePad ? 1 : 0;
    writeSetting(GAMEPAD_FILE, &ticked, 1);
}

void fillCombo(DialogControls *dialog) {
    if (gSkin < 0 || gSkin > 2)
        gSkin = 1;
    const char *const items[] = {m1, m2, m3};
    dialog->listClear(IDC_SKINLIST);
    for (const char *item : items)
        dialog->listAppend(IDC_SKINLIST, _(item));
    itemCount = 2;
    for (int index = 0; index <= itemCount; index++)
        dialog->listSetItemData(IDC_SKINLIST, index, index);
    dialog->listSetSelection(IDC_SKINLIST, gSkin);
}

bool DialogProc(DialogControls *dialog, unsigned message, uintptr_t wParam, intptr_t) {
    switch (message) {
    case DLG_INITDIALOG:
        initDialog(dialog);
        return true;
    case DLG_COMMAND:
        handleCommand(dialog, int(wParam & 0xFFFF));
        return true;
    default:
        return false;
    }
}

void ShowHelp() { KMiscTools::launchURL(localizedFilePath(HELP_INDEX_FILE), true); }

bool ShowWelcomeDialog() {
    // Tests place the game's folder themselves; computing it again would give the same.
    if (KMiscTools::getGameFolder()[0] == '\0')
        KMiscTools::initMiscTools();
    loadFullScreenState();
    loadGamePadState();
    loadLanguageState();
    useLanguage(resolveLanguage(gLanguage));
    int result = welcomeDialogRunner(DIALOGINTRO, DialogProc);
    saveFullScreenState();
    saveGamePadState();
    saveLanguageState();
    gOnlineScores = isGamePad;   // the box is the player's consent to send scores
    return result != 0;
}

bool ShowWelcomeDialogApart(void (*meanwhile)()) {
    int ends[2];
    if (pipe(ends) != 0)
        return ShowWelcomeDialog();
    std::fflush(nullptr);   // buffered output would be written by both processes
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        // The dialog goes with the game, however the game ends (even before the prctl).
        if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent)
            _exit(1);
        close(ends[0]);
        answerFromChild(ends[1]);
    }
    close(ends[1]);
    if (child < 0) {
        close(ends[0]);
        return ShowWelcomeDialog();
    }
    if (meanwhile)
        meanwhile();
    DialogOutcome outcome;
    const bool answered = readWhole(ends[0], &outcome, sizeof outcome, [] {
        KWindow::processEvents();
        return KWindow::isQuit();
    });
    close(ends[0]);
    if (!answered)
        kill(child, SIGTERM);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (!answered) {
        std::fprintf(stderr, "%s", _("The start-up dialog ended without an answer.\n"));
        return false;
    }
    isWindowed = outcome.windowed != 0;
    isGamePad = outcome.gamePad != 0;
    gOnlineScores = outcome.online != 0;
    gSkin = outcome.skin;
    outcome.language[LANGUAGE_SIZE] = '\0';
    gLanguage = isShippedLanguage(outcome.language) ? outcome.language : "";
    useLanguage(resolveLanguage(gLanguage));
    return outcome.started != 0;
}
