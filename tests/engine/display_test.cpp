// Display rules that need no display: frame pacing, the software-renderer rule, key identifiers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "KFramePacer.h"
#include "KInput.h"
#include "KWindow.h"

namespace {

// Frames of 14 ms whose rules take 1 ms and whose drawing takes drawMs, on a made-up clock.
struct PacedLoop {
    KFramePacer pacer{14 * kMs};
    int64_t now = 0;
    static constexpr int64_t kMs = 1000000;
    bool frame(int drawMs) {  // true when the frame was drawn
        now += kMs;
        const bool drawn = pacer.startFlip(now);
        if (drawn)
            now += drawMs * kMs;
        now = std::max(now, pacer.finishFlip(now, drawn && drawMs > 0));
        return drawn;
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
