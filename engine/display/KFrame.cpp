#include "KFrame.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "KGraphicPixels.h"

static_assert(sizeof(KDrawStep) == 26 * 4, "no padding: steps compare by their bytes");

namespace {

bool recording = true;
std::vector<KDrawStep> pending;   // the frame being built; capacity kept from frame to frame
std::vector<KDrawStep> shown;     // the last frame drawn and shown
std::vector<KDrawStep> reaching;  // the steps that reach a changed area; capacity kept
size_t drawnSteps = 0;            // steps of pending already drawn
bool shownKnown = false;          // false: the next frame is shown whatever it holds
bool surfaceKept = false;         // the surface drawn into keeps its pixels from frame to frame
bool surfaceHoldsShown = false;   // ... and holds the frame shown, nothing more

int screenWidth = 0, screenHeight = 0;   // the logical screen

// --- drawing a step with GL ---

void applyWorldView(const KDrawStep &view) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, screenWidth, 0, screenHeight, -100, 100);

    // Turn and zoom about the screen's centre, whole pixels so blits stay on the grid.
    const float cx = float(screenWidth / 2), cy = float(screenHeight / 2);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(cx, cy, 0);
    glRotatef(view.viewAngle, 0, 0, 1);
    glScalef(view.viewZoom, view.viewZoom, 0);
    glTranslatef(-cx, -cy, 0);
    glTranslatef(view.viewX, view.viewY, 0);
    glDisable(GL_DEPTH_TEST);
}

void bindTexture(const KDrawStep &s) {
    glDisable(s.target == GL_TEXTURE_2D ? KPixels::kTextureRectangle : GL_TEXTURE_2D);
    glEnable(s.target);
    glBindTexture(s.target, s.texture);
    glTexParameteri(s.target, GL_TEXTURE_MIN_FILTER, GLint(s.filter));
    glTexParameteri(s.target, GL_TEXTURE_MAG_FILTER, GLint(s.filter));
}

// V1 top-left, V2 bottom-left, V3 bottom-right, V4 top-right on screen; a flip swaps
// which source corner each vertex takes.
void emitQuad(const KDrawStep &s, int16_t left, int16_t top) {
    const int w = int(s.x2 - s.x1);
    const int h = int(s.y2 - s.y1);
    const bool square = s.target == GL_TEXTURE_2D;
    const float ks = square ? 1.0f / s.textureWidth : 1.0f;
    const float kt = square ? 1.0f / s.textureHeight : 1.0f;
    const float s1 = (s.flipX ? s.x2 : s.x1) * ks, s2 = (s.flipX ? s.x1 : s.x2) * ks;
    const float t1 = (s.flipY ? s.y2 : s.y1) * kt, t2 = (s.flipY ? s.y1 : s.y2) * kt;
    glBegin(GL_QUADS);
    glTexCoord2f(s1, t1);
    glVertex2i(left, top);
    glTexCoord2f(s1, t2);
    glVertex2i(left, top - h);
    glTexCoord2f(s2, t2);
    glVertex2i(left + w, top - h);
    glTexCoord2f(s2, t1);
    glVertex2i(left + w, top);
    glEnd();
}

void blit(const KDrawStep &s, bool blend) {
    if (blend) {
        glEnable(GL_BLEND);
        glBlendFunc(s.sourceBlend, s.destBlend);
    } else {
        glDisable(GL_BLEND);
    }
    glPushMatrix();
    bindTexture(s);
    emitQuad(s, int16_t(s.dx), int16_t(s.dy));
    glPopMatrix();
}

void blitFx(const KDrawStep &s) {
    const float hw = (s.x2 - s.x1) / 2, hh = (s.y2 - s.y1) / 2;
    const bool plain = s.angle == 0 && s.zoom == 1;
    glPushMatrix();
    if (!plain) {
        glTranslatef(float(s.dx) + hw, float(s.dy) - hh, 0);
        if (s.angle != 0)
            glRotatef(s.angle, 0, 0, 1);
        if (s.zoom != 1)
            glScalef(s.zoom, s.zoom, 0);
    }
    glColor4f(1, 1, 1, s.alpha);
    glEnable(GL_BLEND);
    glBlendFunc(s.sourceBlend, s.destBlend);
    glPushMatrix();
    bindTexture(s);
    if (plain)
        emitQuad(s, int16_t(s.dx), int16_t(s.dy));
    else
        emitQuad(s, int16_t(std::trunc(-hw)), int16_t(std::trunc(hh)));
    glPopMatrix();
    glColor4f(1, 1, 1, 1);
    glPopMatrix();
}

