// Broken picture files fail with their message boxes and never read past their end
// (also run under the sanitizers). No window: every case fails before GL is needed.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "KGraphic.h"
#include "gl_window.h"

namespace {

const std::string kNotFound = "file not found or out of memory";

std::string garbage(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char &b : bytes)
        b = char(random());
    return bytes;
}

class BrokenPicture : public ::testing::Test {
protected:
    BoxRecorder boxes;
    // The boxes a load of these bytes showed; the load must fail and leave nothing.
    Boxes load(const std::string &name, const std::string &bytes) {
        dir.write(name, bytes);
        return loadPath(dir.path(name));
    }
    Boxes loadPath(const std::string &path) {
        KGraphic g;  // before the screen size is set: a box of its own
        shownBoxes().clear();
        EXPECT_FALSE(g.loadPicture(path.c_str(), true, true, true)) << path;
        EXPECT_EQ(g.texture, 0u);
        EXPECT_EQ(g.getWidth(), 0);
        return shownBoxes();
    }
    std::string encoded(const std::string &name, const std::string &drawing) {
        EXPECT_TRUE(convert(drawing + " " + dir.path(name)));
        return dir.read(name);
    }
    TempDir dir;
};

TEST_F(BrokenPicture, TgaCutShallowOversizedOrGarbageIsRefused) {
    const std::string path = dir.path("x.tga");
    const Boxes outOfData = {{"Out of data to read", path}}, shallow = {{"Non supported Format", path}};
    EXPECT_EQ(load("x.tga", ""), (Boxes{{"file is 0 byte", path}, {path, kNotFound}}));
    for (uint8_t depth : {24, 32}) {
        const std::string whole = tgaBytes(5, 3, depth, garbage(5 * 3 * depth / 8, depth));
        for (size_t n = 1; n < whole.size(); ++n) {
            SCOPED_TRACE(std::to_string(depth) + " bits cut to " + std::to_string(n));
            EXPECT_EQ(load("x.tga", whole.substr(0, n)), outOfData);
            EXPECT_EQ(load("x.tga", "pihs" + whole.substr(0, n)), outOfData);
        }
    }
    struct Case {
        uint16_t w, h;
        uint8_t depth;
        const Boxes &boxes;
    };
    for (Case c : {Case{4, 4, 8, shallow}, Case{4, 4, 16, shallow}, Case{4, 4, 23, shallow},
                   Case{65535, 65535, 16, shallow}, Case{65535, 65535, 32, outOfData}, Case{65535, 1, 27, outOfData},
                   Case{65535, 65535, 255, outOfData}}) {
        EXPECT_EQ(load("x.tga", tgaBytes(c.w, c.h, c.depth, garbage(4096, 1))), c.boxes) << c.w << " " << int(c.depth);
    }
    std::filesystem::create_directory(dir.path("folder.tga"));
    for (const std::string &p : {dir.path("missing.tga"), dir.path("folder.tga")})
        EXPECT_EQ(loadPath(p), (Boxes{{"Could not open file", p}, {p, kNotFound}}));
}

TEST_F(BrokenPicture, DecodedFilesCutGarbageOrOversizedAreRefused) {
    const std::string drawing = "-size 40x30 gradient:red-blue";
    std::string bmp = encoded("whole.bmp", drawing + " -type TrueColor");
    std::string png = encoded("whole.png", drawing), jpg = encoded("whole.jpg", drawing);
    std::string rle = encoded("rle.bmp", drawing + " -type Palette -compress RLE");
    const size_t scan = jpg.find("\xFF\xDA"), frame = jpg.find("\xFF\xC0");
    ASSERT_NE(scan, std::string::npos);
    ASSERT_NE(frame, std::string::npos);
    struct Case {
        std::string name, whole;
        size_t longest;
    };
    for (const Case &c : {Case{"x.bmp", bmp, bmp.size() - 1}, Case{"x.png", png, png.size() / 2},
                          Case{"x.jpg", jpg, scan}, Case{"x", garbage(900, 1), 900}}) {
        const std::string path = dir.path(c.name);
        for (size_t n = 0; n <= c.longest; n += 7) {
            SCOPED_TRACE(c.name + " cut to " + std::to_string(n));
            const Boxes boxes = load(c.name, c.whole.substr(0, n));
            ASSERT_EQ(boxes.size(), 2u);
            EXPECT_TRUE(boxes[0] == Boxes::value_type("File is corrupted", path) ||
                        boxes[0] == Boxes::value_type("file is corrupt", path));
            EXPECT_EQ(boxes[1], Boxes::value_type(path, kNotFound));
        }
    }
    // Header bytes promising more rows than a texture takes are refused before decoding.
    bmp.replace(22, 4, std::string("\x60\xEA\0\0", 4));
    rle.replace(22, 4, std::string("\x60\xEA\0\0", 4));
    png.replace(20, 4, std::string("\0\x01\x86\xA0", 4));
    jpg.replace(frame + 5, 2, "\xFD\xE8");
    for (const std::string name : {"big.bmp", "big.png", "big.jpg", "rle.bmp"}) {
        const std::string &bytes = name == "big.bmp" ? bmp : name == "big.png" ? png : name == "big.jpg" ? jpg : rle;
        EXPECT_EQ(load(name, bytes), (Boxes{{"file is corrupt", dir.path(name)}, {dir.path(name), kNotFound}}));
    }
}

}  // namespace
