// Engine rules that need no display: frame pacing, the software-renderer rule, key
// identifiers, where bitmap-font glyphs land, and the game's file names as paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "KFramePacer.h"
#include "KInput.h"
#include "KMiscTools.h"
#include "KTextLayout.h"
#include "KWindow.h"

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

TEST(FramePacing, ASlowFrameIsFollowedByUndrawnFramesUntilTheScheduleIsMet) {
    PacedLoop loop;
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(loop.frame(2));
    const int64_t start = loop.now;
    EXPECT_TRUE(loop.frame(40));  // 27 ms late
    EXPECT_FALSE(loop.frame(2));
    EXPECT_FALSE(loop.frame(2));
    EXPECT_TRUE(loop.frame(2));
    EXPECT_EQ(loop.now, start + 4 * 14 * PacedLoop::kMs) << "four frames, four periods of real time";

    // Drawing that never keeps up still shows every fifth frame.
    int undrawn = 0;
    for (int i = 0; i < 40; i++) {
        undrawn = loop.frame(80) ? 0 : undrawn + 1;
        EXPECT_LE(undrawn, 4);
    }
    // A delay that was not drawing (a load, a stall) starts afresh: the next frames wait.
    loop.now += 300 * PacedLoop::kMs;
    EXPECT_TRUE(loop.frame(2));
    const int64_t afresh = loop.now;
    EXPECT_TRUE(loop.frame(2));
    EXPECT_EQ(loop.now, afresh + 14 * PacedLoop::kMs);
}

// The render scale is lowered only for drawing that falls behind through a sustained
// stretch: not for a fast one, an occasional slow frame, a stretch broken by a second
// that kept up or by a wait; and then once, with the time a drawn frame took.
TEST(FramePacing, OnlyDrawingThatFallsBehindForSecondsOnEndIsTooSlow) {
    PacedLoop loop;
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

// A bitmap font's glyphs: '1' advances 10, '2' 12; 'A' twice (the first wins); 0xE9 is above 127; then records
// past the end mark, which are never read.
KFont font[] = {{'1', 0, 0, 10, 16, 10, 16}, {'2', 10, 0, 22, 16, 12, 16}, {'A', 22, 0, 30, 16, 8, 16},
                {'A', 30, 0, 44, 16, 14, 16}, {char(0xE9), 44, 0, 53, 16, 9, 16}, {0, 0, 0, 0, 0, 0, 0},
                {'z', 0, 0, 5, 5, 5, 5}};

using Placements = std::vector<std::pair<int32_t, int32_t>>;  // glyph index, pen x

template <class Layout>
Placements placed(Layout layout, const char *text, int32_t x, int32_t spacing) {
    Placements p;
    layout(font, text, x, spacing, [&](int32_t i, int32_t pen) { p.emplace_back(i, pen); });
    return p;
}

TEST(TextLayout, PenWidthAndCentringRules) {
    auto fromLeft = KTextLayout::fromLeft<std::function<void(int32_t, int32_t)>>;
    auto fromRight = KTextLayout::fromRight<std::function<void(int32_t, int32_t)>>;
    EXPECT_EQ(placed(fromLeft, "1?2", 50, 2), (Placements{{0, 50}, {1, 62}}));  // a missing character leaves no gap
    EXPECT_EQ(placed(fromLeft, "A\xE9", 0, 0), (Placements{{2, 0}, {4, 8}}));
    EXPECT_EQ(placed(fromRight, "12", 300, 2), (Placements{{1, 286}, {0, 274}}));  // ends spacing before x
    EXPECT_EQ(placed(fromRight, "1z", 300, 3), (Placements{{0, 287}}));
    EXPECT_TRUE(placed(fromLeft, "", 50, 2).empty());
    EXPECT_TRUE(placed(fromRight, "", 50, 2).empty());

    EXPECT_EQ(KTextLayout::measure(font, "1z2", 2), 26);  // spacing after every glyph
    EXPECT_EQ(KTextLayout::measure(font, "11", -3), 14);
    EXPECT_EQ(KTextLayout::measure(font, "zz", 2), 0);
    EXPECT_EQ(KTextLayout::measure(font, "", 2), -1);
    EXPECT_EQ(KTextLayout::measure(font, nullptr, 2), -1);
    EXPECT_EQ(KTextLayout::measure(nullptr, "12", 2), -1);
    EXPECT_EQ(KTextLayout::getCharIndex(font, '\0'), -1);

    EXPECT_EQ(KTextLayout::centredStart(100, 200, 40), 130);
    EXPECT_EQ(KTextLayout::centredStart(100, 200, 41), 129);  // rounds toward zero
    EXPECT_EQ(KTextLayout::centredStart(100, 200, 121), 90);  // wider than the gap: starts left of x1
    EXPECT_EQ(KTextLayout::centredStart(100, 200, 103), 99);
}

// The game's file names become paths beside the executable, never past the buffer.
TEST(FilePath, GameNamesBecomePathsBesideTheExecutableCutToTheBuffer) {
    const std::string folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::string name400 = "data\\" + std::string(395, 'x');
    const std::pair<const char *, std::string> cases[] = {
        {"data\\audio\\click.wav", folder + "/data/audio/click.wav"}, {"prefs.raw", folder + "/prefs.raw"},
        {"/data/s60", folder + "/data/s60"}, {"\\data\\s60", folder + "/data/s60"}, {":data/s60", folder + "/data/s60"},
        {"//data", folder + "//data"},  // only one leading separator goes
        {"", folder + "/"}, {name400.c_str(), (folder + "/data/" + std::string(395, 'x')).substr(0, 259)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(std::string(KMiscTools::makeFilePath(c.first)), c.second) << c.first;
    EXPECT_EQ(KMiscTools::makeFilePath("a"), KMiscTools::makeFilePath("b"));  // one shared buffer
}

}  // namespace
