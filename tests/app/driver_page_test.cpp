// The driver page (shown where GL has no hardware) in a real window, answered by every hand.
#include <gtest/gtest.h>

#include <SDL.h>

#include <functional>
#include <string>
#include <vector>

#include "../game/input_script.h"
#include "game_window.h"
#include "gl_window.h"
#include "brolix_layout.h"
#include "shell.h"
#include "KFrame.h"
#include "KGamepad.h"
#include "KPlatform.h"

namespace {

std::string opened;

// The flips the page took to answer the hand; one that never answers is clicked through at flip 300.
int answer(const std::function<void(int)> &hand, bool &download) {
    int flips = 0;
    inputScript::onFlip([&] {
        hand(++flips);
        if (flips == 300) inputScript::pointAt(400, 420), inputScript::setButton(true);
    });
    download = NoAcceleration();
    inputScript::onFlip(nullptr), inputScript::setButton(false);
    for (int key = 0; key < K_VK_COUNT; key++) inputScript::setKey(EKeyboardLayout(key), false);
    return flips;
}

bool ringAt(const layout::Rect &r) {   // the white focus ring round a button
    KFrame::drawPending();
    return backPixel(r.x1 - 3, r.y1 - 3) == Rgb{255, 255, 255};
}

// The first Right or Tab only shows the focus, Space takes the focused button; a Return still held
// from the dialog is no answer.
// A pad's A and B read as Return and Escape; its d-pad steers as the arrows do.
TEST(DriverPage, KeysAndAPadAnswerIt) {
    GameWindow window;
    KPlatform::Scope platform;
    inputScript::reset();
    KPlatform::calls.launchURL = [](const char *url, bool) { opened += url, opened += "\n"; };
    bool download = true, continueRing = false, downloadRing = true;
    const auto steer = [&](int flip) {
        inputScript::setKey(K_VK_TAB, flip == 3);
        if (flip == 5) continueRing = ringAt(layout::DRIVER_CONTINUE), downloadRing = ringAt(layout::DRIVER_DOWNLOAD);
        inputScript::setKey(K_VK_RIGHT, flip == 6);
        inputScript::setKey(K_VK_SPACE, flip == 9);
    };
    EXPECT_LT(answer(steer, download), 15);
    EXPECT_TRUE(continueRing && !downloadRing) << "the first key shows the focus where it starts";
    EXPECT_TRUE(download);
    opened.clear();

    inputScript::setKey(K_VK_RETURN, true);   // from the start-up dialog
    const int flips = answer([](int flip) { inputScript::setKey(K_VK_RETURN, flip >= 20 && flip < 22); }, download);
    EXPECT_GE(flips, 20) << "a held Return answered";
    EXPECT_LT(flips, 30);

    KPlatform::calls.isPressed = KPlatform::native.isPressed;
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");   // the test's window need not have the focus
    const int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                                 SDL_CONTROLLER_BUTTON_MAX, 0);
    ASSERT_GE(device, 0) << SDL_GetError();
    SDL_Joystick *pad = SDL_JoystickOpen(device);
    // Each button held until the page has seen it and let go until it has not.
    const auto buttons = [&](std::vector<std::pair<int, EKeyboardLayout>> presses) {
        return [=](int flip) mutable {
            if (flip < 3 || presses.empty()) return;   // one held as the page shows is no answer
            const auto [button, key] = presses.front();
            const bool down = SDL_JoystickGetButton(pad, button);
            if (!down && !KGamepad::holds(key)) SDL_JoystickSetVirtualButton(pad, button, 1);
            else if (down && KGamepad::holds(key)) SDL_JoystickSetVirtualButton(pad, button, 0), presses.erase(presses.begin());
        };
    };
    const int a = SDL_CONTROLLER_BUTTON_A, b = SDL_CONTROLLER_BUTTON_B, right = SDL_CONTROLLER_BUTTON_DPAD_RIGHT;
    const struct { std::vector<std::pair<int, EKeyboardLayout>> presses; bool download; } hands[] = {
        {{{a, K_VK_RETURN}}, false}, {{{b, K_VK_ESCAPE}}, false}, {{{right, K_VK_RIGHT}, {right, K_VK_RIGHT}, {a, K_VK_RETURN}}, true}};
    for (const auto &hand : hands) {
        download = !hand.download;
        EXPECT_LT(answer(buttons(hand.presses), download), 200) << "answered by the click at flip 300";
        EXPECT_EQ(download, hand.download);
        EXPECT_EQ(opened.find("driver") != std::string::npos, hand.download) << opened;
        opened.clear();
        for (int button : {a, b, right}) SDL_JoystickSetVirtualButton(pad, button, 0);   // answered as it went down
    }
    SDL_JoystickClose(pad);
    SDL_JoystickDetachVirtual(device);
}

}  // namespace
