// Everything the session loop calls, replaced by recorders: the test links the
// loop's own source with this file instead of the game and engine libraries.
#include "session_standins.h"

#include <cstring>
#include <map>
#include "cursor.h"
#include "gemsets.h"
#include "highscores.h"
#include "online.h"
#include "prefs.h"
#include "session_local.h"
#include "sounds.h"
#include "KGraphic.h"
#include "KInput.h"
#include "KMiscTools.h"
#include "KSound.h"
#include "KWindow.h"

Script script;
std::vector<std::string> trace;
int livePictures = 0;
int liveTexts = 0;

static void record(const std::string &entry) { trace.push_back(entry); }

static std::string baseName(const char *path) {
    const char *slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

static std::string nameOf(KGraphic *picture) { return picture->filename[0] ? picture->filename : "unloaded"; }

static std::string numbers(std::initializer_list<double> values) {
    std::string text;
    char buffer[32];
    for (double v : values) {
        std::snprintf(buffer, sizeof buffer, "%s%g", text.empty() ? "" : ",", v);
        text += buffer;
    }
    return text;
}

void Script::reset() { *this = Script{}; }

bool Script::keyDown(EKeyboardLayout key) const {
    auto frameKeys = keysAt.find(flips);
    return frameKeys != keysAt.end() && frameKeys->second.count(key);
}

// ---- globals of other modules ----
sPrefs prefs;
int32_t gSkin = 0;
KGraphic *surf_internet = nullptr;
KSound *snd_swap = nullptr;
sHotSpot hotspots[3] = {};
KFont tableNumbers[13] = {};
KFont scoretableNumbers[13] = {};

// ---- engine ----
KGraphic::KGraphic() {
    livePictures++;
    record("create");
}
KGraphic::~KGraphic() {
    livePictures--;
    record("delete " + nameOf(this));
}
bool KGraphic::loadPicture(const char *path, bool withAlpha, bool keepPixels, bool trueColor) {
    std::snprintf(filename, sizeof filename, "%s", baseName(path).c_str());
    record("load " + nameOf(this) + (withAlpha && !keepPixels && trueColor ? "" : " with other flags"));
    fimageWidth = 1024;
    fimageHeight = 1024;
    return true;
}
float KGraphic::getWidth() { return fimageWidth; }
float KGraphic::getHeight() { return fimageHeight; }
bool KGraphic::grabBackBuffer() {
    std::snprintf(filename, sizeof filename, "last frame");
    record("grab");
    return true;
}
void KGraphic::setDefaultWorldView() { record("default view"); }
void KGraphic::setWorldView(float x, float y, float angle, float zoom, bool clear) {
    record("view " + numbers({x, y, angle, zoom, double(clear)}));
}
void KGraphic::blitRect(float sx1, float sy1, float sx2, float sy2, int16_t dx, int16_t dy, bool, bool) {
    record("blitRect " + nameOf(this) + " " + numbers({sx1, sy1, sx2, sy2, double(dx), double(dy)}));
}
void KGraphic::blitAlphaRectFx(float sx1, float sy1, float sx2, float sy2, int16_t dx, int16_t dy, float angle,
                               float zoom, float alpha, bool, bool) {
    record("fx " + nameOf(this) + " " + numbers({sx1, sy1, sx2, sy2, double(dx), double(dy)}));
    script.fxFrames.push_back({angle, zoom, alpha});
}

static std::map<const KText *, std::string> textFonts;
KText::KText(const char *fontPicturePath, KFont *table) : _surf_Fonts(nullptr), _fontTable(table) {
    liveTexts++;
    textFonts[this] = baseName(fontPicturePath);
    record("text " + textFonts[this] + (table == tableNumbers ? " timer glyphs" : "") +
           (table == scoretableNumbers ? " score glyphs" : ""));
}
KText::~KText() {
    liveTexts--;
    record("delete text " + textFonts[this]);
}

void KWindow::flipBackBuffer(bool wait) {
    record(wait ? "flip" : "flip without wait");
    script.flips++;
}
void KWindow::processEvents() { record("events"); }
bool KWindow::isQuit() { return script.flips >= script.quitAtFlip || script.flips > 5000; }

bool KInput::isPressed(EKeyboardLayout key) { return script.keyDown(key); }
void KInput::waitForKeyRelease(EKeyboardLayout key) {
    record("release " + std::to_string(int(key)));
    auto frameKeys = script.keysAt.find(script.flips);
    if (frameKeys != script.keysAt.end()) frameKeys->second.erase(key);
}

char *KMiscTools::makeFilePath(const char *fileName) {
    static char path[PATH_SIZE];
    std::snprintf(path, sizeof path, "/game/%s", fileName);
    for (char *c = path; *c; c++)
        if (*c == '\\') *c = '/';
    return path;
}
uint32_t KMiscTools::getTheTicks() { return 1234; }

KSound::KSound() {}
KSound::~KSound() {}
void KSound::playSample() { record(this == snd_swap ? "play swap" : "play other"); }

// ---- game ----
void seedRandom(uint32_t seed) { record("seed " + std::to_string(seed)); }
void clearZapAttack() { record("clearZapAttack"); }
bool loadBubbleSet(int32_t id) {
    record("loadBubbleSet " + std::to_string(id));
    return !script.missingSets.count(id);
}
void resetTokenTable(bool resetScore) { record(resetScore ? "resetTokenTable new game" : "resetTokenTable board"); }
void resetTimer(long gameMode) { record("resetTimer " + std::to_string(gameMode)); }
void animateField() { record("animateField"); }
void fallTokens() { record("fallTokens"); }
void appearTokens() { record("appearTokens"); }
void doSwapTokens() { record("doSwapTokens"); }
bool doInput() {
    record("doInput");
    return false;
}
void checkForMatches() { record("checkForMatches"); }
void handleInterface() {
    record("handleInterface");
    if (script.atHandleInterface) script.atHandleInterface();
}
void displayTokens() { record("displayTokens"); }
void displayScore() { record("displayScore"); }
void ShowTimer(long gameMode, bool decompte) {
    record("ShowTimer " + std::to_string(gameMode) + (decompte ? " runs" : " stands"));
    if (script.atShowTimer) script.atShowTimer();
}
void displayGameMode(long gameMode) { record("displayGameMode " + std::to_string(gameMode)); }
void displayGameOver() {
    record("displayGameOver");
    script.fades.push_back(gameOverFade);
}
void AnimateZapAttack() { record("AnimateZapAttack"); }
void displayMouseCursor() { record("displayMouseCursor"); }
void grabVideo() { record("grabVideo"); }
bool isHighScore() {
    record("isHighScore");
    return script.highScore;
}
