// Picture records, texture sizes and texel conversion, without GL.
#include "KGraphicPixels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace KPixels;

namespace {

// An uncompressed TGA record: header + rows bottom-up. `rowsTopFirst` holds B,G,R(,A) per pixel.
std::vector<uint8_t> tga(uint16_t w, uint16_t h, uint8_t depth, const std::vector<uint8_t> &rowsTopFirst,
                         uint16_t xOrigin = 0, uint16_t yOrigin = 0) {
    std::vector<uint8_t> r(kHeaderSize, 0);
    r[2] = 2;
    r[8] = uint8_t(xOrigin), r[9] = uint8_t(xOrigin >> 8);
    r[10] = uint8_t(yOrigin), r[11] = uint8_t(yOrigin >> 8);
    r[12] = uint8_t(w), r[13] = uint8_t(w >> 8);
    r[14] = uint8_t(h), r[15] = uint8_t(h >> 8);
    r[16] = depth;
    const size_t row = rowsTopFirst.size() / (h ? h : 1);
    for (int y = h - 1; y >= 0; --y)
        r.insert(r.end(), rowsTopFirst.begin() + y * row, rowsTopFirst.begin() + (y + 1) * row);
    return r;
}

std::vector<uint8_t> texel(const std::vector<uint8_t> &t, uint32_t texWidth, uint32_t x, uint32_t y) {
    auto p = t.begin() + (size_t(texWidth) * y + x) * 4;
    return {p, p + 4};
}

using Texel = std::vector<uint8_t>;

// Reads the record's header, which must be accepted, and compares its fields.
void expectHeader(const std::vector<uint8_t> &record, Header expected) {
    Header h;
    ASSERT_EQ(readHeader(record.data(), record.size(), h), Check::ok);
    EXPECT_EQ(h.width, expected.width);
    EXPECT_EQ(h.height, expected.height);
    EXPECT_EQ(h.depth, expected.depth);
    EXPECT_EQ(h.xOrigin, expected.xOrigin);
    EXPECT_EQ(h.yOrigin, expected.yOrigin);
}

Header header(uint16_t w, uint16_t h, uint8_t depth, uint16_t x = 0, uint16_t y = 0) {
    Header out;
    out.width = w, out.height = h, out.depth = depth, out.xOrigin = x, out.yOrigin = y;
    return out;
}

}  // namespace

TEST(TgaPrefix, OnlyTheExactFourBytesArePrefix) {
    const uint8_t pihs[] = {'p', 'i', 'h', 's', 0, 0};
    const uint8_t upper[] = {'P', 'I', 'H', 'S', 0, 0};
    EXPECT_EQ(tgaDataOffset(pihs, sizeof pihs), 4u);
    EXPECT_EQ(tgaDataOffset(pihs, 4), 4u);
    EXPECT_EQ(tgaDataOffset(pihs, 3), 0u);
    EXPECT_EQ(tgaDataOffset(upper, sizeof upper), 0u);
}

TEST(TgaHeader, ReadsFieldsAndAcceptsExactLength) {
    auto r = tga(2, 3, 24, std::vector<uint8_t>(2 * 3 * 3, 7), 11, 513);
    expectHeader(r, header(2, 3, 24, 11, 513));
    EXPECT_EQ(pixelBytes(header(2, 3, 24)), 18u);
    EXPECT_EQ(pixelBytes(header(2, 3, 32)), 24u);
    EXPECT_EQ(pixelBytes(header(2, 3, 31)), 18u);
}

TEST(TgaHeader, RefusesShallowDepthsBeforeLength) {
    for (uint8_t depth : {0, 8, 15, 16, 23}) {
        auto r = tga(4, 4, depth, {});
        Header h;
        EXPECT_EQ(readHeader(r.data(), r.size(), h), Check::unsupportedDepth) << int(depth);
    }
}

