// Display rules that need no display: frame pacing, the software-renderer rule, key identifiers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "KFramePacer.h"
#include "KInput.h"
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

}  // namespace
