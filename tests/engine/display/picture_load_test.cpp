// Loading pictures made by a real encoder into textures, under Xvfb.
#include "KGraphic.h"
#include "gl_test_window.h"
#include "picture_files.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Texel = std::vector<uint8_t>;
using Boxes = std::vector<std::pair<std::string, std::string>>;

Boxes boxes() {
    Boxes out;
    for (const gltest::Box &b : gltest::messageBoxes())
        out.emplace_back(b.title, b.text);
    return out;
}

// The texture as GL holds it, RGBA rows top first.
std::vector<uint8_t> textureTexels(KGraphic &g) {
    std::vector<uint8_t> t(size_t(g._ftextureWIDTH) * size_t(g._ftextureHEIGHT) * 4);
    glBindTexture(g._glEnum, g.texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(g._glEnum, 0, GL_RGBA, GL_UNSIGNED_BYTE, t.data());
    return t;
}

Texel at(const std::vector<uint8_t> &t, uint32_t texWidth, uint32_t x, uint32_t y) {
    auto p = t.begin() + (size_t(texWidth) * y + x) * 4;
    return {p, p + 4};
}

GLint textureParameter(KGraphic &g, GLenum name) {
    GLint v = 0;
    glBindTexture(g._glEnum, g.texture);
    glGetTexParameteriv(g._glEnum, name, &v);
    return v;
}

GLint maxTextureSize() {
    GLint v = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &v);
    return v;
}

// 3 x 2, blue top-left, the rest red: shows orientation.
const char *kMarked = "-size 3x2 xc:red -fill blue -draw 'point 0,0'";

class PictureLoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gltest::openWindow());
        KGraphic::setGraphicQuality(false);
        KWindow::setRectangleTexCap(false);
        gltest::messageBoxes().clear();
    }
    // Writes an upright (bottom row first) 24-bit TGA of the drawing.
    std::string uprightTga(const std::string &name, const std::string &drawing) {
        const std::string path = dir.file(name);
        EXPECT_TRUE(picfiles::convert(drawing + " -flip -type TrueColor " + path));
        return path;
    }
    picfiles::TempDir dir;
};

}  // namespace

TEST_F(PictureLoad, TextureSizesFollowThePowerOfTwoRule) {
    struct Case {
        int w, h;
        uint32_t side;
    };
    for (Case c : {Case{3, 3, 4}, Case{4, 4, 4}, Case{5, 2, 8}, Case{640, 480, 1024}}) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        const std::string path = uprightTga("size.tga", "-size " + std::to_string(c.w) + "x" + std::to_string(c.h) +
                                                            " xc:'rgb(200,100,50)'");
        KGraphic g;
        const int32_t before = KGraphic::getVideoMemory();
        ASSERT_TRUE(g.loadPicture(path.c_str(), true, false, true));
        EXPECT_EQ(g._glEnum, uint32_t(GL_TEXTURE_2D));
        EXPECT_EQ(g._ftextureWIDTH, float(c.side));
        EXPECT_EQ(g._ftextureHEIGHT, float(c.side));
        EXPECT_EQ(g.getWidth(), float(c.w));
        EXPECT_EQ(g.getHeight(), float(c.h));
        EXPECT_EQ(g._pixels, nullptr);
        EXPECT_EQ(KGraphic::getVideoMemory() - before, int32_t(2 * c.side * c.side));  // 16-bit screen
        const auto t = textureTexels(g);
        size_t wrong = 0;
        for (uint32_t y = 0; y < c.side; ++y)
            for (uint32_t x = 0; x < c.side; ++x) {
                const bool inside = x < uint32_t(c.w) && y < uint32_t(c.h);
                wrong += at(t, c.side, x, y) != (inside ? Texel{200, 100, 50, 255} : Texel{0, 0, 0, 0});
            }
        EXPECT_EQ(wrong, 0u);
        EXPECT_TRUE(boxes().empty());
    }
}

