// The engine without a display or a sound device (also run under the sanitizers). Refused
// sound files are the device test's: with no device every load fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "KFramePacer.h"
#include "KGraphic.h"
#include "KInput.h"
#include "KMiscTools.h"
#include "KTextLayout.h"
#include "KWindow.h"
#include "gl_window.h"
#include "sound_files.h"

namespace {

// Frames of 14 ms whose rules take 1 ms and whose drawing takes drawMs, on a made-up
// clock; the watch sees every flip as the window feeds it.
struct PacedLoop {
    KFramePacer pacer{14 * kMs};
    KDrawingWatch watch;
    int64_t now = 0;
    int tooSlow = 0;   // times the watch said so
    double lastMeanMs = 0;
    static constexpr int64_t kMs = 1000000;
    bool frame(int drawMs) {  // true when the frame was drawn
        now += kMs;
        const bool drawn = pacer.startFlip(now);
        if (drawn)
            now += drawMs * kMs;
        if (watch.flipped(now, !drawn, drawn ? drawMs * kMs : 0))
            tooSlow++, lastMeanMs = watch.meanDrawingNs() / double(kMs), watch.restart();   // as the window does
        now = std::max(now, pacer.finishFlip(now, drawn && drawMs > 0));
        return drawn;
    }
    void run(int seconds, int drawMs, int slowEvery = 1) {   // every slowEvery-th frame takes drawMs, the others 2 ms
        for (int64_t end = now + seconds * 1000 * kMs, i = 0; now < end; i++)
            frame(i % slowEvery == 0 ? drawMs : 2);
    }
};

TEST(FramePacing, LateFramesGoUndrawnAndOnlyDrawingBehindForSecondsIsTooSlow) {
    PacedLoop loop;
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(loop.frame(2));
    const int64_t start = loop.now;
    EXPECT_TRUE(loop.frame(40));  // 27 ms late
    EXPECT_FALSE(loop.frame(2));
    EXPECT_FALSE(loop.frame(2));
    EXPECT_TRUE(loop.frame(2));
    EXPECT_EQ(loop.now, start + 4 * 14 * PacedLoop::kMs) << "four frames, four periods of real time";

    // Drawing that never keeps up, even by many frames at once, shows every fifth frame.
    int undrawn = 0, drawn = 0;
    for (int i = 0; i < 40; i++) {
        undrawn = loop.frame(i < 20 ? 80 : 150) ? (drawn++, 0) : undrawn + 1;
        EXPECT_LE(undrawn, 4);
    }
    EXPECT_EQ(drawn, 8);
    // A delay that was not drawing (a load, a stall) starts afresh: the next frames wait.
    loop.now += 300 * PacedLoop::kMs;
    EXPECT_TRUE(loop.frame(2));
    const int64_t afresh = loop.now;
    EXPECT_TRUE(loop.frame(2));
    EXPECT_EQ(loop.now, afresh + 14 * PacedLoop::kMs);

    // Only drawing behind for a sustained stretch, unbroken by a second that kept up or a wait,
    // lowers the render scale: once, with the time a drawn frame took.
    loop.watch.restart(), loop.tooSlow = 0;
    loop.run(10, 10);
    loop.run(10, 40, 20);   // a load spike now and then
    EXPECT_EQ(loop.tooSlow, 0);

    loop.run(KDrawingWatch::kSlowSeconds - 1, 22);
    loop.run(1, 3);
    loop.run(KDrawingWatch::kSlowSeconds - 1, 22);
    loop.now += 2000 * PacedLoop::kMs;   // waited for the focus
    loop.run(KDrawingWatch::kSlowSeconds - 1, 22);
    EXPECT_EQ(loop.tooSlow, 0);

    loop.run(2, 22);
    EXPECT_EQ(loop.tooSlow, 1);
    EXPECT_NEAR(loop.lastMeanMs, 22, 0.5);
    loop.run(KDrawingWatch::kSlowSeconds - 1, 22);
    EXPECT_EQ(loop.tooSlow, 1);
}

TEST(SoftwareRenderer, KnownStringsInAnyCaseWithinTheirBuffer) {
    struct Case {
        const char *vendor, *renderer;
        bool software;
    };
    const std::string longVendor(5000, 'a'), late = std::string(3000, 'b') + "llvmpipe", early = "llvmpipe" + late;
    for (Case c : {Case{"Microsoft Corporation", "GDI Generic", true}, Case{"MICROSOFT CORPORATION", "Some Card", true},
                   Case{"Vendor", "gdi GENERIC", true}, Case{"Mesa", "llvmpipe (LLVM 15.0.6, 256 bits)", true},
                   Case{"Mesa", "Gallium 0.4 on SoftPipe", true}, Case{"Mesa", "Software Rasterizer SWRAST", true},
                   Case{"Intel", "Mesa Intel(R) UHD Graphics 620", false}, Case{"Microsoft", "D3D12 (NVIDIA)", false},
                   Case{nullptr, nullptr, false}, Case{longVendor.c_str(), late.c_str(), false},  // past 2047
                   Case{longVendor.c_str(), early.c_str(), true}})
        EXPECT_EQ(KWindow::isSoftwareRenderer(c.vendor, c.renderer), c.software) << (c.renderer ? c.renderer : "");
}

TEST(Keys, OutsideTheTableAreNeverPressed) {
    for (int id : {93, 200, 255})
        EXPECT_FALSE(KInput::isPressed(static_cast<EKeyboardLayout>(id))) << id;
}

// A bitmap font's glyphs: '1' advances 10, '2' 12; 'A' twice (the first wins); 0xE9 is
// above 127; then records past the end mark, which are never read.
KFont font[] = {{'1', 0, 0, 10, 16, 10, 16}, {'2', 10, 0, 22, 16, 12, 16}, {'A', 22, 0, 30, 16, 8, 16},
                {'A', 30, 0, 44, 16, 14, 16}, {char(0xE9), 44, 0, 53, 16, 9, 16}, {0, 0, 0, 0, 0, 0, 0},
                {'z', 0, 0, 5, 5, 5, 5}};

// Beyond ASCII: é and 宝 (U+5B9D), from a second picture.
const KGlyph wide[] = {{0xE9, 60, 0, 67, 16, 7, 16}, {0x5B9D, 70, 0, 82, 16, 12, 16}, {0, 0, 0, 0, 0, 0, 0}};

using Placements = std::vector<std::pair<int32_t, int32_t>>;  // glyph's x1 (wide: + 1000), pen x

template <class Layout>
Placements placed(Layout layout, const char *text, int32_t x, int32_t spacing, const KGlyph *beyond = nullptr) {
    Placements p;
    layout(font, beyond, text, x, spacing,
           [&](const KTextLayout::Placed &g, int32_t pen) { p.emplace_back(g.glyph._x1 + (g.wide ? 1000 : 0), pen); });
    return p;
}

TEST(TextLayout, PenWidthAndCentringRules) {
    using Place = std::function<void(const KTextLayout::Placed &, int32_t)>;
    auto fromLeft = KTextLayout::fromLeft<Place>;
    auto fromRight = KTextLayout::fromRight<Place>;
    EXPECT_EQ(placed(fromLeft, "1?2", 50, 2), (Placements{{0, 50}, {10, 62}}));  // a missing character leaves no gap
    EXPECT_EQ(placed(fromLeft, "A\xE9", 0, 0), (Placements{{22, 0}, {44, 8}}));
    EXPECT_EQ(placed(fromRight, "12", 300, 2), (Placements{{10, 286}, {0, 274}}));  // ends spacing before x
    // With glyphs beyond ASCII a UTF-8 sequence is one character; a byte starting none (Latin-1,
    // overlong, cut, surrogate) is looked up alone, as without them, where é's bytes find nothing.
    EXPECT_EQ(placed(fromLeft, "1\xC3\xA9\xE5\xAE\x9D" "2", 0, 1, wide),
              (Placements{{0, 0}, {1060, 11}, {1070, 19}, {10, 32}}));
    EXPECT_EQ(placed(fromRight, "\xE5\xAE\x9D" "1", 100, 0, wide), (Placements{{0, 90}, {1070, 78}}));
    EXPECT_EQ(placed(fromLeft, "\xE9" "A\xC0\xA9\xE0\x83\xA9\xE5\xAE\xED\xA0\x80", 0, 0, wide),
              (Placements{{44, 0}, {22, 9}}));
    EXPECT_TRUE(placed(fromLeft, "\xC3\xA9", 0, 0).empty());
    EXPECT_EQ(KTextLayout::measure(font, wide, "\xE5\xAE\x9D\xE5\xAE\x9D", 1), 26);

    EXPECT_EQ(KTextLayout::measure(font, nullptr, "1z2", 2), 26);  // spacing after every glyph
    EXPECT_EQ(KTextLayout::measure(font, nullptr, "11", -3), 14);
    EXPECT_EQ(KTextLayout::measure(font, nullptr, "zz", 2), 0);
    EXPECT_EQ(KTextLayout::measure(font, nullptr, "", 2), -1);
    EXPECT_EQ(KTextLayout::measure(font, nullptr, nullptr, 2), -1);
    EXPECT_EQ(KTextLayout::measure(nullptr, nullptr, "12", 2), -1);
    EXPECT_EQ(KTextLayout::getCharIndex(font, '\0'), -1);

    EXPECT_EQ(KTextLayout::centredStart(100, 200, 40), 130);
    EXPECT_EQ(KTextLayout::centredStart(100, 200, 41), 129);  // rounds toward zero
    EXPECT_EQ(KTextLayout::centredStart(100, 200, 121), 90);  // wider than the gap: starts left of x1
}

// The game's file names become paths beside the executable, never past the buffer.
TEST(FilePath, GameNamesBecomePathsBesideTheExecutableCutToTheBuffer) {
    const std::string folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::string name400 = "data\\" + std::string(395, 'x');
    const std::pair<const char *, std::string> cases[] = {
        {"/data/s60", folder + "/data/s60"}, {"\\data\\s60", folder + "/data/s60"}, {":data/s60", folder + "/data/s60"},
        {"//data", folder + "//data"},  // only one leading separator goes
        {"", folder + "/"}, {name400.c_str(), (folder + "/data/" + std::string(395, 'x')).substr(0, 259)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(std::string(KMiscTools::makeFilePath(c.first)), c.second) << c.first;
}

// Broken picture files never read past their end.
Boxes refused(const char *why, const std::string &path) { return {{why, path}, {path, "file not found or out of memory"}}; }

// The boxes a load showed; the load must fail and leave nothing.
Boxes loadPath(const std::string &path) {
    KGraphic g;  // before the screen size is set: a box of its own
    shownBoxes().clear();
    EXPECT_FALSE(g.loadPicture(path.c_str(), true, true, true)) << path;
    EXPECT_EQ(std::make_pair(g.texture, g.getWidth()), std::make_pair(0u, 0.0f));
    return shownBoxes();
}

TEST(BrokenPicture, TgaAndDecodedFilesCutShallowOversizedOrGarbageAreRefused) {
    BoxRecorder boxes;
    TempDir dir;
    auto load = [&dir](const std::string &name, const std::string &bytes) {
        dir.write(name, bytes);
        return loadPath(dir.path(name));
    };
    auto encoded = [&dir](const std::string &name, const std::string &drawing) {
        EXPECT_TRUE(convert(drawing + " " + dir.path(name)));
        return dir.read(name);
    };
    const std::string path = dir.path("x.tga");
    const Boxes outOfData = {{"Out of data to read", path}}, shallow = {{"Non supported Format", path}};
    EXPECT_EQ(load("x.tga", ""), refused("file is 0 byte", path));
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
    for (Case c : {Case{4, 4, 23, shallow}, Case{65535, 65535, 16, shallow}, Case{65535, 65535, 32, outOfData},
                   Case{65535, 1, 27, outOfData}, Case{65535, 65535, 255, outOfData}}) {
        EXPECT_EQ(load("x.tga", tgaBytes(c.w, c.h, c.depth, garbage(4096, 1))), c.boxes) << c.w << " " << int(c.depth);
    }
    std::filesystem::create_directory(dir.path("folder.tga"));
    for (const std::string &p : {dir.path("missing.tga"), dir.path("folder.tga")})
        EXPECT_EQ(loadPath(p), refused("Could not open file", p));

    // Decoded formats cut, garbage or oversized.
    const std::string drawing = "-size 40x30 gradient:red-blue";
    std::string bmp = encoded("whole.bmp", drawing + " -type TrueColor");
    std::string png = encoded("whole.png", drawing), jpg = encoded("whole.jpg", drawing);
    std::string rle = encoded("rle.bmp", drawing + " -type Palette -compress RLE");
    const size_t scan = jpg.find("\xFF\xDA"), frame = jpg.find("\xFF\xC0");
    ASSERT_NE(scan, std::string::npos);
    ASSERT_NE(frame, std::string::npos);
    struct Cut {
        std::string name, whole;
        size_t longest;
    };
    for (const Cut &c : {Cut{"x.bmp", bmp, bmp.size() - 1}, Cut{"x.png", png, png.size() / 2},
                         Cut{"x.jpg", jpg, scan}, Cut{"x", garbage(900, 1), 900}}) {
        const std::string cutPath = dir.path(c.name);
        for (size_t n = 0; n <= c.longest; n += 7) {
            SCOPED_TRACE(c.name + " cut to " + std::to_string(n));
            const Boxes boxes = load(c.name, c.whole.substr(0, n));
            EXPECT_TRUE(boxes == refused("File is corrupted", cutPath) || boxes == refused("file is corrupt", cutPath));
        }
    }
    // Header bytes promising more rows than a texture takes are refused before decoding.
    const std::string rows("\x60\xEA\0\0", 4);
    const std::pair<std::string, std::string> oversized[] = {
        {"big.bmp", bmp.replace(22, 4, rows)}, {"rle.bmp", rle.replace(22, 4, rows)},
        {"big.png", png.replace(20, 4, std::string("\0\x01\x86\xA0", 4))}, {"big.jpg", jpg.replace(frame + 5, 2, "\xFD\xE8")}};
    for (const auto &[name, bytes] : oversized)
        EXPECT_EQ(load(name, bytes), refused("file is corrupt", dir.path(name)));
}

const bool kNoDevice = (useSoundConfig("[general]\ndrivers=no-such-sound-card\n"), true);

TEST(Sound, WavScanNeverReadsPastTheEndAndAnyVolumePicksAStep) {
    ASSERT_TRUE(kNoDevice);
    KSound s;
    const std::string fmt = chunk("fmt ", pcmFormat(1, 8000, 16)), data = chunk("data", "\1\2\3\4\5\6");
    struct Case {
        std::string file;
        long length;
        uint32_t rate;  // 0: no format
    };
    const Case cases[] = {
        {riff(data + fmt), 6, 0},                                        // data first: the scan ends there
        {riff(fmt + chunk("fmt ", pcmFormat(2, 48000, 8)) + chunk("data", "\1\2") + data), 2, 8000},
        {"xyz" + fmt + "B" + data, 6, 8000},                             // tags at any byte offset
        {riff(chunk("fmt ", pcmFormat(1, 8000, 16), 12) + data), 6, 0},  // declared shorter than a PCM record
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(&c - cases);
        EXPECT_EQ(KSoundTestAccess::parse(s, c.file), c.length);
        const KWaveFormat *f = KSoundTestAccess::format(s);
        EXPECT_EQ(f ? f->samplesPerSec : 0, c.rate);
    }
    const std::string wav = toneWav(64, 1, 44100);  // every cut, shorter than declared: fmt body ends at 36, samples at 44
    for (size_t n = 0; n <= wav.size(); n++) {
        EXPECT_EQ(KSoundTestAccess::parse(s, wav.substr(0, n)), n < 44 ? -1 : long(n - 44)) << n;
        EXPECT_EQ(KSoundTestAccess::format(s) != nullptr, n >= 36) << "cut to " << n;
    }
    // Any master and channel volume, out of range too, picks a step of the table.
    struct Volumes {
        int master, channel, step;
    };
    const Volumes volumes[] = {{100, 100, 100}, {85, 200, 100}, {25, 200, 50}, {50, 3, 1}, {99, 1, 0},
                               {-1, 50, 0}, {-100, 100, 0}, {INT_MAX, INT_MAX, 100}, {INT_MIN, INT_MAX, 0}};
    for (Volumes c : volumes)
        EXPECT_EQ(KSoundTestAccess::fechnerIndex(c.master, c.channel), c.step) << c.master << " x " << c.channel;
}

}  // namespace
