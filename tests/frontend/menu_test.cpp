// The menu in a real window over the built data folder, with the player's hand scripted.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "x11_probe.h"
#include "../game/input_script.h"
#include "game_window.h"
#include "gl_window.h"
#include "../game/spies.h"
#include "game.h"
#include "game_local.h"
#include "gemsets.h"
#include "highscores.h"
#include "brolix_layout.h"
#include "menu.h"
#include "prefs.h"
#include "sounds.h"
#include "KFrame.h"
#include "KGamepad.h"
#include "KGraphic.h"
#include "KPlatform.h"

namespace {

using Pixels = std::vector<unsigned char>;   // RGBA rows from the bottom

Pixels windowPixels() {   // what the window shows (alpha left at 255)
    Pixels rows(640 * 480 * 4, 255);
    XImage *image = XGetImage(x11probe::display(), x11probe::windowOf(KWindow::getWindow()), 0, 0, 640, 480,
                              AllPlanes, ZPixmap);
    for (int i = 0; image && i < 640 * 480; i++) {
        const unsigned long p = XGetPixel(image, i % 640, 479 - i / 640);
        rows[4 * i] = uint8_t(p >> 16), rows[4 * i + 1] = uint8_t(p >> 8), rows[4 * i + 2] = uint8_t(p);
    }
    if (image) XDestroyImage(image);
    return rows;
}

int rightmostChange(const Pixels &a, const Pixels &b) {   // -1: the same
    int right = -1;
    for (size_t i = 0; i < a.size(); i += 4)
        if (std::memcmp(&a[i], &b[i], 3) != 0) right = std::max(right, int(i / 4 % 640));
    return right;
}

// The frame as drawn (until it shows: a late loop leaves at most four in a row undrawn).
Pixels drawnFrame(const std::function<void(bool)> &draw, bool changed, int width) {
    GLint view[4] = {};
    for (int flip = 0, shown = 0; flip < 200 && shown < 5; flip++) {
        draw(changed);
        KWindow::flipBackBuffer(true);
        glGetIntegerv(GL_VIEWPORT, view);
        shown = view[2] == width ? shown + 1 : 0;
    }
    EXPECT_EQ(view[2], width);
    Pixels rendered(size_t(view[2]) * view[3] * 4);
    glReadPixels(0, 0, view[2], view[3], GL_RGBA, GL_UNSIGNED_BYTE, rendered.data());
    return rendered;
}

// The largest difference of a colour channel's mean over 16 x 16 logical tiles: every blit in its place.
int worstTile(const Pixels &oneX, const Pixels &dense, int scale) {
    const auto mean = [](const Pixels &p, int scale, int tx, int ty, int c) {   // of a tile at this scale
        long sum = 0;
        for (int y = ty * scale; y < (ty + 16) * scale; y++)
            for (int x = tx * scale; x < (tx + 16) * scale; x++) sum += p[(size_t(y) * 640 * scale + x) * 4 + c];
        return sum / (256 * scale * scale);
    };
    int worst = 0;
    for (int ty = 0; ty < 480; ty += 16)
        for (int tx = 0; tx < 640; tx += 16)
            for (int c = 0; c < 3; c++)
                worst = std::max(worst, int(std::abs(mean(oneX, 1, tx, ty, c) - mean(dense, scale, tx, ty, c))));
    return worst;
}

// Squared steps between neighbours: denser art keeps an edge sharp, enlarged art spreads it.
double edgeEnergy(const Pixels &p, int width) {
    double sum = 0;
    for (size_t i = 4; i < p.size(); i++)
        if (i / 4 % size_t(width) != 0) sum += double(p[i] - p[i - 4]) * (p[i] - p[i - 4]);
    return sum;
}

// The screen drawn whole at this scale, then changed in places, against the 1x frames.
void expectScaled(const char *screen, const std::array<Pixels, 2> &oneX, int scale,
                  const std::function<void(bool)> &draw) {
    for (bool changed : {false, true})
        EXPECT_LE(worstTile(oneX[changed], drawnFrame(draw, changed, 640 * scale), scale), 12)
            << screen << (changed ? " changed" : "") << " at " << scale << "x";
}

class Menu : public ::testing::Test {
protected:
    GameWindow window;
    KPlatform::Scope platform;
    void SetUp() override {
        inputScript::reset(), spies::reset();
        prefs = sPrefs{};
        gCurrentMenu = 0;
        loadSounds(), loadMenuGraphics(), loadBubbleSet(0);
    }
    void TearDown() override {
        freeMenuGraphics(), freeSounds(), resetScores();
        delete highscoreText, highscoreText = nullptr;   // its texture dies with this window
    }
    // One menu frame as doMenu draws it.
    static int32_t frame(int x, int y, bool down) {
        inputScript::pointAt(x, y);
        inputScript::setButton(down);
        KGraphic::setDefaultWorldView();
        surf_menu->blitRect(0, 0, 640, 480, 0, 0);
        return doUserInput();
    }
    // A menu frame, shown: whether its focus ring was drawn around r.
    static bool focusOn(const layout::Rect &r) {
        frame(600, 470, false);
        const auto &steps = KFrame::recorded();
        const bool drawn = std::any_of(steps.begin(), steps.end(), [&](const KDrawStep &s) {
            return s.kind == KDrawStep::rectangle && s.x1 == r.x1 - 3 && s.x2 == r.x2 + 3 && s.y1 == 480 - (r.y1 - 3);
        });
        KWindow::flipBackBuffer(true);
        return drawn;
    }
};

TEST_F(Menu, ButtonsModesDifficultiesVolumeScoresAndCredits) {
    const int32_t actions[6] = {0, 2, 4, 5, 3, 10};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(frame(int(sBoutons[i].x1 + sBoutons[i].x2) / 2, int(sBoutons[i].y1 + sBoutons[i].y2) / 2, true),
                  actions[i]) << i;
    EXPECT_EQ(spies::plays(snd_click), 1) << "dragged across with the button held: one press";
    using namespace layout;
    const int hard = (DIFF_BOXES[2].x1 + DIFF_BOXES[2].x2) / 2, sliderY = (VOLUME_SLIDER.y1 + VOLUME_SLIDER.y2) / 2;
    const struct {
        int panel, x, y;
        bool down;
        int32_t *field, value, heard;   // heard: the effect volume asked for, -2 unchecked
    } clicks[] = {{0, 300, MODE_ROWS[1].y1 + 10, false, &prefs.gameMode, 0, -2},   // only a held button chooses
                  {0, MODE_ROWS[3].x2, MODE_ROWS[3].y2, true, &prefs.gameMode, 3, -2},   // edges belong to the row
                  {0, hard, DIFF_BOXES[2].y1 + 11, true, &prefs.difficulty, 2, -2},
                  {0, DIFF_BOXES[0].x1, DIFF_BOXES[0].y1, true, &prefs.difficulty, 0, -2},
                  {2, VOLUME_SLIDER.x2 - 1, sliderY, true, &prefs.volume, 116, 99},
                  {2, VOLUME_SLIDER.x1 + 4, sliderY, true, &prefs.volume, 0, 3},
                  {2, VOLUME_SLIDER.x1 + 4, sliderY, false, &prefs.volume, 0, 0},   // the left end snaps to silence
                  {2, 600, 470, false, &prefs.volume, 116, 100}};   // after a stored 500: on the slider
    for (const auto &c : clicks) {
        gCurrentMenu = c.panel;
        if (c.x == 600) prefs.volume = 500;
        frame(c.x, c.y, c.down);
        EXPECT_EQ(*c.field, c.value) << c.x << "," << c.y;
        if (c.heard != -2) { EXPECT_EQ(spies::effectVolume(), c.heard) << c.x << "," << c.y; }
    }
    // The score panel cuts a long name before its score.
    gCurrentMenu = 3;
    for (int32_t tab : {0, 2}) {
        sHighEntry &entry = highScoreTable(prefs.scoretab = tab)->players[0];
        entry.score = tab == 2 ? 35999 : 9999;   // 09:59:59 and four digits
        char text[60] = {};
        formatHighScore(tab, entry.score, text, sizeof text);
        const int scoreLeft = 360 - highscoreText->getStringWidth(text, 0);
        entry.name[0] = '\0';
        frame(600, 470, false);
        const Pixels plain = backBuffer();
        std::strcpy(entry.name, std::string(31, 'w').c_str());
        frame(600, 470, false);
        const int nameRight = rightmostChange(plain, backBuffer());
        EXPECT_LT(nameRight, scoreLeft) << "tab " << tab;
        EXPECT_GT(nameRight, scoreLeft - 20) << "tab " << tab << ": one more letter would have fitted";
        EXPECT_EQ(std::strlen(entry.name), 31u) << "the table keeps the whole name";
    }
    gCurrentMenu = 4;
    frame((CREDITS_WEB.x1 + CREDITS_WEB.x2) / 2, (CREDITS_WEB.y1 + CREDITS_WEB.y2) / 2, true);
    EXPECT_EQ(std::pair(spies::openedUrls().size(), KWindow::isQuit()), std::pair(size_t(1), true)) << "the credits' web link";
}

// A pad plugged in while the menu runs reads as keys.
TEST_F(Menu, APadPluggedInWhileTheMenuRunsChoosesAModeAndIsPulledOut) {
    KPlatform::calls.isPressed = KPlatform::native.isPressed;
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");   // the test's window need not have the focus
    const auto frames = [](int n) {
        for (int i = 0; i < n; i++) frame(600, 470, false), KWindow::flipBackBuffer(true);
    };
    frames(2);
    const int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                                 SDL_CONTROLLER_BUTTON_MAX, 0);
    ASSERT_GE(device, 0) << SDL_GetError();
    SDL_Joystick *pad = SDL_JoystickOpen(device);
    ASSERT_TRUE(waitUntil([&] { return frames(1), KGamepad::count() == 1; }));
    // Held until the menu shows it, let go until the menu sees it up: late frames share one
    // pump, so the pad's own state tells nothing of what the menu saw.
    const auto hold = [&](auto set, int control, int16_t value, EKeyboardLayout key, const std::function<bool()> &done) {
        set(pad, control, value);
        EXPECT_TRUE(waitUntil(done)) << "control " << control;
        set(pad, control, 0);
        waitUntil([&] { return frames(1), !KGamepad::holds(key); });
        frames(1);
    };
    EXPECT_FALSE(focusOn(layout::MODE_ROWS[0])) << "a focus before the pad was used";
    hold(SDL_JoystickSetVirtualButton, SDL_CONTROLLER_BUTTON_DPAD_DOWN, 1, K_VK_DOWN,
         [&] { return focusOn(layout::MODE_ROWS[0]); });   // shows where it starts
    hold(SDL_JoystickSetVirtualAxis, SDL_CONTROLLER_AXIS_LEFTY, 32767, K_VK_DOWN,
         [&] { return focusOn(layout::MODE_ROWS[1]); });
    // A tilt and its return between two frames still step, as a tapped button does.
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, 32767), SDL_PumpEvents();
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, 0), SDL_PumpEvents();
    EXPECT_TRUE(focusOn(layout::MODE_ROWS[2])) << "a short tilt was lost";
    EXPECT_EQ(prefs.gameMode, 0);
    hold(SDL_JoystickSetVirtualButton, SDL_CONTROLLER_BUTTON_A, 1, K_VK_RETURN,
         [&] { return frames(1), prefs.gameMode == 2; });
    EXPECT_EQ(spies::plays(snd_click), 1) << "A clicks once";
    // Pulled out, it leaves the menu running.
    SDL_JoystickClose(pad), SDL_JoystickDetachVirtual(device);
    EXPECT_TRUE(waitUntil([&] { return frames(1), KGamepad::count() == 0; }));
    frames(30);
    EXPECT_FALSE(KWindow::isQuit());
}

