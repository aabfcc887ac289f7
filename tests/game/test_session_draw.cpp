// What the player sees of a game, read back from the frame before it is shown.
#include <gtest/gtest.h>
#include <cmath>
#include <cstdlib>
#include <string>
#include "game.h"
#include "gemsets.h"
#include "gl_test_window.h"
#include "input_script.h"
#include "picture_files.h"
#include "session_local.h"
#include "sounds.h"
#include "KGraphic.h"
#include "KMiscTools.h"
#include "KText.h"

namespace {

using gltest::Rgb;

const std::string dataDir = std::string(BROLIX_RUNTIME_DIR) + "/data/";

const Rgb black{0, 0, 0};
const Rgb gemColours[7] = {{200, 0, 0}, {0, 200, 0}, {0, 0, 200}, {200, 200, 0},
                           {200, 0, 200}, {0, 200, 200}, {120, 60, 30}};
const Rgb frameColour{255, 255, 255};
const Rgb markColour{200, 200, 200};

bool near(const Rgb &a, const Rgb &b, int tolerance = 6) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

Rgb mix(const Rgb &over, const Rgb &under, float alpha) {
    auto channel = [alpha](int o, int u) { return uint8_t(std::lround(o * alpha + u * (1 - alpha))); };
    return {channel(over.r, under.r), channel(over.g, under.g), channel(over.b, under.b)};
}

int boardX(long x) { return int(boardLeft + cellPitch * x); }
int boardY(long y) { return int(boardTop + cellPitch * y); }

class SessionDraw : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(gltest::openWindow()); }

    void SetUp() override {
        inputScript::reset();
        for (int c = 0; c < 7; c++) replace(gems[c], solid("gem" + std::to_string(c), 40, 40, gemColours[c]));
        replace(surf_select, solid("select", 44, 44, frameColour));
        for (KGraphic **mark : {&surf_bomb, &surf_horiz, &surf_verti, &surf_rand, &surf_xzap})
            replace(*mark, solid("mark", 20, 20, markColour));
        for (sToken &t : tokenTable) t = sToken{};
        KGraphic::setDefaultWorldView();
        gltest::clearBack(0, 0, 0);
    }

    void TearDown() override {
        for (KGraphic **p : {&surf_select, &surf_bomb, &surf_horiz, &surf_verti, &surf_rand, &surf_xzap, &surf_fond})
            replace(*p, nullptr);
        for (KText **t : {&text_numbers, &text_scorenumbers}) {
            delete *t;
            *t = nullptr;
        }
    }

    static void replace(KGraphic *&slot, KGraphic *picture) {
        delete slot;
        slot = picture;
    }

    KGraphic *solid(const std::string &name, uint16_t w, uint16_t h, const Rgb &c) {
        std::vector<unsigned char> pixels;
        for (int i = 0; i < w * h; i++) pixels.insert(pixels.end(), {c.b, c.g, c.r, 255});
        std::string path = folder.file(name + ".tga");
        picfiles::writeFile(path, picfiles::tgaBytes(w, h, 32, pixels));
        return load(path);
    }

    static KGraphic *load(const std::string &path) {
        KGraphic *picture = new KGraphic;
        EXPECT_TRUE(picture->loadPicture(path.c_str(), true, false, true)) << path;
        return picture;
    }

    static sToken &place(long x, long y, int colour) {
        sToken &t = tokenAt(x, y);
        t.alive = true;
        t.color = int16_t(colour);
        t.fade = 1;
        return t;
    }

    picfiles::TempDir folder;
};

TEST_F(SessionDraw, EveryTokenSitsInItsCell) {
    for (long x = 0; x < boardColumns; x++)
        for (long y = 0; y < boardRows; y++) place(x, y, int((x + 2 * y) % 7));
    displayTokens();
    for (long x = 0; x < boardColumns; x++)
        for (long y = 0; y < boardRows; y++) {
            const Rgb expected = gemColours[(x + 2 * y) % 7];
            EXPECT_EQ(gltest::backPixel(boardX(x), boardY(y)), expected) << x << "," << y;
            EXPECT_EQ(gltest::backPixel(boardX(x) + 39, boardY(y) + 39), expected) << x << "," << y;
            EXPECT_EQ(gltest::backPixel(boardX(x) + 40, boardY(y) + 20), black) << "gap right of " << x << "," << y;
            EXPECT_EQ(gltest::backPixel(boardX(x) + 20, boardY(y) + 41), black) << "gap below " << x << "," << y;
        }
}