TEST(TgaHeader, RefusesDataShorterThanAnnounced) {
    Header h;
    auto r = tga(3, 2, 32, std::vector<uint8_t>(3 * 2 * 4, 1));
    EXPECT_EQ(readHeader(r.data(), r.size() - 1, h), Check::truncated);
    EXPECT_EQ(readHeader(r.data(), kHeaderSize - 1, h), Check::truncated);
    EXPECT_EQ(readHeader(r.data(), 0, h), Check::truncated);
    auto huge = tga(65535, 65535, 32, std::vector<uint8_t>(64, 0));
    huge.resize(kHeaderSize + 64);
    EXPECT_EQ(readHeader(huge.data(), huge.size(), h), Check::truncated);
    // Odd depths announce whole bytes per pixel too.
    auto odd = tga(2, 2, 25, std::vector<uint8_t>(2 * 2 * 3, 1));
    EXPECT_EQ(readHeader(odd.data(), odd.size(), h), Check::ok);
    EXPECT_EQ(readHeader(odd.data(), odd.size() - 1, h), Check::truncated);
}

TEST(TextureSize, PowerOfTwoNeverBelowFour) {
    EXPECT_EQ(powerOfTwoSide(0, 0), 4u);
    EXPECT_EQ(powerOfTwoSide(3, 3), 4u);
    EXPECT_EQ(powerOfTwoSide(4, 4), 4u);
    EXPECT_EQ(powerOfTwoSide(5, 2), 8u);
    EXPECT_EQ(powerOfTwoSide(2, 5), 8u);
    EXPECT_EQ(powerOfTwoSide(640, 480), 1024u);
    EXPECT_EQ(powerOfTwoSide(1024, 1), 1024u);
    EXPECT_EQ(powerOfTwoSide(1025, 1), 2048u);
    EXPECT_EQ(powerOfTwoSide(65535, 1), 65536u);
}

TEST(TextureSize, SquareTexturesWithoutRectangleCap) {
    TextureLayout l = textureLayout(640, 480, false);
    EXPECT_EQ(l.target, kTexture2D);
    EXPECT_EQ(l.width, 1024u);
    EXPECT_EQ(l.height, 1024u);
    l = textureLayout(5, 2, false);
    EXPECT_EQ(l.width, 8u);
    EXPECT_EQ(l.height, 8u);
}

TEST(TextureSize, RectangleCapKeepsPictureSizeExceptFittingSquares) {
    TextureLayout l = textureLayout(640, 480, true);
    EXPECT_EQ(l.target, kTextureRectangle);
    EXPECT_EQ(l.width, 640u);
    EXPECT_EQ(l.height, 480u);
    l = textureLayout(64, 64, true);
    EXPECT_EQ(l.target, kTexture2D);
    EXPECT_EQ(l.width, 64u);
    l = textureLayout(4, 4, true);
    EXPECT_EQ(l.target, kTexture2D);
    // Square but below the minimum side, or not a power of two: rectangle.
    l = textureLayout(2, 2, true);
    EXPECT_EQ(l.target, kTextureRectangle);
    EXPECT_EQ(l.width, 2u);
    l = textureLayout(3, 3, true);
    EXPECT_EQ(l.target, kTextureRectangle);
}

TEST(Texels, TwentyFourBitsTopRowFirstOpaqueRestTransparentBlack) {
    // Top row: red, green; bottom row: blue, white (B, G, R order in the file).
    auto r = tga(2, 2, 24, {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255});
    Header h;
    ASSERT_EQ(readHeader(r.data(), r.size(), h), Check::ok);
    std::vector<uint8_t> t(4 * 4 * 4, 0);
    convertTexels(r.data() + kHeaderSize, h, h.height, 4, {}, t.data());
    EXPECT_EQ(texel(t, 4, 0, 0), (Texel{255, 0, 0, 255}));
    EXPECT_EQ(texel(t, 4, 1, 0), (Texel{0, 255, 0, 255}));
    EXPECT_EQ(texel(t, 4, 0, 1), (Texel{0, 0, 255, 255}));
    EXPECT_EQ(texel(t, 4, 1, 1), (Texel{255, 255, 255, 255}));
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            if (x >= 2 || y >= 2) {
                EXPECT_EQ(texel(t, 4, x, y), (Texel{0, 0, 0, 0})) << x << "," << y;
            }
}

TEST(Texels, ThirtyTwoBitsKeepFileAlpha) {
    auto r = tga(1, 2, 32, {10, 20, 30, 40, 50, 60, 70, 0});
    Header h;
    ASSERT_EQ(readHeader(r.data(), r.size(), h), Check::ok);
    std::vector<uint8_t> t(4 * 4 * 4, 0);
    convertTexels(r.data() + kHeaderSize, h, h.height, 4, {}, t.data());
    EXPECT_EQ(texel(t, 4, 0, 0), (Texel{30, 20, 10, 40}));
    EXPECT_EQ(texel(t, 4, 0, 1), (Texel{70, 60, 50, 0}));
}