// A full-screen switch moves the pointer, not the mouse: the focus stays until the mouse moves.
TEST_F(Menu, TheFocusStaysWhereItWasAcrossAFullScreenSwitch) {
    KPlatform::calls.getMouseX = KPlatform::native.getMouseX;
    KPlatform::calls.getMouseY = KPlatform::native.getMouseY;
    const auto warp = [](int x, int y) {
        XWarpPointer(x11probe::display(), None, x11probe::windowOf(KWindow::getWindow()), 0, 0, 0, 0, x, y);
        XSync(x11probe::display(), False);
    };
    const auto tab = [&](const layout::Rect &to) {
        inputScript::setKey(K_VK_TAB, true);
        const bool there = focusOn(to);
        inputScript::setKey(K_VK_TAB, false);
        return there && focusOn(to);
    };
    warp(300, 200);
    ASSERT_TRUE(waitUntil([&] { return focusOn({}), KInput::getMouseX() == 300 && KInput::getMouseY() == 200; }));
    EXPECT_TRUE(tab(layout::MODE_ROWS[0])) << "the first key shows the focus";
    EXPECT_TRUE(tab(layout::MODE_ROWS[1]));
    for (int trip = 1, row = 1; trip <= 15; trip++)
        for (bool full : {true, false}) {
            const int16_t x = KInput::getMouseX(), y = KInput::getMouseY();
            KWindow::setFullScreen(full);   // waited for until it reaches the pointer's place
            ASSERT_TRUE(waitUntil([&] { return focusOn({}), KInput::getMouseX() != x || KInput::getMouseY() != y; }));
            EXPECT_TRUE(focusOn(layout::MODE_ROWS[row])) << "round trip " << trip << (full ? ", full screen" : "");
            if (trip == 1) { EXPECT_TRUE(tab(layout::MODE_ROWS[++row])) << "keys go on after the switch"; }
        }
    warp(310, 200);
    EXPECT_TRUE(waitUntil([&] { return !focusOn(layout::MODE_ROWS[3]); })) << "the mouse moved: no focus";
}