TEST_F(PictureLoad, BottomUpTgaIsUprightAndTopFirstTgaUpsideDown) {
    const std::string upright = uprightTga("up.tga", kMarked);
    const std::string topFirst = dir.file("top.tga");
    ASSERT_TRUE(picfiles::convert(std::string(kMarked) + " -type TrueColor -orient TopLeft " + topFirst));
    ASSERT_EQ(picfiles::readFile(topFirst)[17] & 0x20, 0x20);
    KGraphic up, down;
    ASSERT_TRUE(up.loadPicture(upright.c_str(), true, true, true));
    ASSERT_TRUE(down.loadPicture(topFirst.c_str(), true, true, true));
    EXPECT_EQ(at(textureTexels(up), 4, 0, 0), (Texel{0, 0, 255, 255}));
    EXPECT_EQ(at(textureTexels(up), 4, 0, 1), (Texel{255, 0, 0, 255}));
    EXPECT_EQ(at(textureTexels(down), 4, 0, 0), (Texel{255, 0, 0, 255}));
    EXPECT_EQ(at(textureTexels(down), 4, 0, 1), (Texel{0, 0, 255, 255}));
}

TEST_F(PictureLoad, PihsPrefixIsSkipped) {
    const std::string plain = uprightTga("plain.tga", kMarked);
    std::vector<unsigned char> bytes = {'p', 'i', 'h', 's'};
    const auto body = picfiles::readFile(plain);
    bytes.insert(bytes.end(), body.begin(), body.end());
    const std::string prefixed = dir.file("prefixed.tga");
    picfiles::writeFile(prefixed, bytes);
    KGraphic a, b;
    ASSERT_TRUE(a.loadPicture(plain.c_str(), true, true, true));
    ASSERT_TRUE(b.loadPicture(prefixed.c_str(), true, true, true));
    EXPECT_EQ(0, std::memcmp(a._pixels, b._pixels, 4 * 4 * 4));
    EXPECT_EQ(textureTexels(a), textureTexels(b));
    EXPECT_EQ(b.getWidth(), 3);
}

TEST_F(PictureLoad, RunLengthTgaIsNotDecoded) {
    // A plain colour packs into far fewer bytes than the header announces: refused.
    const std::string solid = dir.file("solid.tga");
    ASSERT_TRUE(picfiles::convert("-size 16x16 xc:red -type TrueColor -compress RLE " + solid));
    ASSERT_EQ(picfiles::readFile(solid)[2], 10);
    KGraphic g;
    EXPECT_FALSE(g.loadPicture(solid.c_str(), true, false, true));
    EXPECT_EQ(boxes(), (Boxes{{"Out of data to read", solid}}));
    EXPECT_EQ(g.texture, 0u);
    EXPECT_EQ(g.getWidth(), 0);
    // Noise does not pack: the packets load as if they were pixels.
    const std::string noise = dir.file("noise.tga"), raw = dir.file("raw.tga");
    ASSERT_TRUE(picfiles::convert("-seed 7 -size 16x16 xc:gray +noise Random " + noise + ".png"));
    ASSERT_TRUE(picfiles::convert(noise + ".png -type TrueColor -compress RLE " + noise));
    ASSERT_TRUE(picfiles::convert(noise + ".png -type TrueColor " + raw));
    KGraphic packed, plain;
    ASSERT_TRUE(packed.loadPicture(noise.c_str(), true, true, true));
    ASSERT_TRUE(plain.loadPicture(raw.c_str(), true, true, true));
    EXPECT_NE(0, std::memcmp(packed._pixels, plain._pixels, 16 * 16 * 4));
}

TEST_F(PictureLoad, ShallowTgaDepthsAreRefused) {
    struct Case {
        const char *name, *options;
        uint8_t depth;
    };
    for (Case c : {Case{"palette.tga", "-type Palette", 8}, Case{"grey.tga", "-type Grayscale", 8},
                   Case{"sixteen.tga", "-depth 5", 16}}) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        ASSERT_TRUE(picfiles::convert(std::string(kMarked) + " " + c.options + " " + path));
        ASSERT_EQ(picfiles::readFile(path)[16], c.depth);
        gltest::messageBoxes().clear();
        KGraphic g;
        const int32_t before = KGraphic::getVideoMemory();
        EXPECT_FALSE(g.loadPicture(path.c_str(), true, true, true));
        EXPECT_EQ(boxes(), (Boxes{{"Non supported Format", path}}));
        EXPECT_EQ(g.texture, 0u);
        EXPECT_EQ(g._pixels, nullptr);
        EXPECT_EQ(g.getWidth(), 0);
        EXPECT_EQ(KGraphic::getVideoMemory(), before);
    }
}

