// Blits, flat rectangles and back-buffer grabs, read back from a real window under Xvfb.
#include "KGraphic.h"
#include "gl_test_window.h"
#include "picture_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

using gltest::Rgb;

const Rgb kBackground = {5, 10, 15};

// Every pixel of the test picture tells where it came from.
Rgb pattern(int x, int y) { return {uint8_t(x % 251), uint8_t(y % 241), uint8_t(100 + x / 251 + 3 * (y / 241))}; }

// An upright TGA of the pattern; alpha (32-bit when given) is the same for every pixel.
std::vector<unsigned char> patternTga(int w, int h, int alpha = -1) {
    std::vector<unsigned char> pixels;
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x) {
            const Rgb c = pattern(x, y);
            pixels.insert(pixels.end(), {c.b, c.g, c.r});
            if (alpha >= 0)
                pixels.push_back(uint8_t(alpha));
        }
    return picfiles::tgaBytes(uint16_t(w), uint16_t(h), alpha >= 0 ? 32 : 24, pixels);
}

bool near(const Rgb &a, const Rgb &b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

Rgb blend(const Rgb &src, const Rgb &dst, float a) {
    auto mix = [a](int s, int d) { return uint8_t(s * a + d * (1 - a) + 0.5f); };
    return {mix(src.r, dst.r), mix(src.g, dst.g), mix(src.b, dst.b)};
}

// The GL state a blit may leave behind.
struct GlState {
    GLboolean blend, texture2D;
    GLint srcFactor, dstFactor, boundTexture;
    GLfloat colour[4], modelView[16];
    bool operator==(const GlState &o) const { return std::memcmp(this, &o, sizeof *this) == 0; }
};

GlState glState() {
    GlState s;
    std::memset(&s, 0, sizeof s);
    s.blend = glIsEnabled(GL_BLEND);
    s.texture2D = glIsEnabled(GL_TEXTURE_2D);
    glGetIntegerv(GL_BLEND_SRC, &s.srcFactor);
    glGetIntegerv(GL_BLEND_DST, &s.dstFactor);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.boundTexture);
    glGetFloatv(GL_CURRENT_COLOR, s.colour);
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelView);
    return s;
}

class Blit : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gltest::openWindow());
        KWindow::setRectangleTexCap(false);
        KGraphic::setGraphicQuality(false);
        KGraphic::setDefaultWorldView();
        gltest::clearBack(kBackground.r, kBackground.g, kBackground.b);
    }
    void load(KGraphic &g, const std::vector<unsigned char> &tga, const char *name = "p.tga") {
        const std::string path = dir.file(name);
        picfiles::writeFile(path, tga);
        ASSERT_TRUE(g.loadPicture(path.c_str(), true, false, true));
    }
    // Checks the screen region against expected(x, y) for each pixel inside it and counts misses.
    template <class Expected>
    size_t misses(int x0, int y0, int w, int h, Expected expected, int tolerance = 0) {
        const auto px = gltest::backRegion(x0, y0, w, h);
        size_t wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                wrong += !near(px[size_t(y) * w + x], expected(x0 + x, y0 + y), tolerance);
        return wrong;
    }
    picfiles::TempDir dir;
};

TEST_F(Blit, FullScreenPictureTopRowAtTheTop) {
    KGraphic g;
    load(g, patternTga(640, 480));
    g.blitRect(0, 0, 640, 480, 0, 0, false, false);
    EXPECT_EQ(misses(0, 0, 640, 480, pattern), 0u);
}

TEST_F(Blit, SourceRectangleLandsOnExactPixels) {
    KGraphic g;
    load(g, patternTga(64, 80));
    g.blitRect(10, 20, 55, 65, 100, 200, false, false);
    // x 100..144 and y 200..244 hold the source, the ring around it the background.
    EXPECT_EQ(misses(100, 200, 45, 45, [](int x, int y) { return pattern(x - 90, y - 180); }), 0u);
    auto background = [](int, int) { return kBackground; };
    EXPECT_EQ(misses(99, 199, 47, 1, background), 0u);
    EXPECT_EQ(misses(99, 245, 47, 1, background), 0u);
    EXPECT_EQ(misses(99, 200, 1, 45, background), 0u);
    EXPECT_EQ(misses(145, 200, 1, 45, background), 0u);
}

