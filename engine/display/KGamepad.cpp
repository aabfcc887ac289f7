#include "KGamepad.h"

#include <SDL.h>

#include <map>
#include <utility>

namespace {
// One layout for every pad, as SDL's mapping names the buttons.
struct PadKey {
    SDL_GameControllerButton button;
    EKeyboardLayout key;
};
const PadKey kPadKeys[] = {
    {SDL_CONTROLLER_BUTTON_A, K_VK_RETURN},       {SDL_CONTROLLER_BUTTON_B, K_VK_ESCAPE},
    {SDL_CONTROLLER_BUTTON_X, K_VK_H},            {SDL_CONTROLLER_BUTTON_Y, K_VK_N},
    {SDL_CONTROLLER_BUTTON_START, K_VK_P},        {SDL_CONTROLLER_BUTTON_DPAD_UP, K_VK_UP},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, K_VK_DOWN}, {SDL_CONTROLLER_BUTTON_DPAD_LEFT, K_VK_LEFT},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, K_VK_RIGHT},
};
// Half a stick's travel reads as the arrow it points to.
const int kStickDeadZone = 16384;

bool started = false;
std::map<SDL_JoystickID, SDL_GameController *> pads;
std::map<std::pair<SDL_JoystickID, uint8_t>, int> stickSides;   // -1, 0 or 1 past the dead zone, by pad and axis

void open(int deviceIndex) {
    if (!SDL_IsGameController(deviceIndex))
        return;
    SDL_GameController *pad = SDL_GameControllerOpen(deviceIndex);
    if (!pad)
        return;
    const SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
    if (!pads.emplace(id, pad).second)
        SDL_GameControllerClose(pad);   // already open: give back the second reference
}

void close(SDL_JoystickID id) {
    auto pad = pads.find(id);
    if (pad == pads.end())
        return;
    SDL_GameControllerClose(pad->second);
    pads.erase(pad);
    for (uint8_t axis : {SDL_CONTROLLER_AXIS_LEFTX, SDL_CONTROLLER_AXIS_LEFTY})
        stickSides.erase({id, axis});
}

bool stickPoints(SDL_GameController *pad, EKeyboardLayout key) {
    const int x = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
    const int y = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY);
    switch (key) {
    case K_VK_LEFT: return x < -kStickDeadZone;
    case K_VK_RIGHT: return x > kStickDeadZone;
    case K_VK_UP: return y < -kStickDeadZone;
    case K_VK_DOWN: return y > kStickDeadZone;
    default: return false;
    }
}

int sideOf(int value) { return value < -kStickDeadZone ? -1 : value > kStickDeadZone ? 1 : 0; }

// The arrow a stick has just come to point to; K_VK_COUNT: none. A tilt and its return
// between two frames still count once, as a tapped button does.
EKeyboardLayout stickTilted(const SDL_ControllerAxisEvent &motion) {
    if (motion.axis != SDL_CONTROLLER_AXIS_LEFTX && motion.axis != SDL_CONTROLLER_AXIS_LEFTY)
        return K_VK_COUNT;
    const int side = sideOf(motion.value);
    if (std::exchange(stickSides[{motion.which, motion.axis}], side) == side || side == 0)
        return K_VK_COUNT;
    if (motion.axis == SDL_CONTROLLER_AXIS_LEFTX)
        return side < 0 ? K_VK_LEFT : K_VK_RIGHT;
    return side < 0 ? K_VK_UP : K_VK_DOWN;
}
}  // namespace

void KGamepad::start() {
    if (started || SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0)
        return;
    started = true;
    for (int i = 0; i < SDL_NumJoysticks(); i++)
        open(i);
}

void KGamepad::stop() {
    if (!started)
        return;
    while (!pads.empty())
        close(pads.begin()->first);
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    started = false;
}

bool KGamepad::holds(EKeyboardLayout key) {
    for (const auto &pad : pads) {
        if (stickPoints(pad.second, key))
            return true;
        for (const PadKey &padKey : kPadKeys)
            if (padKey.key == key && SDL_GameControllerGetButton(pad.second, padKey.button))
                return true;
    }
    return false;
}

EKeyboardLayout KGamepad::keyPressed(const SDL_Event &event) {
    if (event.type == SDL_CONTROLLERAXISMOTION)
        return stickTilted(event.caxis);
    if (event.type == SDL_CONTROLLERBUTTONDOWN)
        for (const PadKey &padKey : kPadKeys)
            if (padKey.button == event.cbutton.button)
                return padKey.key;
    return K_VK_COUNT;
}

bool KGamepad::handleEvent(const SDL_Event &event) {
    switch (event.type) {
    case SDL_CONTROLLERDEVICEADDED:
        open(event.cdevice.which);
        return false;
    case SDL_CONTROLLERDEVICEREMOVED:
        close(event.cdevice.which);
        return false;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
    case SDL_CONTROLLERAXISMOTION:
    case SDL_CONTROLLERDEVICEREMAPPED:
    case SDL_CONTROLLERTOUCHPADDOWN:
    case SDL_CONTROLLERTOUCHPADMOTION:
    case SDL_CONTROLLERTOUCHPADUP:
    case SDL_CONTROLLERSENSORUPDATE:
        return false;
    default:
        return true;
    }
}

// SDL turns raw joystick events into the pad events above only after they are
// queued; a stick sends dozens a frame, more than the window's queue is read at.
void KGamepad::dropMotion() {
    if (started)
        SDL_FlushEvents(SDL_JOYAXISMOTION, SDL_JOYBUTTONUP), SDL_FlushEvent(SDL_JOYBATTERYUPDATED);
}

int KGamepad::count() { return int(pads.size()); }
