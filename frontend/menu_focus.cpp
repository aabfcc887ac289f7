// The menu without a mouse: keys and pads move a focus over its controls, and Enter
// presses the focused one exactly as a click there would. Until a key is used the
// menu reads the mouse alone and draws no focus.
#include <algorithm>
#include <vector>

#include "brolix_layout.h"
#include "menu.h"
#include "prefs.h"
#include "KInput.h"

using namespace layout;

namespace {
bool steering = false;   // keys or a pad moved the focus since the mouse last did
Rect focused = {};       // the control with the focus; kept by place, as panels open and close
MouseWatch mouse;
const int kVolumeStep = 6;
const int kRightColumn = 7;   // the main buttons and PLAY

bool same(const Rect &a, const Rect &b) { return a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2; }

// The open panel's controls, then the main buttons and PLAY: the screen's left
// column top to bottom, a row left to right, then the right column.
std::vector<Rect> controls() {
    std::vector<Rect> list;
    switch (gCurrentMenu) {
    case 0: list = {MODE_ROWS[0], MODE_ROWS[1], MODE_ROWS[2], MODE_ROWS[3], DIFF_BOXES[0], DIFF_BOXES[1], DIFF_BOXES[2]};
        break;
    case 2: list = {RESET_BUTTON, VOLUME_SLIDER, GEM_SET_BUTTON}; break;
    case 3: list = {HIGH_TABS[0], HIGH_TABS[1], HIGH_TABS[2], HIGH_TABS[3]}; break;
    case 4: list = {CREDITS_MAIL, CREDITS_WEB}; break;
    default: break;
    }
    list.insert(list.end(), std::begin(MAIN_BUTTONS), std::end(MAIN_BUTTONS));
    list.push_back(PLAY);
    return list;
}

int indexOf(const std::vector<Rect> &list, const Rect &r) {
    const auto at = std::find_if(list.begin(), list.end(), [&](const Rect &c) { return same(c, r); });
    return at == list.end() ? 0 : int(at - list.begin());
}

// This frame's keys, each asked once so that a tap is taken once and a repeat counts right.
struct Keys {
    int step = 0;     // -1, 0, +1 along the focus order
    int across = 0;   // left -1, right +1
    bool press = false;
};

Keys readKeys() {
    Keys k;
    k.step = (KInput::isTyped(K_VK_TAB) ? (shiftHeld() ? -1 : 1) : 0) + KInput::isTyped(K_VK_DOWN) - KInput::isTyped(K_VK_UP);
    k.across = KInput::isTyped(K_VK_RIGHT) - KInput::isTyped(K_VK_LEFT);
    k.press = KInput::isTyped(K_VK_RETURN) | KInput::isTyped(K_VK_SPACE);
    return k;
}

MenuPointer centreOf(const Rect &r, bool press) { return {(r.x1 + r.x2) / 2, (r.y1 + r.y2) / 2, press}; }
}  // namespace

MenuPointer readMenuPointer() {
    const int16_t x = KInput::getMouseX(), y = KInput::getMouseY();
    const bool down = KInput::getLeftButtonState();
    const Keys keys = readKeys();
    if (mouse.tookOver(x, y, down)) {
        steering = false;
        return {x, y, down};
    }
    const std::vector<Rect> list = controls();
    if (!steering) {
        if (!keys.step && !keys.across && !keys.press) return {x, y, down};
        steering = true;   // the first key only shows where the focus is
        focused = list[0];
        return centreOf(focused, false);
    }
    // Left and right on the slider press it a step beside the knob; Enter there would
    // drop the knob in the middle.
    if (same(focused, VOLUME_SLIDER) && (keys.across || keys.press)) {
        const int at = std::clamp(VOLUME_SLIDER.x1 + prefs.volume + keys.across * kVolumeStep, VOLUME_SLIDER.x1 + 1,
                                  VOLUME_SLIDER.x2 - 1);
        return {at, (VOLUME_SLIDER.y1 + VOLUME_SLIDER.y2) / 2, keys.across != 0};
    }
    const int size = int(list.size());
    focused = list[size_t((indexOf(list, focused) + std::clamp(keys.step + keys.across, -1, 1) + size) % size)];
    return centreOf(focused, keys.press);
}

void drawMenuFocus() {
    if (steering) drawFocusRing(focused);
}

bool menuFocusBack() {
    const std::vector<Rect> list = controls();
    const int panel = int(list.size()) - kRightColumn;
    if (!steering || indexOf(list, focused) >= panel) return false;
    focused = list[size_t(panel + std::clamp(int(gCurrentMenu), 0, 5))];
    KInput::waitForKeyRelease(K_VK_ESCAPE);
    return true;
}