TEST_F(Blit, EachFlipCombination) {
    KGraphic g;
    load(g, patternTga(64, 80));
    struct Case {
        bool flipX, flipY;
    };
    for (Case c : {Case{false, false}, Case{true, false}, Case{false, true}, Case{true, true}}) {
        SCOPED_TRACE(std::string("flipX ") + (c.flipX ? "on" : "off") + ", flipY " + (c.flipY ? "on" : "off"));
        gltest::clearBack(kBackground.r, kBackground.g, kBackground.b);
        g.blitRect(10, 20, 55, 65, 100, 200, c.flipX, c.flipY);
        EXPECT_EQ(misses(100, 200, 45, 45,
                         [&](int x, int y) {
                             const int i = x - 100, j = y - 200;
                             return pattern(c.flipX ? 54 - i : 10 + i, c.flipY ? 64 - j : 20 + j);
                         }),
                  0u);
    }
}

TEST_F(Blit, FractionalSourceWidthIsTruncated) {
    KGraphic g;
    load(g, patternTga(64, 80));
    g.blitRect(10, 20, 55.9f, 65, 100, 200, false, false);
    EXPECT_NE(gltest::backPixel(144, 210), kBackground);
    EXPECT_EQ(gltest::backPixel(145, 210), kBackground);
    EXPECT_EQ(gltest::backPixel(100, 210), pattern(10, 30));
}

TEST_F(Blit, OpaqueBlitIgnoresAlphaAndAlphaBlitBlends) {
    KGraphic g;
    load(g, patternTga(32, 32, 0));  // fully transparent pixels
    g.blitRect(0, 0, 32, 32, 10, 10, false, false);
    EXPECT_EQ(misses(10, 10, 32, 32, [](int x, int y) { return pattern(x - 10, y - 10); }), 0u);
    gltest::clearBack(kBackground.r, kBackground.g, kBackground.b);
    g.blitAlphaRect(0, 0, 32, 32, 10, 10, false, false);
    EXPECT_EQ(misses(10, 10, 32, 32, [](int, int) { return kBackground; }), 0u);
    KGraphic half;
    load(half, patternTga(32, 32, 128), "half.tga");
    half.blitAlphaRect(0, 0, 32, 32, 10, 10, false, false);
    const Rgb got = gltest::backPixel(20, 25);
    EXPECT_TRUE(near(got, blend(pattern(10, 15), kBackground, 128 / 255.0f), 1)) << got;
}

TEST_F(Blit, AdditiveAlphaModeAddsWeightedColour) {
    KGraphic g;
    load(g, patternTga(32, 32, 128));
    g.setAlphaMode(false);
    g.blitAlphaRect(0, 0, 32, 32, 0, 0, false, false);
    const Rgb src = pattern(20, 20), got = gltest::backPixel(20, 20);
    const float a = 128 / 255.0f;
    const Rgb expected = {uint8_t(std::min(255, int(kBackground.r + src.r * a + 0.5f))),
                          uint8_t(std::min(255, int(kBackground.g + src.g * a + 0.5f))),
                          uint8_t(std::min(255, int(kBackground.b + src.b * a + 0.5f)))};
    EXPECT_TRUE(near(got, expected, 1)) << got << " expected " << expected;
}

TEST_F(Blit, FxWithNoAlphaOrNoZoomDrawsNothingAndLeavesStateAlone) {
    KGraphic g;
    load(g, patternTga(32, 32));
    g.blitRect(0, 0, 1, 1, 600, 400, false, false);  // some state to keep
    gltest::clearBack(kBackground.r, kBackground.g, kBackground.b);
    const GlState before = glState();
    g.blitAlphaRectFx(0, 0, 32, 32, 10, 10, 30, 1, 0, false, false);
    g.blitAlphaRectFx(0, 0, 32, 32, 10, 10, 0, 1, -0.5f, false, false);
    g.blitAlphaRectFx(0, 0, 32, 32, 10, 10, 0, 0, 1, false, false);
    EXPECT_TRUE(glState() == before);
    EXPECT_EQ(misses(0, 0, 60, 60, [](int, int) { return kBackground; }), 0u);
}

