// brolix-engine-demo: opens the game window and shows that the engine works.
// A rectangle moves under the world view, a cross-hair follows the pointer (red
// while the left button is down) with its logical position in digits, and every
// key identifier held lights its bar along the bottom. Escape or closing quits.
// Run with --fullscreen to see the scaled full-screen mode.
#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "KGraphic.h"
#include "KInput.h"
#include "KWindow.h"

namespace {

const int kWidth = 640, kHeight = 480;

// A flat rectangle in game coordinates (y downwards), drawn as the game draws.
void fillRect(float x, float y, float w, float h, float r, float g, float b) {
    KGraphic::drawRect(x, y, x + w, y + h, r, g, b, 1);
}

// Seven-segment digits: no font needed to read the pointer position.
const uint8_t kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

void drawDigit(int digit, float x, float y) {
    const float w = 10, h = 18, t = 2;
    const float bars[7][4] = {{0, 0, w, t},     {w - t, 0, t, h / 2}, {w - t, h / 2, t, h / 2}, {0, h - t, w, t},
                              {0, h / 2, t, h / 2}, {0, 0, t, h / 2},     {0, h / 2 - t / 2, w, t}};
    for (int s = 0; s < 7; s++) {
        if (kSegments[digit] & (1 << s))
            fillRect(x + bars[s][0], y + bars[s][1], bars[s][2], bars[s][3], 1, 1, 0.6f);
    }
}

// Draws a signed number; returns the x after it.
float drawNumber(int value, float x, float y) {
    char text[16];
    std::snprintf(text, sizeof(text), "%d", value);
    for (const char *c = text; *c; c++, x += 14) {
        if (*c == '-')
            fillRect(x, y + 8, 10, 2, 1, 1, 0.6f);
        else
            drawDigit(*c - '0', x, y);
    }
    return x;
}

void drawMovingRectangle(int frame) {
    float t = float(frame) * 0.03f;
    float x = 270 + 200 * std::sin(t);
    float y = 180 + 120 * std::sin(t * 1.7f);
    fillRect(x, y, 100, 60, 0.2f, 0.8f, 0.4f);
    fillRect(x + 10, y + 10, 80, 40, 0.1f, 0.4f, 0.2f);
}

void drawPointer() {
    int x = KInput::getMouseX(), y = KInput::getMouseY();
    bool down = KInput::getLeftButtonState();
    float r = down ? 1.0f : 0.9f, g = down ? 0.2f : 0.9f, b = down ? 0.2f : 0.9f;
    fillRect(0, float(y), kWidth, 1, r, g, b);
    fillRect(float(x), 0, 1, kHeight, r, g, b);
    float after = drawNumber(x, 10, 10);
    drawNumber(y, after + 14, 10);
}

void drawKeyBars() {
    const float barWidth = float(kWidth) / K_VK_COUNT;
    for (int key = 0; key < K_VK_COUNT; key++) {
        bool held = KInput::isPressed(static_cast<EKeyboardLayout>(key));
        float hue = float(key) / K_VK_COUNT;
        float r = held ? 1.0f : 0.15f + 0.1f * hue;
        float g = held ? 0.3f + 0.7f * hue : 0.15f;
        float b = held ? 1.0f - hue : 0.2f;
        fillRect(key * barWidth + 1, held ? 420 : 460, barWidth - 1, held ? 60 : 20, r, g, b);
    }
}

}  // namespace

int main(int argc, char **argv) {
    bool windowed = !(argc > 1 && std::strcmp(argv[1], "--fullscreen") == 0);
    KWindow window;
    if (!window.createGameWindow(kWidth, kHeight, 16, windowed, "Brolix engine demo")) {
        std::fprintf(stderr, "brolix-engine-demo: could not open a GL window\n");
        return 1;
    }
    std::printf("GL: %s / %s, accelerated: %s\n", reinterpret_cast<const char *>(glGetString(GL_VENDOR)),
                reinterpret_cast<const char *>(glGetString(GL_RENDERER)),
                KWindow::getAccelerationCap() ? "yes" : "no");
    for (int frame = 0; !KWindow::isQuit() && !KInput::isPressed(K_VK_ESCAPE); frame++) {
        glClearColor(0.05f, 0.05f, 0.15f, 1);
        KGraphic::setWorldView(0, 0, 0, 1, true);
        drawMovingRectangle(frame);
        drawKeyBars();
        drawPointer();
        KWindow::flipBackBuffer(true);
    }
    return 0;
}
