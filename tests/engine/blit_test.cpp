// Pictures, blits, rectangles and text drawn into a real window under Xvfb and read back.
#include <gtest/gtest.h>

#include "KGraphic.h"
#include "KMiscTools.h"
#include "KText.h"
#include "game_home.h"
#include "gl_window.h"

namespace {

const Rgb kBackground = {5, 10, 15};

// Every pixel of the test picture tells where it came from.
Rgb pattern(int x, int y) { return {x % 251, y % 241, 100 + x / 251 + 3 * (y / 241)}; }

// The pattern as an upright TGA; with alpha >= 0 a 32-bit one, every pixel that opaque.
std::string patternTga(int w, int h, int alpha = -1) {
    std::string pixels;
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x) {
            const Rgb c = pattern(x, y);
            pixels += {char(c.b), char(c.g), char(c.r)};
            if (alpha >= 0)
                pixels += char(alpha);
        }
    return tgaBytes(uint16_t(w), uint16_t(h), alpha >= 0 ? 32 : 24, pixels);
}

Rgb blend(const Rgb &src, const Rgb &dst, float a) {
    auto mix = [a](int s, int d) { return int(s * a + d * (1 - a) + 0.5f); };
    return {mix(src.r, dst.r), mix(src.g, dst.g), mix(src.b, dst.b)};
}

class Blit : public ::testing::Test {
protected:
    BoxRecorder boxes;
    void SetUp() override {
        ASSERT_TRUE(openWindow());
        KGraphic::setDefaultWorldView();
        clearBack(kBackground);
    }
    void load(KGraphic &g, const std::string &bytes, const std::string &name = "p.tga") {
        dir.write(name, bytes);
        ASSERT_TRUE(g.loadPicture(dir.path(name).c_str(), true, false, true)) << name;
    }
    size_t backgroundMisses(int x0, int y0, int w, int h) {
        return misses(x0, y0, w, h, [](int, int) { return kBackground; });
    }
    TempDir dir;
};

TEST_F(Blit, PicturesOfEveryFormatAndGlyphsLandUprightOnExactPixelsAndNoneBeyondTheDriverLimit) {
    KGraphic g;
    load(g, patternTga(64, 80));
    for (int flips = 0; flips < 4; ++flips) {
        const bool fx = flips & 1, fy = flips & 2;
        SCOPED_TRACE("flipX " + std::to_string(fx) + " flipY " + std::to_string(fy));
        clearBack(kBackground);
        g.blitRect(10, 20, 55, 65, 100, 200, fx, fy);
        EXPECT_EQ(misses(99, 199, 47, 47, [&](int x, int y) {  // with a one-pixel border left alone
                      if (x < 100 || x > 144 || y < 200 || y > 244) return kBackground;
                      return pattern(fx ? 154 - x : x - 90, fy ? 264 - y : y - 180);
                  }), 0u);
    }
    clearBack(kBackground);
    KGraphic::setWorldView(0, 100, 0, 1, false);  // positive y moves everything up
    g.blitRect(0, 0, 20, 20, 50, 200);
    KGraphic::setDefaultWorldView();
    EXPECT_EQ(misses(50, 100, 20, 20, [](int x, int y) { return pattern(x - 50, y - 100); }), 0u);

    std::filesystem::create_directory(dir.path("x.tga.d"));  // ".tga" in a folder's name makes no TGA
    ASSERT_TRUE(convert("-size 16x16 xc:red " + dir.path("x.tga.d/p.bmp")));
    KGraphic decoded;
    EXPECT_TRUE(decoded.loadPicture(dir.path("x.tga.d/p.bmp").c_str(), true, false, true));
    // Magenta top-left corner of a 3 x 2 picture: keyed out, the rest stays.
    const std::string magenta("\xFF\0\xFF", 3), red("\0\0\xFF", 3);
    KGraphic keyed;
    keyed.setColorKey(true, 255, 0, 255);
    load(keyed, tgaBytes(3, 2, 24, red + red + red + magenta + red + red));
    keyed.blitAlphaRect(0, 0, 3, 2, 20, 20);
    EXPECT_EQ(misses(20, 20, 3, 2, [](int x, int y) { return x + y == 40 ? kBackground : Rgb{255, 0, 0}; }), 0u);
    GLint limit = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
    ASSERT_GE(limit, 8192);
    const uint16_t width = uint16_t(limit + 1);  // one pixel wider than any texture
    dir.write("wide.tga", tgaBytes(width, 1, 24, std::string(width * 3u, '\x09')));
    shownBoxes().clear();
    EXPECT_FALSE(keyed.loadPicture(dir.path("wide.tga").c_str(), true, false, true));
    EXPECT_EQ(shownBoxes(), (Boxes{{"Picture too large", dir.path("wide.tga")}}));
    EXPECT_EQ(keyed.getWidth(), 3);  // the picture already held stays

    clearBack(kBackground);
    // Font picture 64 x 16: '1' red in x 0..9, '2' green in x 10..59, a transparent strip in x 60..63.
    ASSERT_TRUE(convert("-size 64x16 xc:none -fill red -draw 'rectangle 0,0 9,15' -fill lime -draw 'rectangle 10,0 59,15' "
                        "PNG32:" + dir.path("font.png")));
    KFont table[] = {{'1', 0, 0, 10, 16, 10, 16}, {'2', 10, 0, 22, 16, 12, 16}, {'g', 60, 0, 64, 16, 4, 16}, {}};
    KText text(dir.path("font.png").c_str(), table);
    text.drawStringFromLeft("1g2", 50, 100, 2);  // '1' at 50..59, the see-through 'g' at 62..65, '2' at 68..79
    EXPECT_EQ(misses(40, 99, 50, 18, [](int x, int y) {
                  if (y < 100 || y > 115) return kBackground;
                  return x >= 50 && x < 60 ? Rgb{255, 0, 0} : x >= 68 && x < 80 ? Rgb{0, 255, 0} : kBackground;
              }), 0u);
    shownBoxes().clear();
    KText none(dir.path("nofont.tga").c_str(), table);  // a missing font picture draws nothing
    EXPECT_EQ(shownBoxes().front(), Boxes::value_type("Could not open file", dir.path("nofont.tga")));
    none.drawStringFromLeft("12", 50, 200, 2);
    EXPECT_EQ(backgroundMisses(40, 190, 60, 30), 0u);
}