TEST_F(Blit, FxAtHalfAlphaMatchesAlphaBlitAtHalfOpacity) {
    KGraphic g;
    load(g, patternTga(45, 45));
    g.blitAlphaRectFx(0, 0, 45, 45, 100, 200, 0, 1, 0.5f, false, false);
    EXPECT_EQ(misses(100, 200, 45, 45,
                     [](int x, int y) { return blend(pattern(x - 100, y - 200), kBackground, 0.5f); }, 1),
              0u);
    EXPECT_EQ(gltest::backPixel(99, 200), kBackground);
    EXPECT_EQ(gltest::backPixel(145, 200), kBackground);
    EXPECT_EQ(gltest::backPixel(100, 245), kBackground);
    // The same rectangle as an alpha blit of a half-transparent copy.
    KGraphic half;
    load(half, patternTga(45, 45, 128), "half.tga");
    gltest::clearBack(kBackground.r, kBackground.g, kBackground.b);
    half.blitAlphaRect(0, 0, 45, 45, 100, 200, false, false);
    const auto alphaBlit = gltest::backRegion(99, 199, 47, 47);
    gltest::clearBack(kBackground.r, kBackground.g, kBackground.b);
    g.blitAlphaRectFx(0, 0, 45, 45, 100, 200, 0, 1, 0.5f, false, false);
    const auto fx = gltest::backRegion(99, 199, 47, 47);
    size_t different = 0;
    for (size_t i = 0; i < fx.size(); ++i)
        different += !near(fx[i], alphaBlit[i], 1);
    EXPECT_EQ(different, 0u);
}

TEST_F(Blit, FxZoomTwoDoublesAboutTheCentre) {
    KGraphic g;
    load(g, patternTga(40, 40));
    // Unzoomed it would cover 300..339 x 200..239, centre (320, 220).
    g.blitAlphaRectFx(0, 0, 40, 40, 300, 200, 0, 2, 1, false, false);
    EXPECT_EQ(gltest::backPixel(279, 220), kBackground);
    EXPECT_EQ(gltest::backPixel(360, 220), kBackground);
    EXPECT_EQ(gltest::backPixel(320, 179), kBackground);
    EXPECT_EQ(gltest::backPixel(320, 260), kBackground);
    // Each source pixel becomes a 2 x 2 block.
    EXPECT_EQ(misses(280, 180, 80, 80, [](int x, int y) { return pattern((x - 280) / 2, (y - 180) / 2); }), 0u);
}

TEST_F(Blit, FxAngleTurnsCounterClockwise) {
    KGraphic g;
    load(g, patternTga(40, 40));
    g.blitAlphaRectFx(0, 0, 40, 40, 300, 200, 90, 1, 1, false, false);
    // A quarter turn counter-clockwise: the source's top-left corner goes to the bottom-left.
    EXPECT_EQ(gltest::backPixel(302, 237), pattern(2, 2));
    EXPECT_EQ(gltest::backPixel(337, 237), pattern(2, 37));
    EXPECT_EQ(gltest::backPixel(302, 202), pattern(37, 2));
}