void fillRectangle(const KDrawStep &s) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_DST_ALPHA);
    glDisable(GL_TEXTURE_2D);
    glDisable(KPixels::kTextureRectangle);
    if (s.alpha == 1) {
        glDisable(GL_BLEND);
        glColor3f(s.red, s.green, s.blue);
    } else {
        glColor4f(s.red, s.green, s.blue, s.alpha);
    }
    glBegin(GL_QUADS);
    glVertex2i(int(s.x1), int(s.y1));
    glVertex2i(int(s.x2), int(s.y1));
    glVertex2i(int(s.x2), int(s.y2));
    glVertex2i(int(s.x1), int(s.y2));
    glEnd();
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
}

// In the step's colour; GL keeps the one it was given since.
void clearWith(const KDrawStep &s) {
    GLfloat current[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, current);
    glClearColor(s.red, s.green, s.blue, s.alpha);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(current[0], current[1], current[2], current[3]);
}

bool sameView(const KDrawStep &a, const KDrawStep &b) {
    return a.viewX == b.viewX && a.viewY == b.viewY && a.viewAngle == b.viewAngle && a.viewZoom == b.viewZoom;
}

void drawStep(const KDrawStep &s) {
    switch (s.kind) {
    case KDrawStep::opaqueBlit:
        blit(s, false);
        break;
    case KDrawStep::blendedBlit:
        blit(s, true);
        break;
    case KDrawStep::fxBlit:
        blitFx(s);
        break;
    case KDrawStep::rectangle:
        fillRectangle(s);
        break;
    case KDrawStep::clear:
        clearWith(s);
        break;
    }
}

void drawSteps(const KDrawStep *steps, size_t count) {
    for (size_t i = 0; i < count; i++) {
        if (i == 0 || !sameView(steps[i], steps[i - 1]))
            applyWorldView(steps[i]);
        drawStep(steps[i]);
    }
}

// --- the record ---

bool uses(const std::vector<KDrawStep> &steps, size_t from, uint32_t texture) {
    for (size_t i = from; i < steps.size(); i++)
        if (steps[i].texture == texture) return true;
    return false;
}

