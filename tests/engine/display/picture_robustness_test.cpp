// Broken picture files fail cleanly, each with its message boxes, without reading past
// their end (run under the sanitizers). No window: every case fails before GL is needed.
#include "KGraphic.h"
#include "KMiscTools.h"
#include "picture_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace {

using Boxes = std::vector<std::pair<std::string, std::string>>;

Boxes &shown() {
    static Boxes boxes;
    return boxes;
}

void record(const char *title, const char *text) { shown().emplace_back(title, text); }

const std::string kNotFound = "file not found or out of memory";

class BrokenPictures : public ::testing::Test {
protected:
    void SetUp() override {
        previous = KMiscTools::setMessageBoxHook(record);
        shown().clear();
    }
    void TearDown() override { KMiscTools::setMessageBoxHook(previous); }

    // Loads the bytes under the name and returns the boxes shown; the load must fail.
    Boxes failLoad(const std::string &name, const std::vector<unsigned char> &bytes) {
        const std::string path = dir.file(name);
        picfiles::writeFile(path, bytes);
        return failLoadPath(path);
    }
    Boxes failLoadPath(const std::string &path) {
        KGraphic g;
        shown().clear();
        EXPECT_FALSE(g.loadPicture(path.c_str(), true, true, true)) << path;
        EXPECT_EQ(g.texture, 0u);
        EXPECT_EQ(g._pixels, nullptr);
        EXPECT_EQ(g.getWidth(), 0);
        return shown();
    }
    std::vector<unsigned char> encoded(const std::string &name, const std::string &drawing) {
        const std::string path = dir.file(name);
        EXPECT_TRUE(picfiles::convert(drawing + " " + path));
        return picfiles::readFile(path);
    }
    static std::vector<unsigned char> garbage(size_t size, unsigned seed) {
        std::mt19937 random(seed);
        std::vector<unsigned char> bytes(size);
        for (unsigned char &b : bytes)
            b = uint8_t(random());
        return bytes;
    }
    picfiles::TempDir dir;
    KMiscTools::MessageBoxHook previous = nullptr;
};

}  // namespace

TEST_F(BrokenPictures, PictureMadeBeforeTheScreenSizeWarns) {
    KGraphic g;
    EXPECT_EQ(shown(), (Boxes{{"Screen Dimensions not specified, you will not see anything",
                               "KGraphic::SetScreenSize Not Called!"}}));
    EXPECT_EQ(g.getWidth(), 0);
    EXPECT_EQ(g._glEnum, 0x0DE1u);
    EXPECT_EQ(g._sourceAlpha, 0x0302);      // GL_SRC_ALPHA
    EXPECT_EQ(g._destAlpha, 0x0303);        // GL_ONE_MINUS_SRC_ALPHA
    g.setAlphaMode(false);
    EXPECT_EQ(g._destAlpha, 0x0304);        // GL_DST_ALPHA
}

TEST_F(BrokenPictures, TgaFilesThatCannotBeRead) {
    const std::string missing = dir.file("missing.tga");
    EXPECT_EQ(failLoadPath(missing), (Boxes{{"Could not open file", missing}, {missing, kNotFound}}));
    const std::string folder = dir.file("folder.tga");
    std::filesystem::create_directory(folder);
    EXPECT_EQ(failLoadPath(folder), (Boxes{{"Could not open file", folder}, {folder, kNotFound}}));
    const std::string empty = dir.file("empty.tga");
    EXPECT_EQ(failLoad("empty.tga", {}), (Boxes{{"file is 0 byte", empty}, {empty, kNotFound}}));
}

TEST_F(BrokenPictures, EveryTruncationOfARealTgaIsRefused) {
    for (const char *type : {"TrueColor", "TrueColorAlpha"}) {
        const auto whole = encoded("whole.tga", std::string("-size 5x3 xc:orange -type ") + type);
        ASSERT_GT(whole.size(), 18u);
        for (size_t length = 1; length < whole.size(); ++length) {
            SCOPED_TRACE(std::string(type) + " cut to " + std::to_string(length));
            const std::string path = dir.file("cut.tga");
            const std::vector<unsigned char> cut(whole.begin(), whole.begin() + long(length));
            EXPECT_EQ(failLoad("cut.tga", cut), (Boxes{{"Out of data to read", path}}));
            std::vector<unsigned char> prefixed = {'p', 'i', 'h', 's'};
            prefixed.insert(prefixed.end(), cut.begin(), cut.end());
            EXPECT_EQ(failLoad("cut.tga", prefixed), (Boxes{{"Out of data to read", path}}));
        }
    }
    const std::string path = dir.file("prefix.tga");
    EXPECT_EQ(failLoad("prefix.tga", {'p', 'i', 'h', 's'}), (Boxes{{"Out of data to read", path}}));
}

TEST_F(BrokenPictures, OversizedTgaHeadersAreRefused) {
    const std::string path = dir.file("huge.tga");
    for (uint8_t depth : {24, 32, 27, 255}) {
        SCOPED_TRACE(int(depth));
        EXPECT_EQ(failLoad("huge.tga", picfiles::tgaBytes(65535, 65535, depth, std::vector<unsigned char>(4096, 7))),
                  (Boxes{{"Out of data to read", path}}));
        EXPECT_EQ(failLoad("huge.tga", picfiles::tgaBytes(65535, 1, depth, std::vector<unsigned char>(1000, 7))),
                  (Boxes{{"Out of data to read", path}}));
    }
    // A shallow depth is named as such, whatever the length.
    EXPECT_EQ(failLoad("huge.tga", picfiles::tgaBytes(65535, 65535, 16, {})), (Boxes{{"Non supported Format", path}}));
}