TEST_F(Blit, StateLeftBehind) {
    KGraphic g;
    load(g, patternTga(8, 8));
    const GlState start = glState();
    g.blitAlphaRect(0, 0, 8, 8, 0, 0, false, false);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    g.blitRect(0, 0, 8, 8, 0, 0, false, false);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    g.blitAlphaRectFx(0, 0, 8, 8, 0, 0, 45, 1.5f, 0.5f, false, false);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GlState after = glState();
    EXPECT_EQ(after.colour[3], 1.0f);
    EXPECT_EQ(0, std::memcmp(after.modelView, start.modelView, sizeof after.modelView));
    KGraphic::drawRect(0, 0, 4, 4, 0.2f, 0.3f, 0.4f, 0.5f);
    after = glState();
    EXPECT_FALSE(after.blend);
    EXPECT_FALSE(after.texture2D);
    EXPECT_EQ(after.colour[0], 1.0f);
    EXPECT_EQ(after.colour[3], 1.0f);
    EXPECT_EQ(0, std::memcmp(after.modelView, start.modelView, sizeof after.modelView));
    // The next blit switches texturing back on for itself.
    gltest::clearBack(kBackground.r, kBackground.g, kBackground.b);
    g.blitRect(0, 0, 8, 8, 0, 0, false, false);
    EXPECT_EQ(gltest::backPixel(3, 4), pattern(3, 4));
}

TEST_F(Blit, DrawRectOpaqueBlacksOutAdditiveBlackChangesNothing) {
    KGraphic::drawRect(0, 0, 640, 480, 0, 0, 0, 0.5f);
    EXPECT_EQ(misses(0, 0, 640, 480, [](int, int) { return kBackground; }), 0u);
    KGraphic::drawRect(0, 0, 640, 480, 0, 0, 0, 1);
    EXPECT_EQ(misses(0, 0, 640, 480, [](int, int) { return Rgb{0, 0, 0}; }), 0u);
    // Translucent colour adds onto what is there.
    gltest::clearBack(100, 100, 100);
    KGraphic::drawRect(0, 0, 10, 10, 1, 0, 0, 0.5f);
    EXPECT_TRUE(near(gltest::backPixel(5, 5), Rgb{228, 100, 100}, 1)) << gltest::backPixel(5, 5);
}

TEST_F(Blit, DrawRectTruncatesItsCorners) {
    KGraphic::drawRect(10.7f, 20.2f, 30.9f, 40.5f, 1, 1, 1, 1);
    // x: 10 to 29; GL y 459 down to 439, which is game rows 21 to 40.
    const Rgb white = {255, 255, 255};
    EXPECT_EQ(gltest::backPixel(10, 21), white);
    EXPECT_EQ(gltest::backPixel(29, 40), white);
    EXPECT_EQ(gltest::backPixel(9, 30), kBackground);
    EXPECT_EQ(gltest::backPixel(30, 30), kBackground);
    EXPECT_EQ(gltest::backPixel(15, 20), kBackground);
    EXPECT_EQ(gltest::backPixel(15, 41), kBackground);
}

TEST_F(Blit, GrabBackBufferReproducesTheFrame) {
    KGraphic picture;
    load(picture, patternTga(640, 480));
    picture.blitRect(0, 0, 640, 480, 0, 0, false, false);
    KGraphic::drawRect(300, 200, 340, 240, 1, 1, 0, 1);
    const auto frame = gltest::backRegion(0, 0, 640, 480);
    KGraphic::setGraphicQuality(true);  // a grab stays nearest anyway
    KGraphic grab;
    const int32_t memory = KGraphic::getVideoMemory();
    ASSERT_TRUE(grab.grabBackBuffer());
    KGraphic::setGraphicQuality(false);
    EXPECT_EQ(grab.getWidth(), 640);
    EXPECT_EQ(grab.getHeight(), 480);
    EXPECT_EQ(grab._ftextureWIDTH, 1024);
    EXPECT_EQ(grab._ftextureHEIGHT, 1024);
    EXPECT_EQ(KGraphic::getVideoMemory() - memory, 2 * 1024 * 1024);
    GLint filter = 0, wrap = 0;
    glBindTexture(GL_TEXTURE_2D, grab.texture);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(filter, GL_NEAREST);
    EXPECT_EQ(wrap, GL_CLAMP);
    KGraphic::setDefaultWorldView();  // the grab reset the matrix
    gltest::clearBack(kBackground.r, kBackground.g, kBackground.b);
    grab.blitRect(0, 0, 640, 480, 0, 0, false, false);
    EXPECT_TRUE(gltest::backRegion(0, 0, 640, 480) == frame);
    grab.freePicture();
    EXPECT_EQ(KGraphic::getVideoMemory(), memory);
}