TEST_F(SessionDraw, DeadCellsDrawNothingAndFallingTokensDrawLower) {
    place(3, 2, 1).alive = false;
    place(4, 2, 2).fally = 17.6f;
    displayTokens();
    EXPECT_EQ(gltest::backPixel(boardX(3) + 20, boardY(2) + 20), black);
    EXPECT_EQ(gltest::backPixel(boardX(4) + 20, boardY(2) + 16), black);
    EXPECT_EQ(gltest::backPixel(boardX(4) + 20, boardY(2) + 17), gemColours[2]) << "the offset is truncated";
    EXPECT_EQ(gltest::backPixel(boardX(4) + 20, boardY(2) + 56), gemColours[2]);
}

TEST_F(SessionDraw, TheSelectionFrameLiesUnderTheGem) {
    place(5, 3, 4).selected = true;
    displayTokens();
    int px = boardX(5), py = boardY(3);
    EXPECT_EQ(gltest::backPixel(px - 1, py - 1), frameColour);
    EXPECT_EQ(gltest::backPixel(px + 42, py + 42), frameColour);
    EXPECT_EQ(gltest::backPixel(px + 40, py + 20), frameColour);
    EXPECT_EQ(gltest::backPixel(px - 2, py - 2), black);
    EXPECT_EQ(gltest::backPixel(px + 43, py + 43), black);
    EXPECT_EQ(gltest::backPixel(px, py), gemColours[4]);
    EXPECT_EQ(gltest::backPixel(px + 39, py + 39), gemColours[4]);
}

TEST_F(SessionDraw, AClearingTokenShrinksAndFadesWhileItsMarkGrows) {
    sToken &t = place(6, 4, 1);
    t.fade = 0.5f;
    t.fadeSpeed = -0.025f;
    t.bonusType = bonusBomb;
    displayTokens();
    int px = boardX(6), py = boardY(4);
    const Rgb halfGem = mix(gemColours[1], black, 0.5f);
    // Gem: half size about its centre, half opacity. Mark: 1.5 times its size, quarter opacity.
    EXPECT_TRUE(near(gltest::backPixel(px + 20, py + 20), mix(markColour, halfGem, 0.25f)));
    EXPECT_TRUE(near(gltest::backPixel(px + 3, py + 3), mix(markColour, black, 0.25f)))
        << gltest::backPixel(px + 3, py + 3);
    EXPECT_TRUE(near(gltest::backPixel(px + 20, py + 33), black)) << gltest::backPixel(px + 20, py + 33);
    EXPECT_TRUE(near(gltest::backPixel(px + 35, py + 20), black)) << "a full-size gem would reach here";
    EXPECT_TRUE(near(gltest::backPixel(px, py), black)) << "the mark stays within 1.5 times its size";
}

TEST_F(SessionDraw, ASteadyMarkIsHalfSeenAtItsSize) {
    place(2, 2, 3).bonusType = bonusRow;
    place(4, 2, 3).bonusType = bonusQuestion;
    place(6, 2, 3).bonusType = bonusBlank;
    displayTokens();
    const Rgb gem = gemColours[3], marked = mix(markColour, gemColours[3], 0.5f);
    // Row mark at (6, 7) from the gem's corner, question mark at (6, 5).
    EXPECT_TRUE(near(gltest::backPixel(boardX(2) + 6, boardY(2) + 7), marked));
    EXPECT_EQ(gltest::backPixel(boardX(2) + 5, boardY(2) + 7), gem);
    EXPECT_EQ(gltest::backPixel(boardX(2) + 6, boardY(2) + 6), gem);
    EXPECT_TRUE(near(gltest::backPixel(boardX(2) + 25, boardY(2) + 26), marked));
    EXPECT_EQ(gltest::backPixel(boardX(2) + 26, boardY(2) + 26), gem);
    EXPECT_TRUE(near(gltest::backPixel(boardX(4) + 6, boardY(4 - 2) + 5), marked));
    EXPECT_EQ(gltest::backPixel(boardX(6) + 15, boardY(2) + 15), gem) << "a blank mark is not drawn";
}

TEST_F(SessionDraw, TheQuestionMarkKeepsItsSizeWhileClearing) {
    sToken &t = place(6, 4, 1);
    t.fade = 0.5f;
    t.bonusType = bonusQuestion;
    displayTokens();
    int px = boardX(6), py = boardY(4);
    EXPECT_TRUE(near(gltest::backPixel(px + 6, py + 5), mix(markColour, black, 0.25f)));
    EXPECT_TRUE(near(gltest::backPixel(px + 3, py + 3), black));
}