TEST_F(PictureLoad, OddDepthsLoadFullyTransparent) {
    const std::string path = dir.file("odd.tga");
    picfiles::writeFile(path, picfiles::tgaBytes(2, 2, 28, std::vector<unsigned char>(2 * 2 * 3, 0xFF)));
    KGraphic g;
    ASSERT_TRUE(g.loadPicture(path.c_str(), true, false, true));
    EXPECT_EQ(g.getWidth(), 2);
    EXPECT_EQ(textureTexels(g), std::vector<uint8_t>(4 * 4 * 4, 0));
}

TEST_F(PictureLoad, ThirtyTwoBitTgaKeepsItsAlpha) {
    const std::string path = dir.file("alpha.tga");
    ASSERT_TRUE(picfiles::convert(std::string(kMarked) +
                                  " -alpha set -channel A -evaluate set 50% +channel -flip -type TrueColorAlpha " + path));
    ASSERT_EQ(picfiles::readFile(path)[16], 32);
    KGraphic g;
    ASSERT_TRUE(g.loadPicture(path.c_str(), true, false, true));
    const auto t = textureTexels(g);
    EXPECT_EQ(at(t, 4, 0, 0)[2], 255);  // blue, top-left
    EXPECT_NEAR(at(t, 4, 0, 0)[3], 128, 1);
    EXPECT_NEAR(at(t, 4, 2, 1)[3], 128, 1);
}

TEST_F(PictureLoad, UpperCaseTgaGoesToTheDecoderWhichRefusesIt) {
    const std::string path = uprightTga("SHOUT.TGA", kMarked);
    KGraphic g;
    EXPECT_FALSE(g.loadPicture(path.c_str(), true, false, true));
    EXPECT_EQ(boxes(), (Boxes{{"File is corrupted", path}, {path, "file not found or out of memory"}}));
}

TEST_F(PictureLoad, DecodedFormatsAreUpright24Bit) {
    // A ".tga" in a folder's name does not make the files in it TGA.
    std::filesystem::create_directory(dir.file("x.tga.d"));
    for (const char *name : {"x.tga.d/pic.bmp", "x.tga.d/pic.png", "x.tga.d/pic.jpg"}) {
        SCOPED_TRACE(name);
        // Blue top half, red bottom half: large blocks survive JPEG.
        const std::string path = dir.file(name);
        ASSERT_TRUE(picfiles::convert("-size 16x16 xc:red -fill blue -draw 'rectangle 0,0 15,7' -quality 100 " + path));
        gltest::messageBoxes().clear();
        KGraphic g;
        ASSERT_TRUE(g.loadPicture(path.c_str(), true, true, true));
        EXPECT_TRUE(boxes().empty());
        EXPECT_EQ(g.getWidth(), 16);
        EXPECT_EQ(g.getHeight(), 16);
        EXPECT_EQ(g.picX1, 0);
        EXPECT_EQ(g.picY1, 0);
        const auto t = textureTexels(g);
        const Texel top = at(t, 16, 3, 2), bottom = at(t, 16, 3, 13);
        EXPECT_LT(top[0], 8);
        EXPECT_GT(top[2], 247);
        EXPECT_GT(bottom[0], 247);
        EXPECT_LT(bottom[2], 8);
        EXPECT_EQ(top[3], 255);
    }
}

TEST_F(PictureLoad, PngTransparencyIsDroppedLikeAnyDecodedPicture) {
    const std::string path = dir.file("clear.png");
    ASSERT_TRUE(picfiles::convert("-size 4x4 xc:'rgba(0,255,0,0)' " + path));
    KGraphic g;
    ASSERT_TRUE(g.loadPicture(path.c_str(), true, true, true));
    EXPECT_EQ(at(textureTexels(g), 4, 1, 1)[3], 255);
}

TEST_F(PictureLoad, ColourKeyMakesMatchingPixelsTransparent) {
    const std::string path = uprightTga("key.tga", "-size 3x2 xc:red -fill magenta -draw 'point 0,0'");
    KGraphic g;
    g.setColorKey(true, 255, 0, 255);
    ASSERT_TRUE(g.loadPicture(path.c_str(), true, true, true));
    EXPECT_EQ(at(textureTexels(g), 4, 0, 0), (Texel{255, 0, 255, 0}));
    EXPECT_EQ(at(textureTexels(g), 4, 1, 0), (Texel{255, 0, 0, 255}));
    KGraphic plain;
    ASSERT_TRUE(plain.loadPicture(path.c_str(), true, true, true));
    EXPECT_EQ(at(textureTexels(plain), 4, 0, 0), (Texel{255, 0, 255, 255}));
}