TEST_F(Blit, GrabIntoARectangleTextureKeepsTheScreenSize) {
    KGraphic picture;
    load(picture, patternTga(640, 480));
    picture.blitRect(0, 0, 640, 480, 0, 0, false, false);
    KWindow::setRectangleTexCap(true);
    KGraphic grab;
    const bool grabbed = grab.grabBackBuffer();
    KWindow::setRectangleTexCap(false);
    ASSERT_TRUE(grabbed);
    EXPECT_EQ(grab._glEnum, 0x84F5u);
    EXPECT_EQ(grab._ftextureWIDTH, 640);
    EXPECT_EQ(grab._ftextureHEIGHT, 480);
    KGraphic::setDefaultWorldView();
    gltest::clearBack(kBackground.r, kBackground.g, kBackground.b);
    grab.blitRect(100, 50, 300, 250, 10, 20, false, false);
    EXPECT_EQ(misses(10, 20, 200, 200, [](int x, int y) { return pattern(x + 90, y + 30); }), 0u);
}

TEST_F(Blit, RectangleTextureUsesTexelCoordinates) {
    KWindow::setRectangleTexCap(true);
    KGraphic g;
    load(g, patternTga(50, 30));
    KWindow::setRectangleTexCap(false);
    ASSERT_EQ(g._glEnum, 0x84F5u);
    g.blitRect(5, 6, 45, 26, 200, 100, false, true);
    EXPECT_EQ(misses(200, 100, 40, 20, [](int x, int y) { return pattern(x - 195, 25 - (y - 100)); }), 0u);
}

TEST_F(Blit, EveryOperationLeavesNoGlError) {
    while (glGetError() != GL_NO_ERROR) {
    }
    KGraphic g, rect, grab;
    load(g, patternTga(20, 20, 200));
    KWindow::setRectangleTexCap(true);
    load(rect, patternTga(20, 10), "rect.tga");
    KWindow::setRectangleTexCap(false);
    for (KGraphic *p : {&g, &rect}) {
        p->blitRect(0, 0, 20, 10, 5, 5, true, false);
        p->blitAlphaRect(0, 0, 20, 10, 5, 5, false, true);
        p->blitAlphaRectFx(0, 0, 20, 10, 5, 5, 33, 1.5f, 0.5f, true, true);
        p->blitAlphaRectFx(0, 0, 20, 10, 5, 5, 0, 1, 0.5f, false, false);
    }
    KGraphic::drawRect(1, 1, 9, 9, 1, 0, 0, 0.5f);
    KGraphic::drawRect(1, 1, 9, 9, 1, 0, 0, 1);
    ASSERT_TRUE(grab.grabBackBuffer());
    g.freePicture();
    rect.freePicture();
    grab.freePicture();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(Blit, EmptyPictureDrawsNothing) {
    KGraphic empty;
    empty.blitRect(0, 0, 50, 50, 0, 0, false, false);
    empty.blitAlphaRect(0, 0, 50, 50, 0, 0, false, false);
    empty.blitAlphaRectFx(0, 0, 50, 50, 0, 0, 10, 2, 1, false, false);
    EXPECT_EQ(misses(0, 0, 100, 100, [](int, int) { return kBackground; }), 0u);
}

TEST_F(Blit, WorldViewAppliesToBlits) {
    KGraphic g;
    load(g, patternTga(20, 20));
    KGraphic::setWorldView(0, 100, 0, 1, false);
    g.blitRect(0, 0, 20, 20, 50, 200, false, false);
    KGraphic::setDefaultWorldView();
    EXPECT_EQ(misses(50, 100, 20, 20, [](int x, int y) { return pattern(x - 50, y - 100); }), 0u);
    EXPECT_EQ(gltest::backPixel(55, 205), kBackground);
}

}  // namespace
