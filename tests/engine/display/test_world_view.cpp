// The logical screen, the world view and the filtering rule, read back from
// the back buffer of a real window.
#include <gtest/gtest.h>

#include "K3D.h"
#include "KGraphic.h"
#include "gl_test_window.h"

namespace {

const gltest::Rgb kBackground = {20, 40, 60};
const gltest::Rgb kRed = {255, 0, 0};

class WorldView : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gltest::openWindow());
        KGraphic::setDefaultWorldView();
        gltest::clearBack(kBackground.r, kBackground.g, kBackground.b);
    }
};

// A red square in game coordinates (y downwards), drawn under the current world view.
void drawSquare(int x, int y, int size) {
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glColor3ub(kRed.r, kRed.g, kRed.b);
    glBegin(GL_QUADS);
    glVertex2i(x, 480 - y);
    glVertex2i(x + size, 480 - y);
    glVertex2i(x + size, 480 - y - size);
    glVertex2i(x, 480 - y - size);
    glEnd();
    glEnable(GL_TEXTURE_2D);
}

TEST_F(WorldView, DefaultViewLandsDrawingAtItsGameCoordinates) {
    KGraphic::setWorldView(37, -12, 33, 2, false);
    KGraphic::setDefaultWorldView();
    drawSquare(100, 100, 10);
    EXPECT_EQ(gltest::backPixel(100, 100), kRed);
    EXPECT_EQ(gltest::backPixel(109, 109), kRed);
    EXPECT_EQ(gltest::backPixel(99, 105), kBackground);
    EXPECT_EQ(gltest::backPixel(110, 105), kBackground);
    EXPECT_EQ(gltest::backPixel(105, 99), kBackground);
    EXPECT_EQ(gltest::backPixel(105, 110), kBackground);
}

TEST_F(WorldView, PositiveYMovesEverythingUp) {
    KGraphic::setWorldView(0, 100, 0, 1, false);
    drawSquare(100, 200, 10);
    EXPECT_EQ(gltest::backPixel(100, 100), kRed);
    EXPECT_EQ(gltest::backPixel(109, 109), kRed);
    EXPECT_EQ(gltest::backPixel(105, 205), kBackground);
    EXPECT_EQ(gltest::backPixel(105, 110), kBackground);
}

TEST_F(WorldView, PositiveXMovesEverythingRight) {
    KGraphic::setWorldView(50, 0, 0, 1, false);
    drawSquare(100, 100, 10);
    EXPECT_EQ(gltest::backPixel(150, 100), kRed);
    EXPECT_EQ(gltest::backPixel(105, 105), kBackground);
}

TEST_F(WorldView, HalfZoomClearsAndShrinksAboutTheCentre) {
    KGraphic::setWorldView(0, 0, 0, 0.5f, true);
    EXPECT_EQ(gltest::backPixel(5, 5), (gltest::Rgb{0, 0, 0}));   // cleared to the clear colour
    drawSquare(0, 0, 100);   // (0,0)-(100,100) becomes (160,120)-(210,170)
    EXPECT_EQ(gltest::backPixel(161, 121), kRed);
    EXPECT_EQ(gltest::backPixel(208, 168), kRed);
    EXPECT_EQ(gltest::backPixel(158, 145), (gltest::Rgb{0, 0, 0}));
    EXPECT_EQ(gltest::backPixel(212, 145), (gltest::Rgb{0, 0, 0}));
    EXPECT_EQ(gltest::backPixel(185, 118), (gltest::Rgb{0, 0, 0}));
    EXPECT_EQ(gltest::backPixel(185, 172), (gltest::Rgb{0, 0, 0}));
}