TEST(Texels, ColourKeyClearsOnlyAlpha) {
    // Magenta, then a near-magenta that must stay opaque.
    auto r = tga(2, 1, 24, {255, 0, 255, 255, 1, 255});
    Header h;
    ASSERT_EQ(readHeader(r.data(), r.size(), h), Check::ok);
    std::vector<uint8_t> t(4 * 4 * 4, 0);
    convertTexels(r.data() + kHeaderSize, h, h.height, 4, {true, 255, 0, 255}, t.data());
    EXPECT_EQ(texel(t, 4, 0, 0), (Texel{255, 0, 255, 0}));
    EXPECT_EQ(texel(t, 4, 1, 0), (Texel{255, 1, 255, 255}));
    std::vector<uint8_t> off(4 * 4 * 4, 0);
    convertTexels(r.data() + kHeaderSize, h, h.height, 4, {false, 255, 0, 255}, off.data());
    EXPECT_EQ(texel(off, 4, 0, 0), (Texel{255, 0, 255, 255}));
}

TEST(Texels, OddDepthsConvertNothing) {
    for (uint8_t depth : {25, 31, 40}) {
        auto r = tga(2, 2, depth, std::vector<uint8_t>(2 * 2 * (depth / 8), 200));
        Header h;
        ASSERT_EQ(readHeader(r.data(), r.size(), h), Check::ok);
        std::vector<uint8_t> t(4 * 4 * 4, 0);
        convertTexels(r.data() + kHeaderSize, h, h.height, 4, {}, t.data());
        EXPECT_EQ(t, std::vector<uint8_t>(4 * 4 * 4, 0)) << int(depth);
    }
}

TEST(GenericRecord, BottomUpBgrWithoutRowPadding) {
    // Two rows of three pixels, with four bytes of padding per row in the source.
    const size_t pitch = 13;
    std::vector<uint8_t> rows(pitch * 2, 0xEE);
    for (int i = 0; i < 9; ++i) {
        rows[i] = uint8_t(i + 1);              // top row
        rows[pitch + i] = uint8_t(100 + i);    // bottom row
    }
    std::vector<uint8_t> rec(recordSize(3, 2), 0xAA);
    ASSERT_EQ(rec.size(), kHeaderSize + 18);
    recordFromBgrRows(rows.data(), pitch, 3, 2, rec.data());
    expectHeader(rec, header(3, 2, 24));
    for (size_t i = 0; i < kHeaderSize; ++i)
        if (i != 12 && i != 14 && i != 16) {
            EXPECT_EQ(rec[i], 0) << i;
        }
    EXPECT_EQ(rec[kHeaderSize], 100);       // bottom row first
    EXPECT_EQ(rec[kHeaderSize + 9], 1);     // then the top row, right after 9 bytes
    // The record converts back to the upright picture.
    std::vector<uint8_t> t(4 * 4 * 4, 0);
    convertTexels(rec.data() + kHeaderSize, header(3, 2, 24), 2, 4, {}, t.data());
    EXPECT_EQ(texel(t, 4, 0, 0), (Texel{3, 2, 1, 255}));
    EXPECT_EQ(texel(t, 4, 2, 1), (Texel{108, 107, 106, 255}));
}

TEST(ScreenGrab, BottomUpRowsBecomeTopFirstColourOnly) {
    // 2 x 2 screen read bottom row first.
    std::vector<uint8_t> screen = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    std::vector<uint8_t> t(4 * 4 * 4, 0);
    flipScreenRows(screen.data(), 2, 2, 4, t.data());
    EXPECT_EQ(texel(t, 4, 0, 0), (Texel{9, 10, 11, 0}));
    EXPECT_EQ(texel(t, 4, 1, 0), (Texel{13, 14, 15, 0}));
    EXPECT_EQ(texel(t, 4, 0, 1), (Texel{1, 2, 3, 0}));
    EXPECT_EQ(texel(t, 4, 2, 0), (Texel{0, 0, 0, 0}));
    EXPECT_EQ(texel(t, 4, 0, 2), (Texel{0, 0, 0, 0}));
}