TEST_F(BrokenPictures, GarbageTgaIsRefused) {
    const std::string path = dir.file("garbage.tga");
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        auto bytes = garbage(64 + seed * 37, seed);
        // Keep the announced picture larger than the data so the outcome is known.
        bytes[12] = 0xFF, bytes[13] = 0x7F, bytes[14] = uint8_t(seed), bytes[15] = 0x01;
        bytes[16] = uint8_t(24 + seed % 9);
        EXPECT_EQ(failLoad("garbage.tga", bytes), (Boxes{{"Out of data to read", path}}));
        bytes[16] = uint8_t(seed % 24);
        EXPECT_EQ(failLoad("garbage.tga", bytes), (Boxes{{"Non supported Format", path}}));
    }
}

TEST_F(BrokenPictures, DecodedFilesThatCannotBeRead) {
    const std::string missing = dir.file("missing.jpg");
    EXPECT_EQ(failLoadPath(missing), (Boxes{{"file not found", missing}, {missing, kNotFound}}));
    const std::string empty = dir.file("empty.bmp");
    EXPECT_EQ(failLoad("empty.bmp", {}), (Boxes{{"file is corrupt", empty}, {empty, kNotFound}}));
    const std::string folder = dir.file("folder.jpg");
    std::filesystem::create_directory(folder);
    EXPECT_EQ(failLoadPath(folder), (Boxes{{"file is corrupt", folder}, {folder, kNotFound}}));
}

TEST_F(BrokenPictures, GarbageDecodedFilesAreRefused) {
    for (const char *name : {"garbage.bmp", "garbage.jpg", "garbage.png", "garbage"}) {
        const std::string path = dir.file(name);
        for (unsigned seed = 1; seed <= 10; ++seed) {
            SCOPED_TRACE(std::string(name) + " seed " + std::to_string(seed));
            EXPECT_EQ(failLoad(name, garbage(100 * seed, seed)), (Boxes{{"File is corrupted", path}, {path, kNotFound}}));
        }
    }
}

TEST_F(BrokenPictures, TruncatedDecodedFilesAreRefused) {
    const std::string drawing = "-size 40x30 gradient:red-blue";
    // BMP: any cut short of its rows; PNG: cut inside its data; JPEG: cut before the scan.
    const auto bmp = encoded("whole.bmp", drawing + " -type TrueColor");
    const auto png = encoded("whole.png", drawing);
    const auto jpg = encoded("whole.jpg", drawing);
    size_t scan = 0;
    for (size_t i = 2; i + 1 < jpg.size() && !scan; ++i)
        if (jpg[i] == 0xFF && jpg[i + 1] == 0xDA)
            scan = i;
    ASSERT_GT(scan, 0u);
    struct Case {
        const char *name;
        const std::vector<unsigned char> &whole;
        size_t shortest, longest;
    };
    for (const Case &c : {Case{"cut.bmp", bmp, 1, bmp.size() - 1}, Case{"cut.png", png, 1, png.size() / 2},
                          Case{"cut.jpg", jpg, 1, scan}}) {
        const std::string path = dir.file(c.name);
        for (size_t length = c.shortest; length <= c.longest; length += 7) {
            SCOPED_TRACE(std::string(c.name) + " cut to " + std::to_string(length));
            const Boxes boxes = failLoad(c.name, {c.whole.begin(), c.whole.begin() + long(length)});
            ASSERT_EQ(boxes.size(), 2u);
            EXPECT_TRUE(boxes[0].first == "File is corrupted" || boxes[0].first == "file is corrupt") << boxes[0].first;
            EXPECT_EQ(boxes[0].second, path);
            EXPECT_EQ(boxes[1], (std::pair<std::string, std::string>{path, kNotFound}));
        }
    }
}

TEST_F(BrokenPictures, OversizedDecodedHeadersAreRefusedBeforeDecoding) {
    auto bmp = encoded("big.bmp", "-size 4x4 xc:red -type TrueColor");
    ASSERT_EQ(bmp[0], 'B');
    for (int at : {18, 22})  // 60000 x 60000 from a 100-byte file
        bmp[at] = 0x60, bmp[at + 1] = 0xEA, bmp[at + 2] = 0, bmp[at + 3] = 0;
    auto png = encoded("big.png", "-size 4x4 xc:red");
    for (int at : {16, 20})
        png[at] = 0x00, png[at + 1] = 0x01, png[at + 2] = 0x86, png[at + 3] = 0xA0;  // 100000
    auto jpg = encoded("big.jpg", "-size 4x4 xc:red");
    size_t frame = 0;
    for (size_t i = 2; i + 1 < jpg.size() && !frame; ++i)
        if (jpg[i] == 0xFF && (jpg[i + 1] == 0xC0 || jpg[i + 1] == 0xC2))
            frame = i;
    ASSERT_GT(frame, 0u);
    jpg[frame + 5] = 0xFD, jpg[frame + 6] = 0xE8;  // 65000 rows
    jpg[frame + 7] = 0xFD, jpg[frame + 8] = 0xE8;  // 65000 columns
    for (auto c : {std::make_pair("big.bmp", &bmp), std::make_pair("big.png", &png), std::make_pair("big.jpg", &jpg)}) {
        const std::string path = dir.file(c.first);
        EXPECT_EQ(failLoad(c.first, *c.second), (Boxes{{"file is corrupt", path}, {path, kNotFound}})) << c.first;
    }
}
