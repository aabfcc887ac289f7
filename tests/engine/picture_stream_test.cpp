// Large PNG sheets: decoded a band of rows at a time into their texture, and the texture
// of a sheet let go serving the next sheet of its size.
#include <gtest/gtest.h>

#include "KGraphic.h"
#include "gl_window.h"

namespace {

// Grey of a `rows`-row top-to-bottom black-to-white gradient at row y.
int gradient(int y, int rows = 1024) { return (y * 255 + (rows - 1) / 2) / (rows - 1); }

// The first and the last 400 rows of a sheet, a 4-pixel strip of each, drawn at (x, 20) and (x + 5, 20).
size_t rowMisses(KGraphic &sheet, int x, const std::function<Rgb(int)> &expected) {
    size_t wrong = 0;
    for (int top : {0, int(sheet.getHeight()) - 400}) {
        sheet.blitRect(0, float(top), 4, float(top + 400), int16_t(x), 20);
        wrong += misses(x, 20, 4, 400, [&](int, int y) { return expected(top + y - 20); }, 2);
        x += 5;
    }
    return wrong;
}

TEST(PictureStream, SheetsLoadRowByRowReuseALetGoTextureAndBrokenFilesLoseNothing) {
    ASSERT_TRUE(openWindow());
    KGraphic::setDefaultWorldView();
    BoxRecorder boxes;
    TempDir dir;
    const auto grey = [](int y) { return Rgb{gradient(y), gradient(y), gradient(y)}; };
    const auto redToBlue = [](int y) { return Rgb{255 - gradient(y), 0, gradient(y)}; };
    ASSERT_TRUE(convert("-size 1024x1024 gradient:black-white PNG32:" + dir.path("grey.png")));
    ASSERT_TRUE(convert("-size 1024x1024 gradient:red-blue PNG32:" + dir.path("red.png")));
    ASSERT_TRUE(convert("-size 1024x1024 gradient:red-blue -interlace PNG PNG32:" + dir.path("laced.png")));
    ASSERT_TRUE(convert("-size 1024x512 gradient:black-white PNG32:" + dir.path("half.png")));
    {
        KGraphic first;
        ASSERT_TRUE(first.loadPicture(dir.path("grey.png").c_str(), true, false, true));
        EXPECT_EQ(rowMisses(first, 10, grey), 0u);
    }   // its texture is kept for the next sheet of its size
    for (const char *name : {"red.png", "laced.png"}) {   // the interlaced one is decoded whole
        KGraphic next;
        ASSERT_TRUE(next.loadPicture(dir.path(name).c_str(), true, false, true)) << name;
        EXPECT_EQ(rowMisses(next, 30, redToBlue), 0u) << name;
    }
    std::string png = dir.read("grey.png");
    dir.write("short.png", png.substr(0, png.size() / 2));
    png[png.size() / 2] = char(png[png.size() / 2] ^ 0x40);   // in the pixels: their checksum fails
    dir.write("flipped.png", png);
    const auto halfGrey = [](int y) { return Rgb{gradient(y, 512), gradient(y, 512), gradient(y, 512)}; };
    KGraphic held;   // not of the let-go texture's size: a texture of its own
    ASSERT_TRUE(held.loadPicture(dir.path("half.png").c_str(), true, false, true));
    EXPECT_EQ(rowMisses(held, 50, halfGrey), 0u);
    for (const char *name : {"short.png", "flipped.png"}) {
        shownBoxes().clear();
        EXPECT_FALSE(held.loadPicture(dir.path(name).c_str(), true, false, true)) << name;
        EXPECT_EQ(shownBoxes(), (Boxes{{"Out of data to read", dir.path(name)}})) << name;
        EXPECT_EQ(rowMisses(held, 60, halfGrey), 0u) << name << ": the picture held stays";
    }
}

}  // namespace