// Each screen drawn straight to GL and through the frame record shows the same pixels; drawn
// again unchanged, it is neither drawn (a marker on the drawing surface stays) nor shown.
TEST_F(Menu, RecordedScreensShowAsDrawnAndAnUnchangedOneIsSkipped) {
    auto check = [](const char *screen, const std::function<void(bool)> &draw) {
        std::array<Pixels, 2> direct;
        KFrame::setRecording(false);
        for (int changed = 0; changed < 2; changed++) {
            draw(changed);
            direct[changed] = backBuffer();
        }
        KFrame::setRecording(true);
        for (int frame = 0; frame < 3; frame++) {   // the first, a changed one, the changed one again
            if (frame == 2) clearBack({255, 0, 255});
            drawnFrame(draw, frame > 0, 640);
            glFinish();
            EXPECT_TRUE(waitUntil([&] { return rightmostChange(direct[frame > 0], windowPixels()) < 0; }))
                << screen << " frame " << frame;
        }
        EXPECT_EQ(backBuffer()[4 * (240 * 640 + 320) + 1], 0) << screen << ": the magenta marker stays";
        return direct;
    };
    gCurrentMenu = 2;
    auto menu = [](bool changed) { frame(changed ? 450 : 600, changed ? 205 : 470, false); };   // a button lit
    const auto menuFrames = check("menu", menu);
    // Back from a game, the spin ends on the menu as it is drawn (its button lit), not on its bare picture.
    Pixels spinEnd;
    inputScript::onFlip([&] { spinEnd = backBuffer(); });
    KGraphic::drawRect(0, 0, 640, 480, 0, 0, 0, 1);   // the game's last frame, as far as the spin knows
    ScrollTheMenu();
    inputScript::onFlip(nullptr);
    ASSERT_EQ(spinEnd.size(), menuFrames[1].size()) << "the spin showed no frame";
    EXPECT_LT(rightmostChange(spinEnd, menuFrames[1]), 0);

    // As before a transition: the frame is still pending when its pictures are freed.
    menu(false);
    freeMenuGraphics();
    loadMenuGraphics();
    KGraphic grab;
    grab.grabBackBuffer();
    KFrame::setRecording(false);
    grab.blitRect(0, 0, 640, 480, 0, 0);
    EXPECT_LT(rightmostChange(backBuffer(), menuFrames[0]), 0);
    auto transition = [&](bool changed) {
        const float f = changed ? 0.3f : 0.25f;
        KGraphic::setWorldView(0, 0, 0, 1, true);
        grab.blitAlphaRectFx(0, 0, 640, 480, 0, 0, (1 - f) * 360, 1 - f, 1 - f);
        surf_menu->blitAlphaRectFx(0, 0, 640, 480, 0, 0, f * 360, f, f);
    };
    const auto transitionFrames = check("transition step", transition);

    loadSession(modeFiveMinutes);
    for (long cell = 0; cell < boardCells; cell++)
        tokenTable[cell] = {int16_t(cell % 5), 0, 0, 0, 0, 0, 0, 1, 0, true, false, false, 0, 0, int32_t(cell % 7)};
    _gameMode = modeFiveMinutes, _realScore = 5000, gameOverFade = 1;
    gameOver = true, ghighscoreProcessed = false;
    std::strcpy(buffer, "brolix");
    auto entry = [](bool changed) {
        tokenAt(3, 1).selected = !changed;   // the selection moves on, a clearing token fades on
        tokenAt(4, 1).selected = changed;
        tokenAt(5, 2).fade = changed ? 0.4f : 0.5f;
        KGraphic::setDefaultWorldView();
        surf_fond->blitRect(0, 0, 640, 480, 0, 0);
        displayTokens();
        displayGameMode(modeSixtySeconds);
        blinker = changed ? 40 : 10;   // the text cursor shows, or not
        displayGameOver();
    };
    const auto entryFrames = check("board with marks under the name entry", entry);

    // At 2x, 3x and 4x from the art of that scale, sharper than the art before it enlarged.
    for (int scale : {2, 3, 4}) {
        SDL_SetWindowSize(KWindow::getWindow(), 640 * scale, 480 * scale);
        const Pixels softMenu = drawnFrame(menu, false, 640 * scale), softEntry = drawnFrame(entry, false, 640 * scale);
        freeMenuGraphics(), delete highscoreText, highscoreText = nullptr;
        loadMenuGraphics(), endSession();
        loadSession(modeFiveMinutes);
        const double menuGain = edgeEnergy(drawnFrame(menu, false, 640 * scale), 640 * scale) / edgeEnergy(softMenu, 640 * scale);
        const double boardGain = edgeEnergy(drawnFrame(entry, false, 640 * scale), 640 * scale) / edgeEnergy(softEntry, 640 * scale);
        std::printf("detail at %dx over the art before: menu %.2f, board %.2f\n", scale, menuGain, boardGain);
        EXPECT_GT(std::min(menuGain, boardGain), 1.5) << "at " << scale << "x";
        expectScaled("menu", menuFrames, scale, menu);
        menu(false);
        grab.freePicture();
        grab.grabBackBuffer();
        KFrame::drop();
        expectScaled("transition", transitionFrames, scale, transition);
        expectScaled("name entry", entryFrames, scale, entry);
    }
    gameOver = false;
    endSession();
}

}  // namespace
