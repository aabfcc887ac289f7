#include <chrono>
#include <ctime>
#include <thread>
#include "game_local.h"
#include "sounds.h"
#include "KGraphic.h"
#include "KInput.h"
#include "KSound.h"
#include "KWindow.h"

static constexpr sHotSpot button(const layout::Rect &r, int32_t id, int32_t dx, int32_t dy) {
    return {r.x1, r.y1, r.x2, r.y2, id, nullptr, dx, dy};
}

sHotSpot hotspots[3] = {
    button(layout::GAME_BUTTONS[0], 0, 66, 439),
    button(layout::GAME_BUTTONS[1], 1, 206, 439),
    button(layout::GAME_BUTTONS[2], 2, 319, 439),
};

bool isPointInCell(long x, long y, long mx, long my) {
    long left = boardLeft + cellPitch * x, top = boardTop + cellPitch * y;
    return mx >= left && mx <= left + cellPitch - 1 && my >= top && my <= top + cellPitch - 1;
}

static const sHotSpot *hotspotAt(long mx, long my) {
    for (const sHotSpot &spot : hotspots)
        if (mx >= spot.x1 && mx <= spot.x2 && my >= spot.y1 && my <= spot.y2) return &spot;
    return nullptr;
}

int16_t minutesOfDay() {
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return static_cast<int16_t>(local.tm_hour * 60 + local.tm_min);
}

FrameInput readFrameInput() {
    FrameInput in;
    const long mx = KInput::getMouseX(), my = KInput::getMouseY();
    for (long x = 0; x < boardColumns; x++)
        for (long y = 0; y < boardRows; y++)
            if (isPointInCell(x, y, mx, my)) in.cell = static_cast<int8_t>(y * boardColumns + x);
    if (const sHotSpot *spot = hotspotAt(mx, my)) in.button = static_cast<int8_t>(spot->id);
    in.down = KInput::getLeftButtonState();
    in.f1 = KInput::isPressed(K_VK_F1);
    in.p = KInput::isCommand(K_VK_P);
    in.escape = KInput::isPressed(K_VK_ESCAPE);
    in.clock = minutesOfDay();
    steerFrameInput(in);
    return in;
}

void drawLitButton(const FrameInput &in) {
    if (in.button < 0) return;
    const sHotSpot &spot = hotspots[in.button];
    if (spot.surface)
        spot.surface->blitRect(spot.x1, spot.y1 + layout::LIT, spot.x2, spot.y2 + layout::LIT, int16_t(spot.x1),
                               int16_t(spot.y1));
}

static void play(KSound *sound, bool unlessPlaying) {
    if (sound && !(unlessPlaying && sound->isPlaying())) sound->playSample();
}

void playCues() {
    Cue cues[maxCues];
    const int count = takeCues(cues);
    for (int i = 0; i < count; i++) switch (cues[i]) {
        case Cue::click: play(snd_click, false); break;
        case Cue::good: play(snd_good, true); break;
        case Cue::bomb: play(snd_bomb, false); break;
        case Cue::zap: play(snd_zap, false); break;
        case Cue::swap: play(snd_swap, true); break;
        case Cue::hint: play(snd_hint, false); break;
        case Cue::nohint: play(snd_nohint, false); break;
        case Cue::zapAttack: play(snd_zapattack, false); break;
        case Cue::buttonHeld: waitForButton(false); break;
        case Cue::pauseKeyHeld: KInput::waitForKeyRelease(K_VK_P); break;
        case Cue::escapeKeyHeld: KInput::waitForKeyRelease(K_VK_ESCAPE); break;
        }
}

void waitForButton(bool down) {
    while (KInput::getLeftButtonState() != down && !KWindow::isQuit()) {
        KWindow::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
