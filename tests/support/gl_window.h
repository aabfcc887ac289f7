#pragma once
// Picture files and message boxes; one 640x480 GL window per binary, whose BACK buffer is
// read before any swap (Xvfb's front buffer reads back black).
#include <GL/gl.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "KFrame.h"
#include "KPlatform.h"
#include "KWindow.h"
#include "temp_dir.h"

using Boxes = std::vector<std::pair<std::string, std::string>>;

// Every message box since the last clear, title first; none reaches the screen.
inline Boxes &shownBoxes() {
    static Boxes boxes;
    return boxes;
}

// Records the message boxes while it lives.
struct BoxRecorder {
    BoxRecorder() {
        KPlatform::calls.messageBox = [](const char *title, const char *text) { shownBoxes().emplace_back(title, text); };
        shownBoxes().clear();
    }
    KPlatform::Scope platform;
};

// An uncompressed TGA: header, then the rows as given (B, G, R[, A]), bottom row first.
inline std::string tgaBytes(uint16_t w, uint16_t h, uint8_t depth, const std::string &pixels) {
    std::string b(18, '\0');
    b[2] = 2;
    b[12] = char(w), b[13] = char(w >> 8), b[14] = char(h), b[15] = char(h >> 8), b[16] = char(depth);
    return b + pixels;
}

// ImageMagick's convert with the given arguments (file names inside them).
inline bool convert(const std::string &args) { return std::system(("convert " + args + " 2>/dev/null").c_str()) == 0; }

inline bool openWindow() {
    static std::unique_ptr<KWindow> window;
    static bool attached = false;
    if (!window) {
        window.reset(new KWindow);
        attached = window->createGameWindow(640, 480, 16, true, "Brolix GL test");
        KWindow::setRectangleTexCap(false);  // as the game does
        KFrame::setRecording(false);  // each call draws at once, so GL can be read right after it
    }
    return attached;
}

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb &o) const { return near(o, 0); }
    bool near(const Rgb &o, int d) const {
        return std::abs(r - o.r) <= d && std::abs(g - o.g) <= d && std::abs(b - o.b) <= d;
    }
};

inline std::ostream &operator<<(std::ostream &out, const Rgb &c) {
    return out << "rgb(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// Back-buffer pixels in game coordinates (y downwards), rows top first.
inline std::vector<Rgb> backRegion(int x, int y, int w, int h) {
    std::vector<unsigned char> gl(size_t(w) * h * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, 480 - y - h, w, h, GL_RGB, GL_UNSIGNED_BYTE, gl.data());
    std::vector<Rgb> rows;
    for (int row = h - 1; row >= 0; --row)
        for (const unsigned char *p = &gl[size_t(row) * w * 3], *end = p + w * 3; p < end; p += 3)
            rows.push_back({p[0], p[1], p[2]});
    return rows;
}

inline Rgb backPixel(int x, int y) { return backRegion(x, y, 1, 1)[0]; }

// Pixels of the back-buffer region that differ from expected(x, y) by more than the tolerance.
inline size_t misses(int x0, int y0, int w, int h, const std::function<Rgb(int, int)> &expected, int tolerance = 0) {
    const auto px = backRegion(x0, y0, w, h);
    size_t wrong = 0;
    for (size_t i = 0; i < px.size(); ++i)
        wrong += !px[i].near(expected(x0 + int(i) % w, y0 + int(i) / w), tolerance);
    return wrong;
}

// The whole frame about to be shown, recorded steps drawn: RGBA rows from the bottom.
inline std::vector<unsigned char> backBuffer() {
    std::vector<unsigned char> screen(640 * 480 * 4);
    KFrame::drawPending();
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, screen.data());
    return screen;
}

inline void clearBack(const Rgb &c) {
    glClearColor(c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
}
