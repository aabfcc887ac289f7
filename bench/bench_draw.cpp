// Drawing cost of a typical game frame: a 640 x 480 background, 96 gems of 40 x 40
// with alpha, 30 glyphs and 3 faded, turned and zoomed pictures, drawn 300 times;
// then the game's own frame drawn by the session's display code on the built data folder.
// Prints milliseconds per frame (the recorded frame drawn until GL has finished,
// presenting excluded) and the GL calls one frame makes, and makes again when it is
// drawn unchanged, counted by wrapping the GL entry points at link time.
// Needs a display: tests/tools/with_xvfb.sh build/bench/bench_draw
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "KFrame.h"
#include "KGraphic.h"
#include "KMiscTools.h"
#include "KText.h"
#include "KWindow.h"
#include "game_local.h"
#include "gemsets.h"
#include "temp_dir.h"

// --- GL call counting: the linker sends the engine's calls to these wrappers. ---
namespace {
struct CallCount {
    const char *name;
    long calls;
};
CallCount gCounts[] = {{"glBegin", 0},       {"glEnd", 0},        {"glVertex2i", 0},    {"glTexCoord2f", 0},
                       {"glEnable", 0},      {"glDisable", 0},    {"glBindTexture", 0}, {"glBlendFunc", 0},
                       {"glPushMatrix", 0},  {"glPopMatrix", 0},  {"glTranslatef", 0},  {"glRotatef", 0},
                       {"glScalef", 0},      {"glColor4f", 0},    {"glColor3f", 0},     {"glMatrixMode", 0},
                       {"glLoadIdentity", 0}, {"glOrtho", 0}};
long totalCalls() {
    long total = 0;
    for (const CallCount &c : gCounts)
        total += c.calls;
    return total;
}
void resetCalls() {
    for (CallCount &c : gCounts)
        c.calls = 0;
}
}  // namespace

#define WRAP_GL(index, name, params, args)  \
    extern "C" void __real_##name params;    \
    extern "C" void __wrap_##name params {   \
        ++gCounts[index].calls;              \
        __real_##name args;                  \
    }
WRAP_GL(0, glBegin, (GLenum mode), (mode))
WRAP_GL(1, glEnd, (void), ())
WRAP_GL(2, glVertex2i, (GLint x, GLint y), (x, y))
WRAP_GL(3, glTexCoord2f, (GLfloat s, GLfloat t), (s, t))
WRAP_GL(4, glEnable, (GLenum cap), (cap))
WRAP_GL(5, glDisable, (GLenum cap), (cap))
WRAP_GL(6, glBindTexture, (GLenum target, GLuint texture), (target, texture))
WRAP_GL(7, glBlendFunc, (GLenum s, GLenum d), (s, d))
WRAP_GL(8, glPushMatrix, (void), ())
WRAP_GL(9, glPopMatrix, (void), ())
WRAP_GL(10, glTranslatef, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))
WRAP_GL(11, glRotatef, (GLfloat a, GLfloat x, GLfloat y, GLfloat z), (a, x, y, z))
WRAP_GL(12, glScalef, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))
WRAP_GL(13, glColor4f, (GLfloat r, GLfloat g, GLfloat b, GLfloat a), (r, g, b, a))
WRAP_GL(14, glColor3f, (GLfloat r, GLfloat g, GLfloat b), (r, g, b))
WRAP_GL(15, glMatrixMode, (GLenum mode), (mode))
WRAP_GL(16, glLoadIdentity, (void), ())
WRAP_GL(17, glOrtho, (GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f), (l, r, b, t, n, f))

namespace {

// Writes an uncompressed 32-bit TGA, bottom row first, of colour(x, y) as B, G, R, A.
template <class Colour>
std::string writeTga(const std::string &folder, const char *name, int w, int h, Colour colour) {
    std::vector<unsigned char> b(18, 0);
    b[2] = 2;
    b[12] = uint8_t(w), b[13] = uint8_t(w >> 8), b[14] = uint8_t(h), b[15] = uint8_t(h >> 8), b[16] = 32;
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x) {
            const unsigned c = colour(x, y);  // 0xAARRGGBB
            b.insert(b.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), uint8_t(c >> 24)});
        }
    const std::string path = folder + "/" + name;
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(b.data(), 1, b.size(), f);
        std::fclose(f);
    }
    return path;
}

