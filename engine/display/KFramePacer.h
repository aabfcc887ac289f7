#pragma once
#include <cstdint>

// When frames are due: one per period on an absolute clock, so sleeping late never
// adds up. When drawing makes a frame late, the next frames run without drawing
// until the schedule is met again (a few in a row at most, then one is drawn), so
// rules that count frames keep to real time. Any other delay (a load, a stall, a
// long wait) starts the schedule afresh instead of hurrying after it.
class KFramePacer {
public:
    explicit KFramePacer(int64_t periodNs) : period(periodNs) {}
    bool startFlip(int64_t now);              // false: this frame is behind and goes undrawn
    int64_t finishFlip(int64_t now, bool drew);   // when to wake (at or before now: at once)
    void flipDone(int64_t now);               // the flip returns: a late return shortens the next frame a little at most
    void restart() { due = 0; }               // the next flip starts the schedule afresh

private:
    int64_t period;
    int64_t due = 0;             // when the current frame should end; 0: no schedule yet
    int64_t flipStarted = 0;
    bool catchingUp = false;
    int undrawnInARow = 0;
};

// Whether drawing keeps up: fed every flip, it answers true once frames went undrawn
// to catch up through a sustained stretch (kSlowSeconds seconds in a row, each with at
// least a quarter of its frames undrawn). A gap between flips (a wait, a load) and a
// second that kept up start the stretch again.
class KDrawingWatch {
public:
    static const int kSlowSeconds = 3;
    bool flipped(int64_t now, bool undrawn, int64_t drawingNs);   // drawingNs: the flip's drawing, 0 when nothing was drawn
    void restart();
    int64_t meanDrawingNs() const { return drawn ? drawingTotal / drawn : 0; }   // of the frames drawn in the stretch

private:
    int64_t lastFlip = 0, secondStarted = 0;
    int flips = 0, undrawnFlips = 0, slowSeconds = 0;
    int64_t drawingTotal = 0, drawn = 0;
};
