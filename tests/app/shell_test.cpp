// Start-up pieces in a real window: the driver page's choices, the loading
// picture in both buffers, and the shutdown order's results.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "../frontend/game_window.h"
#include "../frontend/spies.h"
#include "../game/input_script.h"
#include "temp_home.h"
#include "cursor.h"
#include "gemsets.h"
#include "highscores.h"
#include "makers.h"
#include "menu.h"
#include "prefs.h"
#include "shell.h"
#include "sounds.h"
#include "KFrame.h"
#include "KGraphic.h"
#include "KWindow.h"

namespace {

class DriverPage : public ::testing::Test {
protected:
    GameWindow window;
    void SetUp() override {
        inputScript::reset();
        spies::reset();
    }

    static bool clickAt(int x, int y) {
        inputScript::pointAt(x, y);
        inputScript::setButton(true);
        return NoAcceleration();
    }
};

TEST_F(DriverPage, ContinueAndEveryOtherPlaceGoOnWithoutOpeningAnything) {
    const int places[][2] = {{400, 420}, {334, 362}, {459, 479}, {100, 100}, {480, 420}, {639, 420}, {570, 361}};
    for (const auto &p : places) {
        EXPECT_FALSE(clickAt(p[0], p[1])) << p[0] << "," << p[1];
        EXPECT_TRUE(spies::openedUrls().empty()) << p[0] << "," << p[1];
    }
}

TEST_F(DriverPage, DownloadOpensTheDriverPageAndEndsTheProgram) {
    // Without a page of the makers', the one shipped with the help: no server needed.
    const std::string page = *BROLIX_DRIVER_PAGE ? BROLIX_DRIVER_PAGE : BROLIX_RUNTIME_DIR "/data/help/driver.html";
    for (const auto &p : {std::make_pair(570, 420), std::make_pair(504, 362), std::make_pair(638, 479)}) {
        spies::reset();
        EXPECT_TRUE(clickAt(p.first, p.second)) << p.first << "," << p.second;
        ASSERT_EQ(spies::openedUrls().size(), 1u);
        EXPECT_EQ(spies::openedUrls()[0], page);
    }
    EXPECT_TRUE(*BROLIX_DRIVER_PAGE || std::ifstream(page).good()) << page;
}

TEST_F(DriverPage, ButtonIsReadBeforeAnyEventIsTaken) {
    EXPECT_FALSE(clickAt(400, 420));
    EXPECT_EQ(inputScript::buttonReads(), 1);
}

TEST_F(DriverPage, ClosingTheWindowEndsTheWaitAndThePointerStillDecides) {
    KWindow::terminate();
    inputScript::pointAt(100, 100);
    EXPECT_FALSE(NoAcceleration());
    EXPECT_TRUE(spies::openedUrls().empty());
    inputScript::pointAt(570, 420);
    EXPECT_TRUE(NoAcceleration());
    EXPECT_EQ(spies::openedUrls().size(), 1u);
}

// Back-buffer pixel (logical coordinates, y down), read just before a flip.
struct Pixel {
    int r, g, b;
};
Pixel backBufferPixel(int x, int y) {
    unsigned char rgba[4] = {};
    KFrame::drawPending();
    glReadBuffer(GL_BACK);
    glReadPixels(x, 479 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return {rgba[0], rgba[1], rgba[2]};
}

Pixel picturePixel(SDL_Surface *picture, int x, int y) {
    Uint8 r, g, b;
    const Uint8 *row = static_cast<const Uint8 *>(picture->pixels) + y * picture->pitch;
    Uint32 value = 0;
    std::memcpy(&value, row + x * picture->format->BytesPerPixel, picture->format->BytesPerPixel);
    SDL_GetRGB(value, picture->format, &r, &g, &b);
    return {r, g, b};
}

TEST(LoadingScreen, PictureIsCentredInBothBuffersOverACleanScreen) {
    GameWindow window;
    inputScript::reset();
    SDL_Surface *picture = SDL_LoadBMP((std::string(BROLIX_RUNTIME_DIR) + "/data/loading.bmp").c_str());
    ASSERT_NE(picture, nullptr);
    const int left = (640 - picture->w) / 2, top = (480 - picture->h) / 2;
    struct Probe {
        int x, y;
    };
    const Probe probes[] = {{picture->w / 2, picture->h / 2}, {5, 5}, {picture->w - 6, picture->h - 6},
                            {picture->w / 3, picture->h * 2 / 3}};
    int flips = 0, matching = 0, cleared = 0;
    inputScript::onFlip([&] {
        flips++;
        for (const Probe &p : probes) {
            Pixel want = picturePixel(picture, p.x, p.y), got = backBufferPixel(left + p.x, top + p.y);
            matching += std::abs(want.r - got.r) <= 8 && std::abs(want.g - got.g) <= 8 && std::abs(want.b - got.b) <= 8;
        }
        if (left > 0) {
            Pixel corner = backBufferPixel(0, 0);
            cleared += corner.r + corner.g + corner.b == 0;
        }
    });
    showLoadingScreen();
    inputScript::reset();
    SDL_FreeSurface(picture);
    EXPECT_EQ(flips, 2);
    EXPECT_EQ(matching, 2 * 4);
    if (left > 0) {
        EXPECT_EQ(cleared, 2);
    }
}

TEST(ShutDown, FreesEverythingAndSavesScoresAndPreferences) {
    setenv("ALSOFT_DRIVERS", "null", 1);
    fenetre = new KWindow;
    fenetre->createGameWindow(640, 480, 16, true, "Brolix test");
    GameWindow::useGameFolder();
    loadMenuGraphics();
    freeMenuGraphics();
    ASSERT_TRUE(loadBubbleSet(0));
    surf_mouse = new KGraphic;
    loadSounds();
    TempHome home;   // files go here from now on
    prefs = sPrefs{};
    prefs.gameMode = 2;
    scoreRelax.players[0].score = 4242;

    shutDown();
    EXPECT_EQ(highscoreText, nullptr);
    for (KGraphic *gem : gems) EXPECT_EQ(gem, nullptr);
    EXPECT_EQ(snd_click, nullptr);
    EXPECT_EQ(snd_zapattack, nullptr);
    EXPECT_EQ(surf_mouse, nullptr);
    EXPECT_EQ(fenetre, nullptr);
    EXPECT_TRUE(KWindow::isQuit());
    const auto stored = home.read("prefs.raw");
    ASSERT_EQ(stored.size(), 20u);
    EXPECT_EQ(stored[4], 2);
    for (const char *file : {"data/s60", "data/s5mn", "data/smil", "data/srelx"})
        EXPECT_EQ(home.read(file).size(), 324u) << file;
    const auto relax = home.read("data/srelx");
    EXPECT_EQ(relax[32] | relax[33] << 8, 4242);
    resetScores();
}

TEST(ShutDown, SkipsGemSlotsThatWereNeverFilled) {
    fenetre = new KWindow;
    TempHome home;
    for (KGraphic *&gem : gems) gem = nullptr;
    shutDown();
    EXPECT_EQ(fenetre, nullptr);
    EXPECT_EQ(home.read("prefs.raw").size(), 20u);
}

}  // namespace