TEST_F(WorldView, NinetyDegreesTurnsCounterClockwiseAboutTheCentre) {
    KGraphic::setWorldView(0, 0, 90, 1, false);
    // Right of the centre and above it: a quarter turn to the left puts it above and left.
    drawSquare(400, 100, 20);   // lands on (180,140)-(200,160)
    EXPECT_EQ(gltest::backPixel(181, 141), kRed);
    EXPECT_EQ(gltest::backPixel(198, 158), kRed);
    EXPECT_EQ(gltest::backPixel(410, 110), kBackground);
    EXPECT_EQ(gltest::backPixel(178, 150), kBackground);
    EXPECT_EQ(gltest::backPixel(190, 162), kBackground);
    // The centre stays where it is.
    gltest::clearBack(kBackground.r, kBackground.g, kBackground.b);
    drawSquare(315, 235, 10);
    EXPECT_EQ(gltest::backPixel(320, 240), kRed);
}

TEST_F(WorldView, WorldViewPutsBackTheOrthographicScreenAfterThePerspective) {
    K3D::initK3D(640, 480);
    EXPECT_FLOAT_EQ(K3D::_screenWidth, 640);
    EXPECT_FLOAT_EQ(K3D::_screenHeight, 480);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LEQUAL);

    KGraphic::setDefaultWorldView();
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    drawSquare(300, 20, 10);
    EXPECT_EQ(gltest::backPixel(305, 25), kRed);
    EXPECT_EQ(gltest::backPixel(305, 35), kBackground);
}

TEST_F(WorldView, ScreenSizeSetsUpFlatTexturedDrawing) {
    glShadeModel(GL_SMOOTH);
    glDisable(GL_TEXTURE_2D);
    KGraphic::setScreenSize(640, 480, 16);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLint shade = 0;
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    EXPECT_EQ(shade, GL_FLAT);
}

// A 2x2 checker of black and white, stretched to 64x64 at (x, y).
GLuint makeChecker() {
    const uint8_t texels[] = {0, 0, 0, 255, 255, 255, 255, 255, 255, 0, 0, 0};
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    return texture;
}

void drawTexture(GLuint texture, int x, int y) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2i(x, 480 - y);
    glTexCoord2f(1, 0), glVertex2i(x + 64, 480 - y);
    glTexCoord2f(1, 1), glVertex2i(x + 64, 480 - y - 64);
    glTexCoord2f(0, 1), glVertex2i(x, 480 - y - 64);
    glEnd();
}

GLint boundMinFilter() {
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    return filter;
}

bool isGrey(gltest::Rgb c) { return c.r > 10 && c.r < 245 && c.r == c.g && c.g == c.b; }

TEST_F(WorldView, ScreenSizeResetsFilteringToNearestAndQualityMakesLaterTexturesLinear) {
    KGraphic::setGraphicQuality(true);
    KGraphic::setScreenSize(640, 480, 16);   // back to nearest
    GLuint sharp = makeChecker();
    KGraphic::setGraphicQuality(false);      // what loading does right after binding
    EXPECT_EQ(boundMinFilter(), GL_NEAREST);

    glBindTexture(GL_TEXTURE_2D, 0);
    KGraphic::setGraphicQuality(true);
    GLuint smooth = makeChecker();
    KGraphic::setGraphicQuality(true);
    EXPECT_EQ(boundMinFilter(), GL_LINEAR);

    // The earlier texture keeps its filter: only the bound one changed.
    glBindTexture(GL_TEXTURE_2D, sharp);
    EXPECT_EQ(boundMinFilter(), GL_NEAREST);

    KGraphic::setDefaultWorldView();
    drawTexture(sharp, 100, 100);
    drawTexture(smooth, 300, 100);
    // Nearest: hard edge between the texels; linear: a grey ramp across the middle.
    EXPECT_EQ(gltest::backPixel(131, 116), (gltest::Rgb{0, 0, 0}));
    EXPECT_EQ(gltest::backPixel(132, 116), (gltest::Rgb{255, 255, 255}));
    EXPECT_TRUE(isGrey(gltest::backPixel(331, 116))) << gltest::backPixel(331, 116);
    EXPECT_TRUE(isGrey(gltest::backPixel(332, 116))) << gltest::backPixel(332, 116);

    KGraphic::setGraphicQuality(false);
    glDeleteTextures(1, &sharp);
    glDeleteTextures(1, &smooth);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace
