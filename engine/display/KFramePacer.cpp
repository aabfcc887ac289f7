#include "KFramePacer.h"

#include <algorithm>

namespace {
const int kMostUndrawn = 4;   // in a row; then one frame is drawn however late
const int kMostLate = 6;      // periods caught up at most; a flip starting later followed a stall, not drawing
const int64_t kMostMadeUp = 500000;   // ns of a late return the next frame makes up for
}  // namespace

bool KFramePacer::startFlip(int64_t now) {
    flipStarted = now;
    const bool behind = catchingUp && now > due && now - due < kMostLate * period && undrawnInARow < kMostUndrawn;
    undrawnInARow = behind ? undrawnInARow + 1 : 0;
    return !behind;
}

int64_t KFramePacer::finishFlip(int64_t now, bool drew) {
    if (due != 0 && now <= due) {
        catchingUp = false;
        const int64_t wake = due;
        due += period;
        return wake;
    }
    // However long the drawing took (that of a frame drawn while catching up too), the
    // frames it made late go undrawn; of a drawing longer than kMostLate periods, no more
    // than that many are caught up.
    const bool onTime = flipStarted <= due || (catchingUp && flipStarted - due < kMostLate * period);
    const bool drawingMadeItLate = drew && onTime;
    catchingUp = due != 0 && (drawingMadeItLate || (catchingUp && now - due < kMostLate * period));
    due = catchingUp ? std::max(due + period, now - (kMostLate - 1) * period) : now + period;
    return now;
}

void KFramePacer::flipDone(int64_t now) {
    if (!catchingUp && now + period - kMostMadeUp > due)
        due = now + period - kMostMadeUp;
}

namespace {
const int64_t kSecond = 1000000000;
const int64_t kMostBetweenFlips = kSecond / 4;   // longer: the game was not drawing, it waited
const int kFewestFlips = 10;                     // in a second, to judge it
}  // namespace

bool KDrawingWatch::flipped(int64_t now, bool undrawn, int64_t drawingNs) {
    if (lastFlip == 0 || now - lastFlip > kMostBetweenFlips)
        restart(), secondStarted = now;
    lastFlip = now;
    flips++;
    undrawnFlips += undrawn;
    if (drawingNs > 0)
        drawingTotal += drawingNs, drawn++;
    if (now - secondStarted < kSecond)
        return false;
    const bool slow = flips >= kFewestFlips && undrawnFlips * 4 >= flips;
    if (slow)
        slowSeconds++;
    else
        slowSeconds = 0, drawingTotal = drawn = 0;
    flips = undrawnFlips = 0;
    secondStarted = now;
    return slowSeconds >= kSlowSeconds;
}

void KDrawingWatch::restart() {
    lastFlip = secondStarted = 0;
    flips = undrawnFlips = slowSeconds = 0;
    drawingTotal = drawn = 0;
}
