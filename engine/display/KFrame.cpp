#include "KFrame.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "KGraphic.h"

static_assert(sizeof(KDrawStep) == 25 * 4, "no padding: steps compare by their bytes");

namespace {

bool recording = true;
std::vector<KDrawStep> pending;   // the frame being built; capacity kept from frame to frame
std::vector<KDrawStep> shown;     // the last frame drawn and shown
std::vector<KDrawStep> reaching;  // the steps that reach a changed area; capacity kept
size_t drawnSteps = 0;            // steps of pending already drawn
bool shownKnown = false;          // false: the next frame is shown whatever it holds
bool surfaceKept = false;         // the surface drawn into keeps its pixels from frame to frame
bool surfaceHoldsShown = false;   // ... and holds the frame shown, nothing more

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
        const double w = s.x2 - s.x1, h = s.y2 - s.y1;
        const double cx = s.dx + w / 2, cy = s.dy - h / 2, radius = std::fabs(s.zoom) * std::hypot(w, h) / 2;
        l = cx - radius, r = cx + radius, b = cy - radius, t = cy + radius;
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
    KGraphic::drawSteps(reaching.data(), reaching.size());
    glDisable(GL_SCISSOR_TEST);
}

}  // namespace

void KFrame::draw(const KDrawStep &step) {
    if (recording)
        pending.push_back(step);
    else
        KGraphic::drawStep(step);
}

void KFrame::drawPending() {
    if (drawnSteps < pending.size()) {
        KGraphic::drawSteps(pending.data() + drawnSteps, pending.size() - drawnSteps);
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

bool KFrame::isRecording() { return recording; }

const std::vector<KDrawStep> &KFrame::recorded() { return pending; }