TEST_F(Blit, AlphaAdditiveFadedZoomedTurnedBlitsAndRectangles) {
    KGraphic clear, half, solid;
    load(clear, patternTga(40, 40, 0), "clear.tga");
    load(half, patternTga(40, 40, 128), "half.tga");
    load(solid, patternTga(40, 40), "solid.tga");
    auto shown = [](int x0, int y0, float a) {
        return [=](int x, int y) { return blend(pattern(x - x0, y - y0), kBackground, a); };
    };
    clear.blitRect(0, 0, 40, 40, 10, 10);  // an opaque blit ignores alpha
    EXPECT_EQ(misses(10, 10, 40, 40, shown(10, 10, 1)), 0u);
    half.blitAlphaRect(0, 0, 40, 40, 110, 10);
    EXPECT_EQ(misses(110, 10, 40, 40, shown(110, 10, 128 / 255.f), 1), 0u);
    solid.blitAlphaRectFx(0, 0, 40, 40, 160, 10, 0, 1, 0.5f);
    EXPECT_EQ(misses(160, 10, 40, 40, shown(160, 10, 0.5f), 1), 0u);
    half.setAlphaMode(false);  // additive: weighted colour added onto what is there
    half.blitAlphaRect(0, 0, 40, 40, 210, 10);
    const Rgb add = pattern(20, 20), got = backPixel(230, 30);
    EXPECT_TRUE(got.near({kBackground.r + add.r / 2, kBackground.g + add.g / 2, kBackground.b + add.b / 2}, 1)) << got;
    // Zoom 2 about the centre: 300..339 x 200..239 becomes 280..359 x 180..259 in 2 x 2 blocks.
    solid.blitAlphaRectFx(0, 0, 40, 40, 300, 200, 0, 2, 1);
    EXPECT_EQ(misses(280, 180, 80, 80, [](int x, int y) { return pattern((x - 280) / 2, (y - 180) / 2); }), 0u);
    EXPECT_EQ(backgroundMisses(279, 180, 1, 80) + backgroundMisses(360, 180, 1, 80), 0u);
    // A quarter turn counter-clockwise: the top-left corner goes to the bottom-left.
    solid.blitAlphaRectFx(0, 0, 40, 40, 400, 300, 90, 1, 1);
    EXPECT_EQ((std::vector<Rgb>{backPixel(402, 337), backPixel(437, 337), backPixel(402, 302)}),
              (std::vector<Rgb>{pattern(2, 2), pattern(2, 37), pattern(37, 2)}));

    // Rectangles black out or add, and a freed grab gives its memory back.
    KGraphic picture;
    load(picture, patternTga(640, 480));
    picture.blitRect(0, 0, 640, 480, 0, 0);
    KGraphic::drawRect(10.7f, 20.2f, 30.9f, 40.5f, 0, 0, 0, 1);  // corners truncated: x 10..29, y 21..40
    EXPECT_EQ(misses(10, 21, 20, 20, [](int, int) { return Rgb{0, 0, 0}; }), 0u);
    EXPECT_EQ((std::vector<Rgb>{backPixel(9, 30), backPixel(15, 41)}), (std::vector<Rgb>{pattern(9, 30), pattern(15, 41)}));
    KGraphic::drawRect(100, 100, 110, 110, 1, 0, 0, 0.5f);  // translucent colour adds
    EXPECT_TRUE(backPixel(105, 105).near({pattern(105, 105).r + 128, 105, 100}, 1)) << backPixel(105, 105);
    const int64_t memory = KGraphic::getVideoMemory();  // what a grab shows is the menu test's
    KGraphic grab;
    ASSERT_TRUE(grab.grabBackBuffer());
    grab.freePicture();
    EXPECT_EQ(KGraphic::getVideoMemory(), memory);
}

