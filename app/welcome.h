#pragma once
#include <cstdint>
#include <string>

#include "dialog_controls.h"
#include "prefs.h"

// The start-up dialog and the three start-up settings it reads and writes in
// data/: fullscreen.stt (1 byte, 1 = windowed), skin.stt (int32 little-endian),
// gamepad.stt (1 byte, 1 = "Internet Scoring" ticked).

extern bool isWindowed;     // true: play in a window; false: full screen
extern bool isGamePad;      // the "Internet Scoring" check box
extern std::string gLanguage;  // the language chosen in the dialog's list; "" = the desktop's
// The skin, the third setting, is gSkin (prefs.h): the game draws with it.

extern const char *m1, *m2, *m3;  // the skin list's item texts
extern int itemCount;             // index of the skin list's last item

extern const DialogTemplate DIALOGINTRO;

// Control ids of the dialog.
enum : int {
    IDC_PREVIEW_CLASSIC = 1032, IDC_PREVIEW_HER = 1033, IDC_PREVIEW_HIM = 1034,
    IDC_FULLSCREEN = 105, IDC_INTERNET = 250, IDC_SKINLIST = 251,
    IDC_PLAY = 150, IDC_QUIT = 103, IDC_HELP = 107,
    IDC_SKINLABEL = 252, IDC_LANGUAGELABEL = 253, IDC_LANGUAGELIST = 254,
};

bool ShowWelcomeDialog();                 // read the settings, run the dialog, save them, set online scoring; true: start the game
// ShowWelcomeDialog in a child process that has ended when this returns, so the dialog's
// toolkit never stays in the game's memory; meanwhile runs here while the dialog shows.
// A child that dies without an answer counts as Quit.
bool ShowWelcomeDialogApart(void (*meanwhile)());
void fillCombo(DialogControls *dialog);   // fill the skin list and select gSkin (out-of-range skins become 1)
bool DialogProc(DialogControls *dialog, unsigned message, uintptr_t wParam, intptr_t lParam);  // the dialog's handler
void ShowHelp();                          // open data/help/index.html in the default browser

void loadFullScreenState();   // fullscreen.stt, then skin.stt; a missing first file skips both
void saveFullScreenState();   // the same files in the same order
void loadWindowState();       // window.stt (x, y, width, height, display, maximized: int32 little-endian) to the engine
void saveWindowState();       // where the window is, and fullscreen.stt when F11 changed the mode
void loadLanguageState();     // language.stt: a shipped language's code; "" (automatic) for anything else
void saveLanguageState();
void loadGamePadState();      // gamepad.stt
void saveGamePadState();

// How ShowWelcomeDialog runs the dialog; tests put a scripted double here.
extern int (*welcomeDialogRunner)(const DialogTemplate &dialog, DialogHandler handler);