double nowMs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

KFont gDigits[] = {{'0', 0, 0, 16, 20, 16, 20}, {'1', 16, 0, 32, 20, 16, 20}, {'2', 32, 0, 48, 20, 16, 20},
                   {'3', 48, 0, 64, 20, 16, 20}, {'4', 64, 0, 80, 20, 16, 20}, {'5', 80, 0, 96, 20, 16, 20},
                   {'6', 96, 0, 112, 20, 16, 20}, {'7', 112, 0, 128, 20, 16, 20}, {'8', 128, 0, 144, 20, 16, 20},
                   {'9', 144, 0, 160, 20, 16, 20}, {0, 0, 0, 0, 0, 0, 0}};

// Settles, counts one frame's GL calls, then times kFrames frames drawn until GL has finished.
void measure(const char *title, const std::function<void(int)> &drawFrame) {
    const int kFrames = 300;
    for (int i = 0; i < 10; ++i) {  // settle
        drawFrame(i);
        KWindow::flipBackBuffer(false);
    }
    resetCalls();
    drawFrame(0);
    KFrame::drawPending();
    const long callsPerFrame = totalCalls();
    std::vector<CallCount> breakdown(std::begin(gCounts), std::end(gCounts));
    glFinish();
    KWindow::flipBackBuffer(false);

    std::vector<double> ms;
    ms.reserve(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        const double start = nowMs();
        drawFrame(i);
        KFrame::drawPending();
        glFinish();
        ms.push_back(nowMs() - start);
        KWindow::flipBackBuffer(false);
    }
    drawFrame(0);
    KWindow::flipBackBuffer(false);
    resetCalls();
    drawFrame(0);
    KWindow::flipBackBuffer(false);
    const long callsUnchanged = totalCalls();

    std::sort(ms.begin(), ms.end());
    std::printf("%s\n", title);
    std::printf("draw ms per frame: median %.3f  p90 %.3f  min %.3f  max %.3f\n", ms[ms.size() / 2],
                ms[ms.size() * 9 / 10], ms.front(), ms.back());
    std::printf("GL calls per frame: %ld; the same frame again, flip included: %ld\n", callsPerFrame, callsUnchanged);
    for (const CallCount &c : breakdown)
        if (c.calls)
            std::printf("  %-14s %ld\n", c.name, c.calls);
}

KGraphic *loadDataPicture(const char *file) {
    KGraphic *picture = new KGraphic;
    picture->loadPicture(KMiscTools::makeFilePath(file), true, false, true);
    return picture;
}

// The game's own frame on the built data folder, from displayTokens to AnimateZapAttack,
// over the in-game picture: a five-minute game with a selection, a hint, clears and marks.
bool measureGameFrame() {
    KMiscTools::setGameFolder(BROLIX_RUNTIME_DIR);
    surf_fond = loadDataPicture("data/ingame0.tga");
    surf_select = loadDataPicture("data/select0.tga");
    surf_bomb = loadDataPicture("data/bomb.tga");
    surf_horiz = loadDataPicture("data/horiz.tga");
    surf_verti = loadDataPicture("data/verti.tga");
    surf_rand = loadDataPicture("data/question.tga");
    surf_xzap = loadDataPicture("data/xzap.tga");
    text_numbers = new KText(KMiscTools::makeFilePath("data/timenmb.tga"), tableNumbers);
    text_scorenumbers = new KText(KMiscTools::makeFilePath("data/numbers.tga"), scoretableNumbers);
    if (!loadBubbleSet(0) || surf_fond->getWidth() == 0) {
        std::fprintf(stderr, "bench_draw: no data folder in %s\n", BROLIX_RUNTIME_DIR);
        return false;
    }
    seedRandom(7);
    _gameMode = modeFiveMinutes;
    resetTokenTable(true);
    score = 123456;
    tokenAt(3, 3).selected = true;
    for (int i = 0; i < 10; i++) animateField();                      // the hint pulses
    for (long x = 0; x < boardColumns; x++) {
        tokenAt(x, 5).fade = 0.5f;                                    // a row being cleared
        tokenAt(x, 1).bonusType = int32_t(1 + x % 6);                 // every kind of mark
    }
    measure("game frame: in-game picture, displayTokens, displayScore, ShowTimer, displayGameMode, "
            "AnimateZapAttack (real data)",
            [](int frame) {
                if (frame % 190 == 0) startZapAttack();
                KGraphic::setDefaultWorldView();
                surf_fond->blitRect(0, 0, 640, 480, 0, 0);
                displayTokens();
                displayScore();
                ShowTimer(modeFiveMinutes, false);
                displayGameMode(modeFiveMinutes);
                AnimateZapAttack();
            });
    return true;
}

}  // namespace

