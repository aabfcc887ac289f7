#include "board_fixture.h"
#include <map>
#include "prefs.h"
#include "sounds.h"
#include "KSound.h"

namespace {
struct SoundState {
    int plays = 0;
    bool playing = false;
};
std::map<KSound *, SoundState> sounds;
}

extern "C" void __wrap__ZN6KSound10playSampleEv(KSound *sound) {
    sounds[sound].plays++;
    sounds[sound].playing = true;
}

extern "C" bool __wrap__ZN6KSound9isPlayingEv(KSound *sound) { return sounds[sound].playing; }

namespace soundLog {
void clear() { sounds.clear(); }
int plays(KSound *sound) { return sounds[sound].plays; }
void setPlaying(KSound *sound, bool playing) { sounds[sound].playing = playing; }
}

int baseColor(long x, long y) { return static_cast<int>((x + 2 * y) % 5); }

static KSound **const allSounds[] = {&snd_click, &snd_good, &snd_lose, &snd_swap, &snd_hint,
                                     &snd_nohint, &snd_zap, &snd_bomb, &snd_zapattack};

void BoardTest::SetUpTestSuite() {
    for (KSound **s : allSounds) *s = new KSound();
}

void BoardTest::TearDownTestSuite() {
    for (KSound **s : allSounds) {
        delete *s;
        *s = nullptr;
    }
}

void BoardTest::SetUp() {
    prefs.difficulty = 2;
    _unitScore = 1;
    _gameMode = 0;
    score = 0;
    gameOver = false;
    clearZapAttack();
    seedRandom(1);
    soundLog::clear();
    fillBase();
}

void BoardTest::fillBase() {
    for (long y = 0; y < boardRows; y++)
        for (long x = 0; x < boardColumns; x++) {
            sToken &t = tokenAt(x, y);
            t = sToken{};
            t.color = static_cast<int16_t>(baseColor(x, y));
            t.fade = 1.0f;
            t.alive = true;
        }
}

void BoardTest::setColor(long x, long y, int color) { tokenAt(x, y).color = static_cast<int16_t>(color); }

void BoardTest::setMark(long x, long y, BonusMark mark) { tokenAt(x, y).bonusType = mark; }

void BoardTest::clearCell(long x, long y) {
    sToken &t = tokenAt(x, y);
    t.alive = false;
    t.fade = 0;
}

void BoardTest::startExchange(long xa, long ya, long xb, long yb) {
    sToken &a = tokenAt(xa, ya), &b = tokenAt(xb, yb);
    a.speedX = static_cast<int16_t>((xb - xa) * 7);
    a.speedY = static_cast<int16_t>((yb - ya) * 7);
    b.speedX = static_cast<int16_t>(-a.speedX);
    b.speedY = static_cast<int16_t>(-a.speedY);
    a.beingSwapped = b.beingSwapped = true;
}

bool BoardTest::atRest() {
    return !isThereAnIncomingToken() && !isThereAMovingToken() && !isThereAFadingToken();
}

void BoardTest::ruleFrame() {
    animateField();
    fallTokens();
    appearTokens();
    doSwapTokens();
    checkForMatches();
}

int BoardTest::framesUntilRest(int limit) {
    int frames = 0;
    while (frames <= limit) {
        ruleFrame();
        frames++;
        if (atRest()) break;
    }
    return frames;
}

int BoardTest::aliveCount() {
    int n = 0;
    for (const sToken &t : tokenTable) n += t.alive;
    return n;
}

int BoardTest::clearingCount() {
    int n = 0;
    for (const sToken &t : tokenTable) n += t.fadeSpeed < 0;
    return n;
}

bool boardHasLine(bool unclearedOnly) {
    auto same = [unclearedOnly](long x1, long y1, long x2, long y2, long x3, long y3) {
        const sToken &a = tokenAt(x1, y1), &b = tokenAt(x2, y2), &c = tokenAt(x3, y3);
        bool cleared = a.fadeSpeed < 0 && b.fadeSpeed < 0 && c.fadeSpeed < 0;
        return a.alive && b.alive && c.alive && a.color == b.color && a.color == c.color &&
               !(unclearedOnly && cleared);
    };
    for (long y = 0; y < boardRows; y++)
        for (long x = 0; x + 2 < boardColumns; x++)
            if (same(x, y, x + 1, y, x + 2, y)) return true;
    for (long y = 0; y + 2 < boardRows; y++)
        for (long x = 0; x < boardColumns; x++)
            if (same(x, y, x, y + 1, x, y + 2)) return true;
    return false;
}