TEST_F(SessionDraw, AHintedTokenPulsesAboveItsSize) {
    place(7, 5, 5).sinus = float(M_PI / 2);
    displayTokens();
    int px = boardX(7), py = boardY(5);
    EXPECT_EQ(gltest::backPixel(px - 2, py + 20), gemColours[5]) << "7/6 of its size";
    EXPECT_EQ(gltest::backPixel(px - 5, py + 20), black);
}

// The glyphs expected at one place, drawn from the font picture.
struct Glyph {
    float x1, y1, x2, y2;
    int x;
};

std::vector<Rgb> drawnGlyphs(const std::string &font, const std::vector<Glyph> &glyphs, int y, int fromX, int width,
                             int height) {
    KGraphic picture;
    picture.loadPicture((dataDir + font).c_str(), true, false, true);
    gltest::clearBack(0, 0, 0);
    for (const Glyph &g : glyphs) picture.blitAlphaRect(g.x1, g.y1, g.x2, g.y2, int16_t(g.x), int16_t(y));
    return gltest::backRegion(fromX, y, width, height);
}

bool anyLit(const std::vector<Rgb> &pixels) {
    for (const Rgb &p : pixels)
        if (p != black) return true;
    return false;
}

TEST_F(SessionDraw, ScoreDigitsStartAtTheirPlace) {
    text_scorenumbers = new KText((dataDir + "numbers.tga").c_str(), scoretableNumbers);
    score = 1907;
    displayScore();
    std::vector<Rgb> shown = gltest::backRegion(430, 442, 200, 25);
    std::vector<Rgb> expected = drawnGlyphs(
        "numbers.tga", {{0, 0, 11, 25, 435}, {143, 0, 162, 25, 446}, {162, 0, 183, 25, 465}, {106, 0, 123, 25, 486}},
        442, 430, 200, 25);
    EXPECT_TRUE(anyLit(expected));
    EXPECT_TRUE(shown == expected);
}

TEST_F(SessionDraw, TimerDigitsStartAtTheirPlace) {
    text_numbers = new KText((dataDir + "timenmb.tga").c_str(), tableNumbers);
    struct Case {
        int32_t seconds;
        std::vector<Glyph> glyphs;
    };
    const Glyph colon{73, 25, 82, 40, 0};
    const Case cases[] = {
        {12 * 60 + 34, {{21, 6, 28, 22, 560}, {30, 6, 43, 22, 567}, {colon.x1, colon.y1, colon.x2, colon.y2, 580},
                        {45, 6, 59, 22, 589}, {58, 6, 71, 22, 603}}},
        {5 * 60 + 7, {{3, 6, 18, 22, 560}, {4, 25, 16, 40, 575}, {colon.x1, colon.y1, colon.x2, colon.y2, 587},
                      {3, 6, 18, 22, 596}, {33, 25, 43, 40, 611}}},
    };
    resetTimer(modeMillion);
    for (const Case &c : cases) {
        gltest::clearBack(0, 0, 0);
        gameTimer = c.seconds;
        ShowTimer(modeMillion, false);
        std::vector<Rgb> shown = gltest::backRegion(555, 37, 80, 16);
        std::vector<Rgb> expected = drawnGlyphs("timenmb.tga", c.glyphs, 37, 555, 80, 16);
        EXPECT_TRUE(anyLit(expected));
        EXPECT_TRUE(shown == expected) << c.seconds << " seconds";
    }
}

TEST_F(SessionDraw, EachModeShowsItsLabel) {
    surf_fond = load(dataDir + "ingame0.tga");
    const Glyph labels[4] = {{675, 20, 713, 36, 25}, {716, 20, 776, 36, 20}, {776, 20, 833, 36, 20},
                             {833, 20, 883, 36, 20}};
    for (long mode = 0; mode < 4; mode++) {
        gltest::clearBack(0, 0, 0);
        displayGameMode(mode);
        std::vector<Rgb> shown = gltest::backRegion(0, 30, 120, 30);
        gltest::clearBack(0, 0, 0);
        const Glyph &l = labels[mode];
        surf_fond->blitAlphaRect(l.x1, l.y1, l.x2, l.y2, int16_t(l.x), 37);
        std::vector<Rgb> expected = gltest::backRegion(0, 30, 120, 30);
        EXPECT_TRUE(anyLit(expected)) << mode;
        EXPECT_TRUE(shown == expected) << "mode " << mode;
    }
}

TEST_F(SessionDraw, AButtonLightsUnderThePointer) {
    surf_fond = load(dataDir + "ingame0.tga");
    for (sHotSpot &spot : hotspots) spot.surface = surf_fond;
    for (const sHotSpot &spot : hotspots) {
        int w = spot.x2 - spot.x1, h = spot.y2 - spot.y1;
        surf_fond->blitRect(0, 0, 640, 480, 0, 0);
        std::vector<Rgb> unlit = gltest::backRegion(spot.x1, spot.y1, w, h);
        inputScript::pointAt((spot.x1 + spot.x2) / 2, (spot.y1 + spot.y2) / 2);
        handleInterface();
        std::vector<Rgb> shown = gltest::backRegion(spot.x1, spot.y1, w, h);
        surf_fond->blitRect(float(spot.x1), float(spot.y1 + 480), float(spot.x2), float(spot.y2 + 480),
                            int16_t(spot.x1), int16_t(spot.y1));
        EXPECT_TRUE(shown == gltest::backRegion(spot.x1, spot.y1, w, h)) << "button " << spot.id;
        EXPECT_FALSE(shown == unlit) << "button " << spot.id << " has a lit picture";
    }
    // Between the buttons nothing lights.
    surf_fond->blitRect(0, 0, 640, 480, 0, 0);
    std::vector<Rgb> before = gltest::backRegion(60, 430, 280, 40);
    inputScript::pointAt(185, 450);
    handleInterface();
    EXPECT_TRUE(before == gltest::backRegion(60, 430, 280, 40));
    for (sHotSpot &spot : hotspots) spot.surface = nullptr;
}

TEST_F(SessionDraw, TheZapLabelShowsOverTheBoardCentre) {
    surf_fond = load(dataDir + "ingame0.tga");
    startZapAttack();
    for (int frame = 0; frame < 100; frame++) AnimateZapAttack();
    gltest::clearBack(0, 0, 0);
    AnimateZapAttack();
    EXPECT_TRUE(anyLit(gltest::backRegion(300, 210, 40, 25)));
    clearZapAttack();
    gltest::clearBack(0, 0, 0);
    AnimateZapAttack();
    EXPECT_FALSE(anyLit(gltest::backRegion(0, 0, 640, 480)));
}

// A whole session on the built data folder: P shows the pause panel over the board.
TEST_F(SessionDraw, PauseCoversTheBoardWithItsPanel) {
    std::snprintf(KMiscTools::currentFilePath, sizeof KMiscTools::currentFilePath, "%s", BROLIX_RUNTIME_DIR);
    setenv("ALSOFT_DRIVERS", "null", 1);  // a sound device that plays into nothing
    loadSounds();
    const int pauseAt = 41 + 5;
    int flips = 0;
    std::vector<Rgb> boardShown, pauseShown, panel;
    inputScript::onFlip([&] {
        flips++;
        if (flips == pauseAt - 1) boardShown = gltest::backRegion(69, 88, 502, 334);
        if (flips == pauseAt - 1) inputScript::setKey(K_VK_P, true);
        if (flips == pauseAt + 2) {
            pauseShown = gltest::backRegion(69, 88, 502, 334);
            gltest::clearBack(0, 0, 0);
            surf_fond->blitRect(69, 498, 571, 832, 69, 88);
            panel = gltest::backRegion(69, 88, 502, 334);
            inputScript::setKey(K_VK_P, true);
        }
        if (flips == pauseAt + 5) inputScript::setKey(K_VK_ESCAPE, true);
        if (flips > 500) inputScript::setKey(K_VK_ESCAPE, true);
    });
    doTheGame(modeSixtySeconds);
    inputScript::onFlip(nullptr);
    freeSounds();

    EXPECT_LT(flips, 60);
    EXPECT_EQ(inputScript::keyWaits(K_VK_P), 2);
    ASSERT_FALSE(panel.empty());
    EXPECT_TRUE(anyLit(panel));
    EXPECT_TRUE(pauseShown == panel);
    EXPECT_FALSE(boardShown == panel);
    EXPECT_EQ(surf_fond, nullptr);
    EXPECT_EQ(surf_select, nullptr);
}

}  // namespace