TEST_F(PictureLoad, KeepPixelsKeepsTheWholeTextureCopy) {
    const std::string path = uprightTga("keep.tga", "-size 5x2 xc:'rgb(1,2,3)'");
    KGraphic kept, dropped;
    ASSERT_TRUE(kept.loadPicture(path.c_str(), true, true, true));
    ASSERT_TRUE(dropped.loadPicture(path.c_str(), true, false, true));
    EXPECT_EQ(dropped._pixels, nullptr);
    ASSERT_NE(kept._pixels, nullptr);
    const std::vector<uint8_t> copy(kept._pixels, kept._pixels + 8 * 8 * 4);
    EXPECT_EQ(copy, textureTexels(kept));
    EXPECT_EQ(at(copy, 8, 4, 1), (Texel{1, 2, 3, 255}));
    EXPECT_EQ(at(copy, 8, 7, 7), (Texel{0, 0, 0, 0}));
    kept.freePicture();
    EXPECT_EQ(kept._pixels, nullptr);
}

TEST_F(PictureLoad, MissingFilesShowTheirBoxes) {
    const std::string jpg = dir.file("missing.jpg"), tga = dir.file("missing.tga");
    KGraphic g;
    EXPECT_FALSE(g.loadPicture(jpg.c_str(), true, false, true));
    EXPECT_EQ(boxes(), (Boxes{{"file not found", jpg}, {jpg, "file not found or out of memory"}}));
    gltest::messageBoxes().clear();
    EXPECT_FALSE(g.loadPicture(tga.c_str(), true, false, true));
    EXPECT_EQ(boxes(), (Boxes{{"Could not open file", tga}, {tga, "file not found or out of memory"}}));
    EXPECT_EQ(g.texture, 0u);
}

TEST_F(PictureLoad, FailedLoadKeepsThePictureAlreadyHeld) {
    const std::string good = uprightTga("good.tga", kMarked);
    KGraphic g;
    ASSERT_TRUE(g.loadPicture(good.c_str(), true, false, true));
    const uint32_t name = g.texture;
    EXPECT_FALSE(g.loadPicture(dir.file("nothing.bmp").c_str(), true, false, true));
    EXPECT_EQ(g.texture, name);
    EXPECT_EQ(g.getWidth(), 3);
    EXPECT_EQ(g.getHeight(), 2);
}

TEST_F(PictureLoad, FreePictureReleasesOnce) {
    const std::string path = uprightTga("free.tga", kMarked);
    KGraphic never;
    const int32_t start = KGraphic::getVideoMemory();
    never.freePicture();
    EXPECT_EQ(KGraphic::getVideoMemory(), start);
    KGraphic g;
    ASSERT_TRUE(g.loadPicture(path.c_str(), true, true, true));
    const uint32_t name = g.texture;
    EXPECT_TRUE(glIsTexture(name));
    EXPECT_EQ(KGraphic::getVideoMemory(), start + 2 * 4 * 4);
    g.freePicture();
    EXPECT_EQ(KGraphic::getVideoMemory(), start);
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ(g.getWidth(), 0);
    EXPECT_EQ(g.getHeight(), 0);
    g.freePicture();
    EXPECT_EQ(KGraphic::getVideoMemory(), start);
    // Texture size and target stay as they were.
    EXPECT_EQ(g._ftextureWIDTH, 4);
    EXPECT_EQ(g._glEnum, uint32_t(GL_TEXTURE_2D));
}