namespace {

std::vector<uint8_t> bmpHeader(int32_t w, int32_t h, uint16_t bpp, uint32_t compression, size_t dataBytes) {
    std::vector<uint8_t> b(54 + dataBytes, 0);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); };
    b[0] = 'B', b[1] = 'M';
    put32(2, uint32_t(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(w));
    put32(22, uint32_t(h));
    b[26] = 1;
    b[28] = uint8_t(bpp);
    put32(30, compression);
    return b;
}

std::vector<uint8_t> pngHeader(uint32_t w, uint32_t h) {
    std::vector<uint8_t> p = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (uint32_t v : {w, h})
        for (int s = 24; s >= 0; s -= 8)
            p.push_back(uint8_t(v >> s));
    p.resize(p.size() + 17, 0);
    return p;
}

std::vector<uint8_t> jpegHeader(uint16_t w, uint16_t h) {
    // SOI, an APP0 segment to skip, then a baseline frame header.
    std::vector<uint8_t> j = {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 'x', 'x', 0xFF, 0xC0, 0, 11, 8,
                              uint8_t(h >> 8), uint8_t(h), uint8_t(w >> 8), uint8_t(w), 1, 1, 0x11, 0};
    return j;
}

}  // namespace

TEST(DecoderGuard, BmpSidesAndRowsMustFit) {
    EXPECT_TRUE(decodableSize(bmpHeader(4, 4, 24, 0, 48).data(), 54 + 48, 16384));
    EXPECT_TRUE(decodableSize(bmpHeader(4, -4, 24, 0, 48).data(), 54 + 48, 16384));   // top-down
    EXPECT_TRUE(decodableSize(bmpHeader(3, 2, 24, 0, 12 + 9).data(), 54 + 21, 16384)); // last row unpadded
    EXPECT_FALSE(decodableSize(bmpHeader(3, 2, 24, 0, 20).data(), 54 + 20, 16384));
    EXPECT_FALSE(decodableSize(bmpHeader(60000, 60000, 24, 0, 0).data(), 54, 16384));
    EXPECT_FALSE(decodableSize(bmpHeader(100, 100, 24, 0, 10).data(), 64, 16384));
    EXPECT_FALSE(decodableSize(bmpHeader(20000, 1, 8, 1, 10).data(), 64, 16384));     // RLE: side only
    EXPECT_TRUE(decodableSize(bmpHeader(100, 100, 8, 1, 10).data(), 64, 16384));
    const uint8_t tiny[] = {'B', 'M', 0, 0};
    EXPECT_FALSE(decodableSize(tiny, sizeof tiny, 16384));
}

TEST(DecoderGuard, PngAndJpegSides) {
    auto ok = pngHeader(640, 480), wide = pngHeader(20000, 1), tall = pngHeader(1, 0x80000000u);
    EXPECT_TRUE(decodableSize(ok.data(), ok.size(), 16384));
    EXPECT_FALSE(decodableSize(wide.data(), wide.size(), 16384));
    EXPECT_FALSE(decodableSize(tall.data(), tall.size(), 16384));
    auto j = jpegHeader(640, 480), bigJ = jpegHeader(65000, 2);
    EXPECT_TRUE(decodableSize(j.data(), j.size(), 16384));
    EXPECT_FALSE(decodableSize(bigJ.data(), bigJ.size(), 16384));
    EXPECT_TRUE(decodableSize(bigJ.data(), bigJ.size(), 65535));
    // Sides the driver takes, but 256 MiB of pixels: more than any texture may hold.
    auto squareP = pngHeader(8192, 8192), squareJ = jpegHeader(8192, 8192);
    EXPECT_FALSE(decodableSize(squareP.data(), squareP.size(), 16384));
    EXPECT_FALSE(decodableSize(squareJ.data(), squareJ.size(), 16384));
    // A frame header cut short, or other data: left to the decoder.
    EXPECT_TRUE(decodableSize(bigJ.data(), 12, 16384));
    const uint8_t other[] = {'G', 'I', 'F', '8', '9', 'a'};
    EXPECT_TRUE(decodableSize(other, sizeof other, 16384));
}
