#pragma once
// Older helpers, kept while tests/game, tests/frontend and bench use them (new ones: gl_window.h).
// For GL tests: one 640x480 game window per test binary, message boxes recorded
// instead of shown, and read-back of the BACK buffer (read before swapping:
// Xvfb's front buffer reads back black).
#include <GL/gl.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "KFrame.h"
#include "KMiscTools.h"
#include "KWindow.h"

namespace gltest {

struct Box {
    std::string title, text;
};

// Every message box shown since the binary started, in order.
inline std::vector<Box> &messageBoxes() {
    static std::vector<Box> boxes;
    return boxes;
}

inline void recordMessageBox(const char *title, const char *text) { messageBoxes().push_back({title, text}); }

inline bool &windowAttached() {
    static bool attached = false;
    return attached;
}

// The windowed 640x480 game window, created on first use.
inline KWindow &window() {
    static std::unique_ptr<KWindow> theWindow = [] {
        KMiscTools::setMessageBoxHook(recordMessageBox);
        std::unique_ptr<KWindow> w(new KWindow);
        windowAttached() = w->createGameWindow(640, 480, 16, true, "Brolix GL test");
        KFrame::setRecording(false);   // GL is read right after each call, so each call draws at once
        return w;
    }();
    return *theWindow;
}

// True when the window exists and its GL context is current.
inline bool openWindow() {
    window();
    return windowAttached();
}

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Rgb &o) const { return !(*this == o); }
};

inline std::ostream &operator<<(std::ostream &out, const Rgb &c) {
    return out << "rgb(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}

// Pixels of the back buffer in game coordinates (y downwards), rows top first.
inline std::vector<Rgb> backRegion(int x, int y, int width, int height) {
    std::vector<Rgb> rows(size_t(width) * size_t(height));
    std::vector<Rgb> glRows(rows.size());
    // Full screen draws into an off-screen logical screen, which is read as it is.
    GLint framebuffer = 0;
    glGetIntegerv(0x8CA6 /* GL_FRAMEBUFFER_BINDING */, &framebuffer);
    if (framebuffer == 0)
        glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, 480 - y - height, width, height, GL_RGB, GL_UNSIGNED_BYTE, glRows.data());
    for (int row = 0; row < height; row++) {
        for (int col = 0; col < width; col++)
            rows[size_t(row) * width + col] = glRows[size_t(height - 1 - row) * width + col];
    }
    return rows;
}

inline Rgb backPixel(int x, int y) { return backRegion(x, y, 1, 1)[0]; }

// Fill the whole back buffer with one colour.
inline void clearBack(uint8_t r, uint8_t g, uint8_t b) {
    glClearColor(r / 255.0f, g / 255.0f, b / 255.0f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
}

}  // namespace gltest
