// Presentation: where the logical screen lands in the window and at what size it is
// drawn, the off-screen surface it is drawn into, showing a frame whole or in part,
// repainting, and the frame pacing of each flip. Owns the render size.
#include "KWindow.h"

#include "KCatalog.h"

#include <SDL.h>
#include <GL/gl.h>
#include <GL/glx.h>
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <numeric>
#include <string>

#include "KWindow_local.h"
#include "KGraphic.h"
#include "KInput.h"
#include "KPlatform.h"
#include "KSound.h"

using namespace kwindow;

namespace kwindow {

Presentation screen;

const GLenum kFramebuffer = 0x8D40, kReadFramebuffer = 0x8CA8, kDrawFramebuffer = 0x8CA9;
const GLenum kRenderbuffer = 0x8D41, kColorAttachment0 = 0x8CE0, kFramebufferComplete = 0x8CD5;

// Tests run long games in a blink: BROLIX_NO_FRAME_WAIT=1 (read once, at start-up)
// makes every flip return at once. Frame counts, and so every rule, are unchanged.
uint32_t framePeriodMs() {
    const char *noWait = std::getenv("BROLIX_NO_FRAME_WAIT");
    return noWait && *noWait && std::strcmp(noWait, "0") != 0 ? 0 : 14;
}

template <typename F>
void loadProc(F &fn, const char *name) {
    fn = reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
}

bool loadFramebufferApi() {
    FramebufferApi &fb = screen.fb;
    loadProc(fb.genFramebuffers, "glGenFramebuffers");
    loadProc(fb.genRenderbuffers, "glGenRenderbuffers");
    loadProc(fb.deleteFramebuffers, "glDeleteFramebuffers");
    loadProc(fb.deleteRenderbuffers, "glDeleteRenderbuffers");
    loadProc(fb.bindFramebuffer, "glBindFramebuffer");
    loadProc(fb.bindRenderbuffer, "glBindRenderbuffer");
    loadProc(fb.renderbufferStorage, "glRenderbufferStorage");
    loadProc(fb.framebufferRenderbuffer, "glFramebufferRenderbuffer");
    loadProc(fb.checkFramebufferStatus, "glCheckFramebufferStatus");
    loadProc(fb.blitFramebuffer, "glBlitFramebuffer");
    return fb.genFramebuffers && fb.genRenderbuffers && fb.deleteFramebuffers && fb.deleteRenderbuffers &&
           fb.bindFramebuffer && fb.bindRenderbuffer && fb.renderbufferStorage &&
           fb.framebufferRenderbuffer && fb.checkFramebufferStatus && fb.blitFramebuffer;
}

void deleteLogicalScreen() {
    if (!screen.logicalFramebuffer)
        return;
    screen.fb.bindFramebuffer(kFramebuffer, 0);
    screen.fb.deleteFramebuffers(1, &screen.logicalFramebuffer);
    screen.fb.deleteRenderbuffers(1, &screen.logicalRenderbuffer);
    screen.logicalFramebuffer = screen.logicalRenderbuffer = 0;
}

// An off-screen logical screen at the size it is shown, so a part of it goes to the
// window unscaled. Without framebuffer objects the viewport scales and every frame
// is drawn whole.
void createLogicalScreen(int width, int height) {
    if (!screen.framebuffers)
        return;
    screen.fb.genFramebuffers(1, &screen.logicalFramebuffer);
    screen.fb.genRenderbuffers(1, &screen.logicalRenderbuffer);
    screen.fb.bindRenderbuffer(kRenderbuffer, screen.logicalRenderbuffer);
    // No alpha channel, like the windowed back buffer, so blending reads alike.
    screen.fb.renderbufferStorage(kRenderbuffer, GL_RGB8, width, height);
    screen.fb.bindFramebuffer(kFramebuffer, screen.logicalFramebuffer);
    screen.fb.framebufferRenderbuffer(kFramebuffer, kColorAttachment0, kRenderbuffer, screen.logicalRenderbuffer);
    if (screen.fb.checkFramebufferStatus(kFramebuffer) != kFramebufferComplete)
        deleteLogicalScreen();
}

// The largest rectangle of the logical screen's aspect that fits, centred.
Rect letterbox(int outerWidth, int outerHeight, int width, int height) {
    double scale = std::min(double(outerWidth) / width, double(outerHeight) / height);
    Rect r;
    r.width = int(std::lround(width * scale));
    r.height = int(std::lround(height * scale));
    r.x = (outerWidth - r.width) / 2;
    r.y = (outerHeight - r.height) / 2;
    return r;
}

void applyViewport() {
    if (screen.logicalFramebuffer)
        glViewport(0, 0, screen.renderWidth, screen.renderHeight);
    else
        glViewport(screen.glView.x, screen.glView.y, screen.glView.width, screen.glView.height);
}

// The logical screen drawn at the size of its place in the drawable, or coarser once
// drawing there fell behind; the old pixels are gone, so the next frame is drawn whole.
void sizeLogicalScreen(int width, int height) {
    const Rect &view = screen.glView;
    const bool capped = screen.mostRenderScale > 0 && view.width > width * screen.mostRenderScale;
    const int drawnWidth = capped ? int(width * screen.mostRenderScale) : view.width;
    const int drawnHeight = capped ? int(height * screen.mostRenderScale) : view.height;
    if (screen.logicalFramebuffer && screen.renderWidth == drawnWidth && screen.renderHeight == drawnHeight)
        return;
    deleteLogicalScreen();
    createLogicalScreen(drawnWidth, drawnHeight);
    screen.renderWidth = screen.logicalFramebuffer ? drawnWidth : width;
    screen.renderHeight = screen.logicalFramebuffer ? drawnHeight : height;
    screen.blankSurface = true;
    KFrame::setSurfaceKept(screen.logicalFramebuffer != 0);
    KGraphic::setRenderSize(int16_t(screen.renderWidth), int16_t(screen.renderHeight));
}

void loadPartialPresent() {
    screen.copySubBuffer = nullptr;
    screen.swapWithDamage = nullptr;
    Display *display = glXGetCurrentContext() ? glXGetCurrentDisplay() : nullptr;
    const char *extensions = display ? glXQueryExtensionsString(display, DefaultScreen(display)) : nullptr;
    if (extensions && std::strstr(extensions, "GLX_MESA_copy_sub_buffer"))
        screen.copySubBuffer = reinterpret_cast<CopySubBufferFn>(SDL_GL_GetProcAddress("glXCopySubBufferMESA"));
    EGLDisplay egl = eglGetCurrentContext() != EGL_NO_CONTEXT ? eglGetCurrentDisplay() : EGL_NO_DISPLAY;
    extensions = egl != EGL_NO_DISPLAY ? eglQueryString(egl, EGL_EXTENSIONS) : nullptr;
    for (const char *name : {"KHR", "EXT"}) {
        const std::string extension = std::string("EGL_") + name + "_swap_buffers_with_damage";
        if (!screen.swapWithDamage && extensions && std::strstr(extensions, extension.c_str()))
            screen.swapWithDamage = reinterpret_cast<SwapWithDamageFn>(
                eglGetProcAddress((std::string("eglSwapBuffersWithDamage") + name).c_str()));
    }
}

// Drawn coarser than shown (drawing fell behind): the window shows it smoothly enlarged.
bool drawnAsShown() { return screen.renderWidth == screen.glView.width && screen.renderHeight == screen.glView.height; }

// Rendered pixels [from, to) along one side and the window pixels they fill, [shownFrom, shownTo).
struct Run {
    int from, to, shownFrom, shownTo;
};

// A run of rendered pixels widened to whole steps that fill whole window pixels (one
// pixel when drawn as shown), `margin` steps more on each side, within the surface: a
// part so cut is enlarged exactly as it is within the whole.
Run alignedRun(int from, int to, int rendered, int shown, int margin) {
    const int step = rendered / std::gcd(rendered, shown);
    const int first = std::max(0, from / step - margin) * step;
    const int last = std::min(rendered, ((to + step - 1) / step + margin) * step);
    return {first, last, int(int64_t(first) * shown / rendered), int(int64_t(last) * shown / rendered)};
}

Run across(int from, int to, int margin) { return alignedRun(from, to, screen.renderWidth, screen.glView.width, margin); }
Run upwards(int from, int to, int margin) { return alignedRun(from, to, screen.renderHeight, screen.glView.height, margin); }

// Rendered pixels to their place in the window's back buffer.
void blitShown(const Run &x, const Run &y) {
    const Rect &view = screen.glView;
    screen.fb.blitFramebuffer(x.from, y.from, x.to, y.to, view.x + x.shownFrom, view.y + y.shownFrom, view.x + x.shownTo,
                             view.y + y.shownTo, GL_COLOR_BUFFER_BIT, drawnAsShown() ? GL_NEAREST : GL_LINEAR);
}

void presentWhole(SDL_Window *window, const EGLint *damage = nullptr);

// Only the part of the picture that changed goes to the window. Enlarged smoothly, a
// window pixel mixes the rendered pixels around it, so one step more around the change
// is shown; the blit reaches a step further, so that its own edge stays unseen.
bool presentPart(SDL_Window *window, const KFrameArea &changed) {
    if (changed.whole || !(screen.copySubBuffer || screen.swapWithDamage))
        return false;
    const int left = std::max(changed.x, 0), right = std::min(changed.x + changed.width, screen.renderWidth);
    const int bottom = std::max(changed.y, 0), top = std::min(changed.y + changed.height, screen.renderHeight);
    if (left >= right || bottom >= top)
        return true;
    const int reach = drawnAsShown() ? 0 : 1;
    const Run x = across(left, right, reach), y = upwards(bottom, top, reach);
    const EGLint shown[4] = {screen.glView.x + x.shownFrom, screen.glView.y + y.shownFrom, x.shownTo - x.shownFrom,
                             y.shownTo - y.shownFrom};
    if (!screen.copySubBuffer) {
        presentWhole(window, shown);
        return true;
    }
    blitShown(across(left, right, 2 * reach), upwards(bottom, top, 2 * reach));
    screen.copySubBuffer(glXGetCurrentDisplay(), glXGetCurrentDrawable(), shown[0], shown[1], shown[2], shown[3]);
    return true;
}

// The whole picture, bars included, into a back buffer whose old content counts for
// nothing; a damage rectangle (x, y, width, height from the bottom left) tells an EGL
// compositor what changed. Setting the window's viewport makes the driver look at the
// drawable's size again, so a present right after a resize fills the new one.
void presentWhole(SDL_Window *window, const EGLint *damage) {
    int w, h;
    SDL_GL_GetDrawableSize(window, &w, &h);
    screen.fb.bindFramebuffer(kFramebuffer, 0);
    glViewport(0, 0, w, h);
    screen.fb.bindFramebuffer(kReadFramebuffer, screen.logicalFramebuffer);
    glClearColor(0, 0, 0, 1);
    if (screen.bars)
        glClear(GL_COLOR_BUFFER_BIT);
    blitShown(across(0, screen.renderWidth, 0), upwards(0, screen.renderHeight, 0));
    if (!damage || !screen.swapWithDamage(eglGetCurrentDisplay(), eglGetCurrentSurface(EGL_DRAW), damage, 1))
        SDL_GL_SwapWindow(window);
}

void presentLogicalScreen(SDL_Window *window, const KFrameArea &changed) {
    GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    GLfloat clearColour[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    glDisable(GL_SCISSOR_TEST);

    screen.fb.bindFramebuffer(kDrawFramebuffer, 0);
    screen.fb.bindFramebuffer(kReadFramebuffer, screen.logicalFramebuffer);
    if (!presentPart(window, changed))
        presentWhole(window);
    screen.fb.bindFramebuffer(kFramebuffer, screen.logicalFramebuffer);
    applyViewport();

    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
    if (scissor)
        glEnable(GL_SCISSOR_TEST);
}

int64_t monotonicNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void sleepUntil(int64_t wake) {
    const timespec until = {time_t(wake / 1000000000), long(wake % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

}  // namespace kwindow

void KWindow::updateScaling(SDL_Window *window, int width, int height) {
    if (!window)
        return;
    int w, h;
    SDL_GetWindowSize(window, &w, &h);
    const Rect view = letterbox(w, h, width, height);
    KInput::setPointerView({view.x, view.y, view.width, view.height, width, height});
    SDL_GL_GetDrawableSize(window, &w, &h);
    screen.glView = letterbox(w, h, width, height);
    screen.glView.y = h - screen.glView.y - screen.glView.height;   // GL counts rows from the bottom
    screen.bars = screen.glView.width < w || screen.glView.height < h;
    if (win.openGLContext) {
        sizeLogicalScreen(width, height);
        applyViewport();
    }
}

bool KWindow::presentFrame(bool onSchedule) {
    if (!onSchedule || !win.hwnd || !win.openGLContext) {
        KFrame::drop();
        return false;
    }
    KFrameArea changed;
    if (!KFrame::finish(changed))
        return false;
    screen.blankSurface = screen.repaintDue = false;
    if (screen.logicalFramebuffer)
        presentLogicalScreen(win.hwnd, changed);
    else
        SDL_GL_SwapWindow(win.hwnd);
    return true;
}

void KWindow::flipBackBuffer(bool waitForBackWindow) { KPlatform::calls.flipBackBuffer(waitForBackWindow); }

void KWindow::nativeFlip(bool waitForBackWindow) {
    KInput::frameDone();
    const int64_t started = monotonicNanoseconds();
    const bool onSchedule = screen.pacer.startFlip(started);
    const bool drew = presentFrame(onSchedule);
    const int64_t finished = monotonicNanoseconds();
    if (screen.renderWidth > win.windowWidth &&
        screen.drawingWatch.flipped(finished, !onSchedule, drew ? finished - started : 0))
        lowerRenderScale();
    const int64_t wake = screen.pacer.finishFlip(finished, drew);
    KSound::pauseWhenSilent();
    if (screen.maxFrameRate != 0)
        sleepUntil(wake);
    processEvents();   // at the frame's time: input as fresh as it can be

    if (waitForBackWindow && waitForFront())
        screen.pacer.restart();
    else
        screen.pacer.flipDone(monotonicNanoseconds());
}

// Game time stays real time: when frames at this scale keep going undrawn, the rest of
// the session draws one whole scale coarser and the window shows it smoothly enlarged.
void KWindow::lowerRenderScale() {
    const double scale = double(screen.renderWidth) / win.windowWidth;
    const double lower = std::max(1.0, std::ceil(scale - 1e-6) - 1);
    std::fprintf(stderr, _("brolix: frames drawn at %.4gx took %.0f ms, longer than the %u ms a frame has; drawing at %.4gx from now on\n"),
                 scale, screen.drawingWatch.meanDrawingNs() / 1e6, unsigned(screen.maxFrameRate), lower);
    screen.mostRenderScale = lower;
    screen.drawingWatch.restart();
    sizeLogicalScreen(win.windowWidth, win.windowHeight);
    applyViewport();
    KFrame::showNext();
}

// The last frame shown, again and whole, after the window was covered, restored or
// resized while the game waits; a new surface first gets that frame drawn into it.
void KWindow::repaintIfDue() {
    if (!screen.repaintDue || !win.hwnd || !screen.logicalFramebuffer)
        return;
    screen.repaintDue = false;
    if (screen.blankSurface && !KFrame::redrawShown()) {
        GLfloat colour[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, colour);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(colour[0], colour[1], colour[2], colour[3]);
    }
    screen.blankSurface = false;
    presentLogicalScreen(win.hwnd, KFrameArea());
}
