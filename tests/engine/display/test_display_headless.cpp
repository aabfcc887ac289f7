// Key identifiers, their bindings, the software-renderer rule, and the pump and
// pacing before any window exists: no display needed.
#include <gtest/gtest.h>

#include <SDL.h>
#include <algorithm>
#include <set>

#include "KFramePacer.h"
#include "KInput.h"
#include "KMiscTools.h"
#include "KWindow.h"

namespace {

// The values the game and stored data rely on, at the ends of each group.
TEST(KeyIdentifiers, HaveTheirFixedValues) {
    const int expected[][2] = {
        {K_VK_LEFT, 0},  {K_VK_DOWN, 2},       {K_VK_RIGHT, 3},   {K_VK_RETURN, 7},  {K_VK_R_CONTROL, 8},
        {K_VK_F1, 10},   {K_VK_F12, 21},       {K_VK_ESCAPE, 24}, {K_VK_A, 25},      {K_VK_P, 40},
        {K_VK_Z, 50},    {K_VK_0, 51},         {K_VK_NUM9, 70},   {K_VK_DIVIDE, 75}, {K_VK_ALT, 77},
        {K_VK_SCROLL, 81}, {K_VK_BACKQUOTE, 88}, {K_VK_QUOTE, 92}, {K_VK_COUNT, 93},
    };
    for (const auto &pair : expected)
        EXPECT_EQ(pair[0], pair[1]);
    EXPECT_EQ(sizeof(EKeyboardLayout), 1u);
}

TEST(KeyboardLayoutTable, EachRecordNamesItsIndexAndADistinctPhysicalKey) {
    std::set<uint16_t> scancodes;
    for (int i = 0; i < K_VK_COUNT; i++) {
        EXPECT_EQ(KeyboardLayout[i].key, i);
        EXPECT_NE(KeyboardLayout[i].scancode, SDL_SCANCODE_UNKNOWN) << i;
        EXPECT_LT(KeyboardLayout[i].scancode, SDL_NUM_SCANCODES) << i;
        scancodes.insert(KeyboardLayout[i].scancode);
    }
    EXPECT_EQ(scancodes.size(), size_t(K_VK_COUNT));
}

TEST(KeyIdentifiers, OutsideTheTableAreNeverPressed) {
    // No window and no video: still a plain "not pressed", never a read past the table.
    EXPECT_FALSE(KInput::isPressed(static_cast<EKeyboardLayout>(93)));
    EXPECT_FALSE(KInput::isPressed(static_cast<EKeyboardLayout>(200)));
    EXPECT_FALSE(KInput::isPressed(static_cast<EKeyboardLayout>(255)));
}

TEST(SoftwareRenderer, KnownSoftwareStringsInAnyCase) {
    EXPECT_TRUE(KWindow::isSoftwareRenderer("Microsoft Corporation", "GDI Generic"));
    EXPECT_TRUE(KWindow::isSoftwareRenderer("MICROSOFT CORPORATION", "Some Card"));
    EXPECT_TRUE(KWindow::isSoftwareRenderer("Vendor", "gdi GENERIC"));
    EXPECT_TRUE(KWindow::isSoftwareRenderer("Mesa/X.org", "llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_TRUE(KWindow::isSoftwareRenderer("Mesa", "Gallium 0.4 on SoftPipe"));
    EXPECT_TRUE(KWindow::isSoftwareRenderer("Mesa Project", "Software Rasterizer SWRAST"));
}

TEST(SoftwareRenderer, HardwareAndMissingStrings) {
    EXPECT_FALSE(KWindow::isSoftwareRenderer("NVIDIA Corporation", "GeForce GTX 1060/PCIe/SSE2"));
    EXPECT_FALSE(KWindow::isSoftwareRenderer("Intel", "Mesa Intel(R) UHD Graphics 620 (KBL GT2)"));
    EXPECT_FALSE(KWindow::isSoftwareRenderer("AMD", "AMD Radeon RX 580 (radeonsi, polaris10)"));
    // "Microsoft" alone, or in the renderer, is not the rule.
    EXPECT_FALSE(KWindow::isSoftwareRenderer("Microsoft", "D3D12 (NVIDIA)"));
    EXPECT_FALSE(KWindow::isSoftwareRenderer(nullptr, nullptr));
}

TEST(SoftwareRenderer, LongStringsAreReadWithinTheirBuffer) {
    std::string longVendor(5000, 'a');
    std::string lateMark = std::string(3000, 'b') + "llvmpipe";
    EXPECT_FALSE(KWindow::isSoftwareRenderer(longVendor.c_str(), lateMark.c_str()));   // past 2047 characters
    std::string earlyMark = "llvmpipe" + std::string(3000, 'b');
    EXPECT_TRUE(KWindow::isSoftwareRenderer(longVendor.c_str(), earlyMark.c_str()));
}

TEST(PointerMapping, WithoutFullScreenWindowPixelsAreLogicalPixels) {
    int x = -5, y = 700;
    KWindow::windowToLogical(&x, &y);
    EXPECT_EQ(x, -5);
    EXPECT_EQ(y, 700);
}

TEST(NoWindowYet, PumpingIsHarmlessAndFlipsAreStillPaced) {
    KWindow::processEvents();
    EXPECT_FALSE(KWindow::isQuit());
    KWindow::flipBackBuffer(true);   // no window to wait for: returns
    for (int i = 0; i < 3; i++) {
        uint32_t first = KMiscTools::getMilliseconds();
        KWindow::flipBackBuffer(true);
        uint32_t second = KMiscTools::getMilliseconds();
        EXPECT_GE(second - first, 13u);
        EXPECT_EQ(KWindow::getWindow(), nullptr);
    }
    KWindow::terminate();
    EXPECT_TRUE(KWindow::isQuit());
}

// Frames of 14 ms whose rules take 1 ms and whose drawing takes drawMs, on a made-up clock.
struct PacedLoop {
    KFramePacer pacer{14 * kMs};
    int64_t now = 0;
    static constexpr int64_t kMs = 1000000;
    bool frame(int drawMs) {   // true when the frame was drawn
        now += kMs;
        const bool drawn = pacer.startFlip(now);
        if (drawn) now += drawMs * kMs;
        now = std::max(now, pacer.finishFlip(now, drawn && drawMs > 0));
        return drawn;
    }
};

TEST(FramePacing, ASlowFrameIsFollowedByUndrawnFramesUntilTheScheduleIsMet) {
    PacedLoop loop;
    for (int i = 0; i < 3; i++) EXPECT_TRUE(loop.frame(2));
    const int64_t start = loop.now;
    EXPECT_TRUE(loop.frame(40));   // 27 ms late
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

}  // namespace