bool same(const KDrawStep &a, const KDrawStep &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool sameAsShown() {
    return shownKnown && drawnSteps == 0 && pending.size() == shown.size() &&
           std::memcmp(pending.data(), shown.data(), pending.size() * sizeof(KDrawStep)) == 0;
}

// A rectangle of GL pixels, rows counted from the bottom.
struct Area {
    double left = 1e9, bottom = 1e9, right = -1e9, top = -1e9;
    void add(double l, double b, double r, double t) {
        left = std::min(left, l), bottom = std::min(bottom, b);
        right = std::max(right, r), top = std::max(top, t);
    }
};

// The corners of a turned, zoomed quad where blitFx puts them: an odd-sized one is
// half a pixel off its centre, which zoom makes many pixels.
void turnedQuadBounds(const KDrawStep &s, double &l, double &b, double &r, double &t) {
    const float hw = (s.x2 - s.x1) / 2, hh = (s.y2 - s.y1) / 2;
    const double left = int16_t(std::trunc(-hw)), top = int16_t(std::trunc(hh));
    const double w = int(s.x2 - s.x1), h = int(s.y2 - s.y1);
    const double turn = s.angle * M_PI / 180, c = std::cos(turn) * s.zoom, sn = std::sin(turn) * s.zoom;
    l = b = HUGE_VAL, r = t = -HUGE_VAL;
    for (double x : {left, left + w})
        for (double y : {top, top - h}) {
            const double px = s.dx + hw + x * c - y * sn, py = s.dy - hh + x * sn + y * c;
            l = std::min(l, std::floor(px)), r = std::max(r, std::ceil(px));
            b = std::min(b, std::floor(py)), t = std::max(t, std::ceil(py));
        }
}

// Adds where a step may change pixels, with a margin for rounding; false when
// that could be anywhere (a clear, a turned or zoomed world view, odd numbers).
bool addReach(const KDrawStep &s, Area &area) {
    const bool plainView = s.viewX == 0 && s.viewY == 0 && s.viewAngle == 0 && s.viewZoom == 1;
    if (!plainView || s.kind == KDrawStep::clear)
        return false;
    double l, b, r, t;
    if (s.kind == KDrawStep::rectangle) {
        l = std::min(s.x1, s.x2), r = std::max(s.x1, s.x2), b = std::min(s.y1, s.y2), t = std::max(s.y1, s.y2);
    } else if (s.kind == KDrawStep::fxBlit && (s.angle != 0 || s.zoom != 1)) {
        turnedQuadBounds(s, l, b, r, t);
    } else {
        const double w = int(s.x2 - s.x1), h = int(s.y2 - s.y1);
        l = std::min<double>(s.dx, s.dx + w), r = std::max<double>(s.dx, s.dx + w);
        b = std::min<double>(s.dy, s.dy - h), t = std::max<double>(s.dy, s.dy - h);
    }
    const double kMargin = 2, kFar = 1e6;
    if (!(std::fabs(l) < kFar && std::fabs(r) < kFar && std::fabs(b) < kFar && std::fabs(t) < kFar))
        return false;
    area.add(l - kMargin, b - kMargin, r + kMargin, t + kMargin);
    return true;
}

// Where the frame differs from the one shown, when the surface still holds that
// one; false when the whole frame is to be drawn.
bool changedArea(Area &area) {
    if (!surfaceKept || !surfaceHoldsShown || !shownKnown || drawnSteps != 0 || pending.size() != shown.size())
        return false;
    for (size_t i = 0; i < pending.size(); i++)
        if (!same(pending[i], shown[i]) && (!addReach(pending[i], area) || !addReach(shown[i], area)))
            return false;
    return true;
}

bool overlaps(const Area &a, const Area &b) {
    return a.left < b.right && b.left < a.right && a.bottom < b.top && b.bottom < a.top;
}

// Draws, clipped to the area, the steps that may reach into it, in their order.
void drawWithin(const Area &area, KFrameArea &where) {
    reaching.clear();
    for (const KDrawStep &s : pending) {
        Area reach;
        if (!addReach(s, reach) || overlaps(reach, area))
            reaching.push_back(s);
    }
    where.x = int(std::floor(area.left));
    where.y = int(std::floor(area.bottom));
    where.width = int(std::ceil(area.right)) - where.x;
    where.height = int(std::ceil(area.top)) - where.y;
    where.whole = false;
    glEnable(GL_SCISSOR_TEST);
    glScissor(where.x, where.y, where.width, where.height);
    drawSteps(reaching.data(), reaching.size());
    glDisable(GL_SCISSOR_TEST);
}

}  // namespace

void KFrame::draw(KDrawStep step) {
    if (step.kind == KDrawStep::clear) {
        GLfloat colour[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, colour);
        step.red = colour[0], step.green = colour[1], step.blue = colour[2], step.alpha = colour[3];
    }
    if (recording)
        pending.push_back(step);
    else
        drawStep(step);
}

void KFrame::drawPending() {
    if (drawnSteps < pending.size()) {
        drawSteps(pending.data() + drawnSteps, pending.size() - drawnSteps);
        surfaceHoldsShown = false;
    }
    drawnSteps = pending.size();
}

bool KFrame::finish(KFrameArea &where) {
    if (sameAsShown()) {
        pending.clear();
        return false;
    }
    Area area;
    where = KFrameArea();
    if (changedArea(area))
        drawWithin(area, where);
    else
        drawPending();
    shown.swap(pending);
    pending.clear();
    drawnSteps = 0;
    shownKnown = recording;
    surfaceHoldsShown = recording;
    return true;
}

void KFrame::drop() {
    if (drawnSteps != 0)
        surfaceHoldsShown = false;
    pending.clear();
    drawnSteps = 0;
}

void KFrame::forgetTexture(uint32_t texture) {
    if (uses(pending, drawnSteps, texture)) drawPending();
    // A later texture may get the same name: a frame drawing it would wrongly match.
    if (uses(shown, 0, texture)) shownKnown = false;
}

void KFrame::showNext() { shownKnown = false; }

void KFrame::setSurfaceKept(bool kept) {
    surfaceKept = kept;
    surfaceHoldsShown = false;
}

void KFrame::setRecording(bool on) {
    drawPending();
    recording = on;
    shownKnown = false;
}

const std::vector<KDrawStep> &KFrame::recorded() { return pending; }

void KFrame::setScreenSize(int width, int height) {
    screenWidth = width;
    screenHeight = height;
}

void KFrame::setView(const KDrawStep &view) {
    if (!recording)
        applyWorldView(view);
}
