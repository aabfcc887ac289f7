#include "welcome.h"

#include "KMiscTools.h"
#include "KWindow.h"
#include "makers.h"
#include "online.h"
#include "storage.h"

#include <cerrno>
#include <cstdio>
#include <csignal>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

bool isWindowed = true;
bool isGamePad = false;

const char *m1 = "Classic";
const char *m2 = "For Her";
const char *m3 = "For Him";
int itemCount = 0;

int (*welcomeDialogRunner)(const DialogTemplate &dialog, DialogHandler handler) = runDialogGtk;

namespace {

const char *const FULLSCREEN_FILE = "data\\fullscreen.stt";
const char *const SKIN_FILE = "data\\skin.stt";
const char *const GAMEPAD_FILE = "data\\gamepad.stt";
const char *const WINDOW_FILE = "data\\window.stt";

const DialogControl introControls[] = {
    {IDC_PREVIEW_CLASSIC, ControlKind::Picture, nullptr, 5, 10, 160, 120, 275},
    {IDC_PREVIEW_HER, ControlKind::Picture, nullptr, 5, 10, 160, 120, 276},
    {IDC_PREVIEW_HIM, ControlKind::Picture, nullptr, 5, 10, 160, 120, 277},
    {IDC_FULLSCREEN, ControlKind::CheckBox, "Play Full Screen", 120, 84, 100, 15, 0},
    {IDC_INTERNET, ControlKind::CheckBox, "Internet Scoring", 120, 97, 100, 15, 0},
    {-1, ControlKind::Label, "Skin:", 10, 92, 20, 15, 0},
    {IDC_SKINLIST, ControlKind::DropList, nullptr, 30, 90, 70, 150, 0},
    {IDC_PLAY, ControlKind::DefaultButton, "Play", 180, 115, 50, 16, 0},
    {IDC_QUIT, ControlKind::Button, "Quit", 120, 115, 50, 16, 0},
    {IDC_HELP, ControlKind::Button, "Help", 5, 115, 50, 16, 0},
};

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

void initDialog(DialogControls *dialog) {
    placeDialog(dialog);
    fillCombo(dialog);
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
    default:
        break;
    }
}

// What the dialog's process hands back to the game.
struct DialogOutcome {
    unsigned char started, windowed, gamePad, online;
    int32_t skin;
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
    // A pipe write this small is whole or fails; the parent then sees no answer.
    (void)!write(fd, &outcome, sizeof outcome);
    _exit(0);
}

} // namespace

const DialogTemplate DIALOGINTRO = {
    "Welcome to Brolix !", 250, 150, "MS Sans Serif", 8,
    introControls, int(sizeof introControls / sizeof introControls[0]),
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

void loadWindowState() {
    unsigned char bytes[20];
    KWindowPlace place;
    if (readSetting(WINDOW_FILE, bytes, 20))
        place = {readInt32(bytes), readInt32(bytes + 4), readInt32(bytes + 8), readInt32(bytes + 12), readInt32(bytes + 16)};
    KWindow::setWindowPlace(place);
}

void saveWindowState() {
    const KWindowPlace place = KWindow::getWindowPlace();
    unsigned char bytes[20];
    const int32_t fields[5] = {place.x, place.y, place.width, place.height, place.display};
    for (int i = 0; i < 5; i++)
        writeInt32(fields[i], bytes + 4 * i);
    if (place.width > 0)
        writeSetting(WINDOW_FILE, bytes, 20);
    if (isWindowed != !KWindow::isFullScreen()) {
        isWindowed = !KWindow::isFullScreen();
        saveFullScreenState();
    }
}

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
    for (const char *item : items)
        dialog->listAppend(IDC_SKINLIST, item);
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

void ShowHelp() { KMiscTools::launchURL(KMiscTools::makeFilePath(HELP_INDEX_FILE), true); }

bool ShowWelcomeDialog() {
    // Tests place the game's folder themselves; computing it again would give the same.
    if (KMiscTools::getGameFolder()[0] == '\0')
        KMiscTools::initMiscTools();
    loadFullScreenState();
    loadGamePadState();
    int result = welcomeDialogRunner(DIALOGINTRO, DialogProc);
    saveFullScreenState();
    saveGamePadState();
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
        std::fprintf(stderr, "The start-up dialog ended without an answer.\n");
        return false;
    }
    isWindowed = outcome.windowed != 0;
    isGamePad = outcome.gamePad != 0;
    gOnlineScores = outcome.online != 0;
    gSkin = outcome.skin;
    return outcome.started != 0;
}
