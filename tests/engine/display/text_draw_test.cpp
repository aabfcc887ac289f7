// Bitmap text drawn into a real window and read back.
#include "KGraphic.h"
#include "KText.h"
#include "gl_test_window.h"
#include "picture_files.h"

#include <gtest/gtest.h>

namespace {

using gltest::Rgb;

const Rgb kBackground = {5, 10, 15};
const Rgb kRed = {255, 0, 0}, kGreen = {0, 255, 0}, kBlue = {0, 0, 255};

// Font picture 64 x 16: '1' red in x 0..9, '2' green in x 10..21, 'W' blue in x 22..59,
// and a transparent strip in x 60..63.
std::vector<unsigned char> fontTga() {
    std::vector<unsigned char> pixels;
    for (int y = 15; y >= 0; --y)
        for (int x = 0; x < 64; ++x) {
            const Rgb c = x < 10 ? kRed : x < 22 ? kGreen : x < 60 ? kBlue : Rgb{255, 255, 255};
            pixels.insert(pixels.end(), {c.b, c.g, c.r, uint8_t(x < 60 ? 255 : 0)});
        }
    return picfiles::tgaBytes(64, 16, 32, pixels);
}

KFont gTable[] = {
    {'1', 0, 0, 10, 16, 10, 16},
    {'2', 10, 0, 22, 16, 12, 16},
    {'W', 22, 0, 60, 16, 38, 16},
    {0, 0, 0, 0, 0, 0, 0},
};

KFont gEmptyTable[] = {{0, 0, 0, 10, 16, 10, 16}, {'1', 0, 0, 10, 16, 10, 16}};

class TextDraw : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gltest::openWindow());
        KWindow::setRectangleTexCap(false);
        KGraphic::setDefaultWorldView();
        gltest::clearBack(kBackground.r, kBackground.g, kBackground.b);
        fontPath = dir.file("font.tga");
        picfiles::writeFile(fontPath, fontTga());
    }
    // Colour of each pixel of a row, run-length coded as (colour, count).
    std::vector<std::pair<Rgb, int>> runs(int x0, int x1, int y) {
        std::vector<std::pair<Rgb, int>> out;
        for (const Rgb &c : gltest::backRegion(x0, y, x1 - x0, 1)) {
            if (out.empty() || out.back().first != c)
                out.emplace_back(c, 0);
            ++out.back().second;
        }
        return out;
    }
    bool blank(int x0, int y0, int w, int h) {
        for (const Rgb &c : gltest::backRegion(x0, y0, w, h))
            if (c != kBackground)
                return false;
        return true;
    }
    picfiles::TempDir dir;
    std::string fontPath;
};

using Runs = std::vector<std::pair<Rgb, int>>;

TEST_F(TextDraw, FromLeftAdvancesWithSpacing) {
    KText text(fontPath.c_str(), gTable);
    text.drawStringFromLeft("12", 50, 100, 2);
    EXPECT_EQ(text.getStringWidth("12", 2), 26);
    // Glyph 1 at x 50..59, gap 60..61, glyph 2 at 62..73.
    EXPECT_EQ(runs(40, 80, 100), (Runs{{kBackground, 10}, {kRed, 10}, {kBackground, 2}, {kGreen, 12},
                                       {kBackground, 6}}));
    EXPECT_EQ(runs(40, 80, 115), runs(40, 80, 100));
    EXPECT_TRUE(blank(40, 99, 40, 1));
    EXPECT_TRUE(blank(40, 116, 40, 1));
}

TEST_F(TextDraw, MissingCharactersLeaveNoGap) {
    KText text(fontPath.c_str(), gTable);
    text.drawStringFromLeft("12", 50, 100, 2);
    const auto expected = runs(40, 80, 100);
    gltest::clearBack(kBackground.r, kBackground.g, kBackground.b);
    text.drawStringFromLeft("1?x2", 50, 100, 2);
    EXPECT_EQ(runs(40, 80, 100), expected);
    EXPECT_EQ(text.getStringWidth("1?x2", 2), 26);
}

TEST_F(TextDraw, CentredBetweenTwoPositions) {
    KText text(fontPath.c_str(), gTable);
    text.drawStringCentered("W", 100, 200, 50, 2);  // width 40: starts at 130
    EXPECT_EQ(runs(120, 180, 50), (Runs{{kBackground, 10}, {kBlue, 38}, {kBackground, 12}}));
    gltest::clearBack(kBackground.r, kBackground.g, kBackground.b);
    text.drawStringCentered("W", 100, 200, 50, 3);  // width 41: starts at 129
    EXPECT_EQ(runs(120, 180, 50), (Runs{{kBackground, 9}, {kBlue, 38}, {kBackground, 13}}));
}

TEST_F(TextDraw, FromRightEndsSpacingBeforeX) {
    KText text(fontPath.c_str(), gTable);
    text.drawStringFromRight("1", 300, 200, 3);  // glyph at 287..296
    EXPECT_EQ(runs(280, 305, 200), (Runs{{kBackground, 7}, {kRed, 10}, {kBackground, 8}}));
    gltest::clearBack(kBackground.r, kBackground.g, kBackground.b);
    text.drawStringFromRight("12", 300, 200, 2);  // '2' at 286..297, '1' at 274..283
    EXPECT_EQ(runs(270, 305, 200), (Runs{{kBackground, 4}, {kRed, 10}, {kBackground, 2}, {kGreen, 12},
                                         {kBackground, 7}}));
}

TEST_F(TextDraw, EmptyStringsAndEmptyTablesDrawNothing) {
    KText text(fontPath.c_str(), gTable);
    text.drawStringFromLeft("", 50, 100, 2);
    text.drawStringFromRight("", 300, 100, 2);
    text.drawStringCentered("", 100, 200, 100, 2);
    text.drawStringFromLeft(nullptr, 50, 100, 2);
    EXPECT_EQ(text.getStringWidth("", 2), -1);
    KText none(fontPath.c_str(), gEmptyTable);
    none.drawStringFromLeft("1", 50, 100, 2);
    none.drawStringCentered("1", 100, 200, 100, 2);
    EXPECT_EQ(none.getStringWidth("1", 2), 0);
    EXPECT_TRUE(blank(0, 90, 640, 40));
}

TEST_F(TextDraw, MissingFontPictureDrawsNothing) {
    gltest::messageBoxes().clear();
    const std::string missing = dir.file("nofont.tga");
    KText text(missing.c_str(), gTable);
    ASSERT_EQ(gltest::messageBoxes().size(), 2u);
    EXPECT_EQ(gltest::messageBoxes()[0].title, "Could not open file");
    text.drawStringFromLeft("12W", 50, 100, 2);
    text.drawStringCentered("12", 0, 640, 200, 2);
    EXPECT_TRUE(blank(0, 90, 640, 130));
}

TEST_F(TextDraw, GlyphsBlendWithTheFontAlpha) {
    // A glyph drawn from the transparent strip shows nothing.
    KFont ghost[] = {{'g', 60, 0, 64, 16, 4, 16}, {0, 0, 0, 0, 0, 0, 0}};
    KText text(fontPath.c_str(), ghost);
    text.drawStringFromLeft("gggg", 10, 10, 0);
    EXPECT_TRUE(blank(0, 0, 40, 40));
}

}  // namespace