// A recorded frame is redrawn only where it differs from the last one: every setting that
// decides its pixels is in the record, and a step's area holds all it paints.
TEST_F(Blit, RecordedFramesAreDrawnWhereverTheyDiffer) {
    KGraphic g;
    load(g, patternTga(5, 5, 255));
    KFrameArea area;
    auto frame = [&](int x, float red) {  // an odd size turned and zoomed: corners beyond its circle
        glClearColor(red, 0, 0, 1);
        KGraphic::setWorldView(0, 0, 0, 1, true);
        g.blitAlphaRectFx(0, 0, 5, 5, x, 200, 45, 8, 1);
        return KFrame::finish(area);
    };
    auto painted = [](int x) { return misses(x - 40, 160, 90, 90, [](int, int) { return Rgb{0, 0, 0}; }); };
    KFrame::setRecording(true);
    frame(450, 0);
    EXPECT_TRUE(frame(150, 0) && !area.whole) << "redrawn in part";
    const size_t moved = painted(150);
    EXPECT_EQ(painted(450), 0u) << "stale pixels where the picture was";
    EXPECT_TRUE(frame(150, 0.2f)) << "a new clear colour";
    EXPECT_EQ(backPixel(5, 5), (Rgb{51, 0, 0}));
    const auto nearest = backRegion(110, 160, 90, 90);
    KGraphic::setGraphicQuality(true);
    EXPECT_TRUE(frame(150, 0.2f)) << "a new filter";
    KGraphic::setGraphicQuality(false);
    EXPECT_FALSE(backRegion(110, 160, 90, 90) == nearest);
    KFrame::setRecording(false);
    clearBack({0, 0, 0});
    g.blitAlphaRectFx(0, 0, 5, 5, 150, 200, 45, 8, 1);
    EXPECT_EQ(painted(150), moved) << "as drawn straight to GL";
    EXPECT_GT(moved, 1500u);
}

// An overlay drawn at 2x (red 4 x 2 at (2, 3), a checker 2 x 3 at (10, 0)) lands in place at 1x,
// the checker grey; English, a code naming a folder, and rectangles not adding up show none.
TEST_F(Blit, AnOverlayLaysItsLanguagesWordsOverThePicture) {
    FilesFrom home(dir.root());
    std::filesystem::create_directories(dir.path("data/lang/xx"));
    std::filesystem::create_directories(dir.path("data/lang/yy"));
    dir.write("data/p.tga", patternTga(16, 8));
    const std::string stack = "-size 8x10 xc:red \\( -size 4x6 pattern:gray50 \\) -geometry +0+4 -composite ";
    ASSERT_TRUE(convert(stack + "-set rects '2 3 4 2;10 0 2 3' PNG32:" + dir.path("data/lang/xx/p.png")));
    ASSERT_TRUE(convert(stack + "-set rects '2 3 4 2;10 0 2 4' PNG32:" + dir.path("data/lang/yy/p.png")));
    std::filesystem::create_directories(dir.path("data/x"));
    dir.write("data/x/p.png", dir.read("data/lang/xx/p.png"));   // what a code "../x" would name
    auto shown = [&](const char *code, bool keep) {
        KGraphic::setLanguage(code);
        KGraphic g;
        shownBoxes().clear();
        EXPECT_TRUE(g.loadPicture(KMiscTools::makeFilePath("data\\p.tga"), true, keep, true));
        KGraphic::setLanguage(nullptr);
        clearBack(kBackground);
        g.blitRect(0, 0, 16, 8, 100, 100);
        if (keep) {   // the kept pixels carry the words too
            const unsigned char *at = g._pixels + (3 * size_t(g._ftextureWIDTH) + 2) * 4;
            EXPECT_EQ(std::vector<int>(at, at + 4), (std::vector<int>{255, 0, 0, 255}));
        }
        EXPECT_TRUE(shownBoxes().empty());
    };
    for (bool keep : {false, true}) {
        shown("xx", keep);
        EXPECT_EQ(misses(100, 100, 16, 8, [](int x, int y) {
                      x -= 100, y -= 100;
                      if (x >= 2 && x < 6 && y >= 3 && y < 5) return Rgb{255, 0, 0};
                      if (x >= 10 && x < 12 && y < 3) return Rgb{128, 128, 128};
                      return pattern(x, y);
                  }, 1), 0u) << "keep " << keep;
    }
    for (const char *code : {static_cast<const char *>(nullptr), "en", "../x", "yy", "zz"}) {
        shown(code, false);
        EXPECT_EQ(misses(100, 100, 16, 8, [](int x, int y) { return pattern(x - 100, y - 100); }), 0u)
            << (code ? code : "nullptr");
    }
}

}  // namespace