int main() {
    KWindow window;
    if (!window.createGameWindow(640, 480, 16, true, "Brolix draw")) {
        std::fprintf(stderr, "bench_draw: no GL window (is DISPLAY set?)\n");
        return 1;
    }
    KWindow::setRectangleTexCap(false);
    KGraphic::setGraphicQuality(true);
    std::printf("renderer: %s\n", reinterpret_cast<const char *>(glGetString(GL_RENDERER)));

    const TempDir scratch("brolix-bench");
    const std::string dir = scratch.root();
    std::vector<std::string> files;
    files.push_back(writeTga(dir, "background.tga", 640, 480,
                             [](int x, int y) { return 0xFF000000u | unsigned(x % 256) << 16 | unsigned(y % 256) << 8 | 90u; }));
    for (int k = 0; k < 7; ++k) {
        const std::string name = "gem" + std::to_string(k) + ".tga";
        files.push_back(writeTga(dir, name.c_str(), 40, 40, [k](int x, int y) {
            const int dx = x - 20, dy = y - 20;
            const unsigned alpha = dx * dx + dy * dy < 19 * 19 ? 255u : 0u;
            return alpha << 24 | unsigned(30 * k) << 16 | unsigned(255 - 30 * k) << 8 | unsigned(x * 6);
        }));
    }
    files.push_back(writeTga(dir, "font.tga", 160, 20, [](int x, int y) {
        return (x % 16 > 2 && y > 2 && y < 18) ? 0xFFFFFFFFu : 0u;
    }));
    files.push_back(writeTga(dir, "label.tga", 256, 64,
                             [](int x, int y) { return 0xC0000000u | unsigned(x) << 16 | unsigned(y * 4) << 8 | 200u; }));

    KGraphic background, label;
    KGraphic gems[7];
    bool loaded = background.loadPicture(files[0].c_str(), false, false, true) &&
                  label.loadPicture(files[9].c_str(), true, false, true);
    for (int k = 0; k < 7; ++k)
        loaded = gems[k].loadPicture(files[size_t(k) + 1].c_str(), true, false, true) && loaded;
    KText digits(files[8].c_str(), gDigits);
    if (!loaded) {
        std::fprintf(stderr, "bench_draw: pictures did not load\n");
        return 1;
    }

    auto drawFrame = [&](int frame) {
        KGraphic::setDefaultWorldView();
        background.blitRect(0, 0, 640, 480, 0, 0, false, false);
        for (int cell = 0; cell < 96; ++cell)
            gems[(cell + frame) % 7].blitAlphaRect(0, 0, 40, 40, int16_t(60 + (cell % 12) * 44),
                                                   int16_t(40 + (cell / 12) * 44), false, false);
        digits.drawStringFromLeft("0123456789", 10, 10, 1);
        digits.drawStringFromRight("9876543210", 630, 10, 1);
        digits.drawStringCentered("1234509876", 0, 640, 450, 1);
        for (int i = 0; i < 3; ++i)
            label.blitAlphaRectFx(0, 0, 256, 64, int16_t(40 + 200 * i), 200, float(frame + 30 * i),
                                  1.0f + 0.3f * float(i), 0.25f * float(i + 1), false, false);
    };

    measure("frames: 300 (1 background, 96 gems, 30 glyphs, 3 effects each)", drawFrame);
    return measureGameFrame() ? 0 : 1;
}