TEST_F(PictureLoad, InternalFormatFilterAndWrap) {
    const std::string path = uprightTga("format.tga", kMarked);
    struct Case {
        bool withAlpha, trueColor;
        GLint format;
    };
    for (Case c : {Case{true, true, GL_RGBA8}, Case{true, false, GL_RGBA}, Case{false, true, GL_RGB8},
                   Case{false, false, GL_RGB}}) {
        KGraphic g;
        ASSERT_TRUE(g.loadPicture(path.c_str(), c.withAlpha, false, c.trueColor));
        GLint format = 0;
        glBindTexture(GL_TEXTURE_2D, g.texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
        EXPECT_EQ(format, c.format) << c.withAlpha << c.trueColor;
        EXPECT_EQ(textureParameter(g, GL_TEXTURE_WRAP_S), GL_REPEAT);
        EXPECT_EQ(textureParameter(g, GL_TEXTURE_WRAP_T), GL_REPEAT);
        EXPECT_EQ(textureParameter(g, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
        EXPECT_EQ(textureParameter(g, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    }
    KGraphic::setGraphicQuality(true);
    KGraphic smooth;
    ASSERT_TRUE(smooth.loadPicture(path.c_str(), true, false, true));
    glBindTexture(GL_TEXTURE_2D, 0);  // the filter is fixed at load; keep it out of the reset
    KGraphic::setGraphicQuality(false);
    EXPECT_EQ(textureParameter(smooth, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(textureParameter(smooth, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
}

TEST_F(PictureLoad, RectangleTexturesKeepThePictureSize) {
    const std::string odd = uprightTga("rect.tga", "-size 5x3 xc:'rgb(9,8,7)'");
    const std::string square = uprightTga("square.tga", "-size 8x8 xc:'rgb(9,8,7)'");
    KWindow::setRectangleTexCap(true);
    KGraphic r, s;
    const bool loaded = r.loadPicture(odd.c_str(), true, true, true) && s.loadPicture(square.c_str(), true, true, true);
    KWindow::setRectangleTexCap(false);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(r._glEnum, 0x84F5u);
    EXPECT_EQ(r._ftextureWIDTH, 5);
    EXPECT_EQ(r._ftextureHEIGHT, 3);
    EXPECT_EQ(at(textureTexels(r), 5, 4, 2), (Texel{9, 8, 7, 255}));
    EXPECT_EQ(s._glEnum, uint32_t(GL_TEXTURE_2D));
    EXPECT_EQ(s._ftextureWIDTH, 8);
}

TEST_F(PictureLoad, PicturesBeyondTheDriverLimitAreRefused) {
    const GLint limit = maxTextureSize();
    ASSERT_GT(limit, 0);
    // A valid TGA one pixel wider than any texture the driver takes.
    const std::string tga = dir.file("wide.tga");
    picfiles::writeFile(tga, picfiles::tgaBytes(uint16_t(limit + 1), 1, 24, std::vector<unsigned char>((limit + 1) * 3, 9)));
    KGraphic g;
    EXPECT_FALSE(g.loadPicture(tga.c_str(), true, false, true));
    EXPECT_EQ(boxes(), (Boxes{{"Picture too large", tga}}));
    EXPECT_EQ(g.texture, 0u);
    // Within the limit, one row whose square texture would take gigabytes; in a
    // rectangle texture of its own size it is small.
    ASSERT_GE(limit, 8192);
    const std::string thin = dir.file("thin.tga");
    picfiles::writeFile(thin, picfiles::tgaBytes(uint16_t(limit), 1, 24, std::vector<unsigned char>(limit * 3, 9)));
    gltest::messageBoxes().clear();
    const int64_t memory = KGraphic::getVideoMemory();
    EXPECT_FALSE(g.loadPicture(thin.c_str(), true, false, true));
    EXPECT_EQ(boxes(), (Boxes{{"Picture too large", thin}}));
    EXPECT_EQ(KGraphic::getVideoMemory(), memory);
    KWindow::setRectangleTexCap(true);
    EXPECT_TRUE(g.loadPicture(thin.c_str(), true, false, true));
    KWindow::setRectangleTexCap(false);
    g.freePicture();
    // The same for a decoded picture, refused before it is decoded (the decoder would
    // report its own, different caption for the checksum the new width breaks).
    const std::string png = dir.file("wide.png");
    ASSERT_TRUE(picfiles::convert("-size 4x1 xc:white " + png));
    auto bytes = picfiles::readFile(png);
    ASSERT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "IHDR");
    const uint32_t wide = uint32_t(limit) + 1;
    for (int i = 0; i < 4; ++i)
        bytes[16 + i] = uint8_t(wide >> (24 - 8 * i));
    picfiles::writeFile(png, bytes);
    gltest::messageBoxes().clear();
    EXPECT_FALSE(g.loadPicture(png.c_str(), true, false, true));
    EXPECT_EQ(boxes(), (Boxes{{"file is corrupt", png}, {png, "file not found or out of memory"}}));
}
