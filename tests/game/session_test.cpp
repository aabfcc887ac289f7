// A hand-set board played through the real session, frame by frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <tuple>

#include "spies.h"
#include "still_board.h"
#include "game_local.h"
#include "game_window.h"
#include "gl_window.h"
#include "highscores.h"
#include "input_script.h"
#include "loopback_http.h"
#include "online.h"
#include "prefs.h"
#include "sounds.h"
#include "game_home.h"
#include "KFrame.h"
#include "KGraphic.h"
#include "pictures.h"
#include "protocol.h"
#include "record.h"
#include "KPlatform.h"

namespace {

const int transitionFrames = 41;
const int lastFrame = 4575;   // the sixty seconds end at the 61st tick of 75 frames

// Exchanging (2, 0) and (3, 0): a row of 6 through a bomb, which reaches a row mark, then a column mark.
void dealScenarioBoard() {
    dealStill();
    for (long x : {0, 1, 3}) tokenAt(x, 0).color = 6;
    tokenAt(1, 0).bonusType = bonusBomb;
    tokenAt(2, 1).bonusType = bonusRow;
    tokenAt(7, 1).bonusType = bonusColumn;
}

int cellX(long x) { return int(boardLeft + cellPitch * x + 20); }
int cellY(long y) { return int(boardTop + cellPitch * y + 20); }

template <class Which> bool drawn(Which which) { return std::any_of(KFrame::recorded().begin(), KFrame::recorded().end(), which); }

bool zapLabelDrawn() {
    return drawn([](const KDrawStep &s) { return s.kind == KDrawStep::fxBlit && s.x1 == 671 && s.y1 == 231 && s.x2 == 1011 && s.y2 == 277; });
}

class Session : public ::testing::Test {
protected:
    void SetUp() override {
        inputScript::reset();
        spies::reset();
        loadSounds();
        resetScores();
        prefs = sPrefs{};
        prefs.difficulty = 2;
        std::memset(buffer, 0, sizeof buffer);
        bufferPosition = 0;
    }
    void TearDown() override { freeSounds(); }

    // Runs a session; at[g] runs after game frame g is drawn, before it is shown.
    void play(GameMode mode) {
        int flips = 0;
        inputScript::onFlip([&] {
            const int g = ++flips - transitionFrames;
            for (const auto &action : at[g]) action();
            if (g > lastFrame + 200) inputScript::setKey(K_VK_ESCAPE, true);   // a hang ends
        });
        doTheGame(mode);
        inputScript::onFlip(nullptr);
    }
    void on(int g, std::function<void()> action) { at[g].push_back(std::move(action)); }
    void click(int g, int x, int y) {
        on(g, [=] { inputScript::pointAt(x, y), inputScript::setButton(true); });
        on(g + 1, [] { inputScript::setButton(false); });
    }
    // The key (with another, if given) pressed at frame g and let go the given frames later.
    void tap(int g, EKeyboardLayout key, EKeyboardLayout with = K_VK_COUNT, int held = 1) {
        for (bool down : {true, false})
            on(down ? g : g + held, [=] {
                inputScript::setKey(key, down);
                if (with < K_VK_COUNT) inputScript::setKey(with, down);
            });
    }

    GameWindow window;
    KPlatform::Scope platform;
    std::map<int, std::vector<std::function<void()>>> at;
    std::optional<GameHome> saves;   // the name entry saves the table
};

TEST_F(Session, SixtySecondsFromTheFirstMoveToTheNameEntry) {
    const int scoreTable = 3 * 2;   // difficulty 2's three rows
    on(1, [&] {
        dealScenarioBoard();
        seedRandom(5);   // a refill that forms no line of its own
        saves.emplace();
        for (int row = 0; row < 3; row++) score60sec.players[scoreTable + row].score = 999 + 1000 * (2 - row) * 90;
    });
    click(2, cellX(2), cellY(0));
    click(4, cellX(3), cellY(0));
    on(5, [] { EXPECT_EQ(spies::plays({snd_click, snd_swap}), (std::vector<int>{2, 1})); });
    // The exchange slides 7 pixels a frame and is drawn where it is.
    for (int k = 1; k <= 5; k++)
        on(5 + k, [k] {
            std::multiset<int> moving;
            for (const KDrawStep &s : KFrame::recorded())
                if (s.dy == 480 - 90 && s.dx >= 155 && s.dx <= 197) moving.insert(s.dx);
            EXPECT_EQ(moving, (std::multiset<int>{155 + 7 * k, 197 - 7 * k})) << k;
            EXPECT_EQ(score, 0u);
        });
    // Line 5, bomb 100 + 9, row 100 + 12, column 100 + 8, all in the frame the exchange ends.
    on(11, [] {
        EXPECT_EQ(std::pair(score, spies::plays({snd_good, snd_bomb, snd_zap})), std::pair(334u, std::vector<int>{1, 1, 2}));
    });
    // Exactly the cost is enough for a hint; below it the hint is refused.
    on(400, [] { score = 50; });
    click(400, 220, 450);
    on(401, [] { EXPECT_EQ(std::pair(score, spies::plays(snd_hint)), std::pair(0u, 1)); });
    click(402, 220, 450);
    on(403, [] { dealStill(); });
    // A board without a move is dealt again with a bonus and the label spins in.
    on(404, [] { EXPECT_EQ(spies::plays({snd_nohint, snd_zapattack}), (std::vector<int>{1, 1})); });
    int labelFrames = 0;
    for (int g = 404; g < 700; g++)
        on(g, [&] { labelFrames += zapLabelDrawn(); });
    // Over: a stuck board stays, the panel fades in and takes the name.
    // An arrow and Enter held from the board into the entry type and accept nothing.
    tap(lastFrame - 5, K_VK_UP, K_VK_RETURN, 64);
    on(lastFrame + 59, [] {
        EXPECT_EQ(std::tuple(gameOverFade, std::string(buffer), ghighscoreProcessed), std::tuple(1.0f, "", false));
    });
    on(lastFrame + 60, [] { inputScript::setKey(K_VK_BACK, true); });
    for (int i = 0; i < 21; i++)   // a to u: 19 kept, each past the 19th replacing it
        on(lastFrame + 61 + i, [i] { inputScript::setKey(EKeyboardLayout(K_VK_A + i), true); });
    // Then as on a pad: left takes the "u" back, up held turns the "r" on once and again
    // after the repeat delay, right adds an "a", down twice turns it back round to "z".
    const std::pair<int, std::vector<EKeyboardLayout>> pad[] = {
        {82, {K_VK_LEFT}}, {83, {K_VK_UP}}, {111, {K_VK_RIGHT}}, {112, {K_VK_DOWN}}, {113, {}}, {114, {K_VK_DOWN}},
        {115, {K_VK_RETURN}}, {116, {}}, {120, {K_VK_ESCAPE}}};
    for (const auto &[frame, keys] : pad)
        on(lastFrame + frame, [keys = keys] {
            for (EKeyboardLayout k : {K_VK_LEFT, K_VK_UP, K_VK_RIGHT, K_VK_DOWN, K_VK_RETURN, K_VK_ESCAPE})
                inputScript::setKey(k, std::find(keys.begin(), keys.end(), k) != keys.end());
        });
    // F1 on the game-over screen: the next game is a record of its own, with the test's seed.
    GameRecord ended;
    on(lastFrame + 116, [&] { ended = gameRecord, setenv("BROLIX_TEST_SEED", "25", 1), inputScript::setKey(K_VK_F1, true); });
    on(lastFrame + 117, [] { inputScript::setKey(K_VK_F1, false); });
    on(lastFrame + 119, [&] {
        EXPECT_EQ(ended.frames, uint32_t(lastFrame)) << "ended on the frame the clock ran out";
        EXPECT_TRUE(!gameOver && score == 0 && frameCount == 2 && gameRecord.header.seed == 25);
    });
    play(modeSixtySeconds);
    unsetenv("BROLIX_TEST_SEED");

    EXPECT_EQ(labelFrames, 193) << "the 194th step of the label is transparent";
    const sHighEntry &third = score60sec.players[scoreTable + 2];
    EXPECT_EQ(std::tuple(std::string(third.name), third.score), std::tuple("abcdefghijklmnopqtz", 1000u));
}

using Pixels = std::vector<unsigned char>;

double meanDifference(const Pixels &a, const Pixels &b) {   // of the colour channels
    double sum = 0;
    for (size_t i = 0; i < a.size(); i++) sum += i % 4 == 3 ? 0 : std::abs(a[i] - b[i]);
    return sum / double(a.size() / 4 * 3);
}

std::atomic<int> clicksHeard{0};
void (*playSpied)(KSound *) = nullptr;

// No frame of the spin is the bare in-game picture. The last frame's sounds come before that
// frame asks the score server, which may take seconds to answer.
TEST_F(Session, PlaySpinsIntoAGameWhoseLastFrameSoundsBeforeTheServerIsAsked) {
    KGraphic *ingame = loadSkinPicture("data\\ingame%d.tga");
    KGraphic::setDefaultWorldView();
    ingame->blitRect(0, 0, 640, 480, 0, 0);
    const Pixels bare = backBuffer();
    KFrame::drop();
    delete ingame;
    KGraphic::drawRect(0, 0, 640, 480, 0, 0, 0, 1);   // the menu's last frame, as far as the spin knows
    std::vector<double> fromBare;
    Pixels spinEnd, gameStart;
    for (int g = 1 - transitionFrames; g <= 2; g++)
        on(g, [&, g] {
            const Pixels shown = backBuffer();
            fromBare.push_back(meanDifference(shown, bare));
            if (g == 0) spinEnd = shown;
            if (g == 1) gameStart = shown;
        });
    playSpied = KPlatform::calls.playSample;
    KPlatform::calls.playSample = [](KSound *sound) { clicksHeard += sound == snd_click, playSpied(sound); };
    clicksHeard = 0;
    std::mutex lock;
    std::vector<int> heardWhenAsked;
    LoopbackHttp server;
    server.server().Get(".*", [&](const httplib::Request &rq, httplib::Response &rs) {
        std::lock_guard<std::mutex> hold(lock);
        if (rq.path != protocol::ticketPath)   // the next game's ticket is fetched in the background
            heardWhenAsked.push_back(clicksHeard);
        rs.set_content("no", "text/plain");
    });
    ASSERT_TRUE(server.start());
    const std::string host = server.host();
    const char *const shippedHost = scoreServerHost;
    scoreServerHost = host.c_str(), gOnlineScores = true;
    on(1, [] { gameTimer = 0, subTimer = framesPerTick - 3; });   // the clock runs out in frame 4
    click(3, cellX(0), cellY(0));
    on(3, [] { EXPECT_FALSE(gameOver); });
    on(4, [] { EXPECT_TRUE(gameOver); });
    tap(10, K_VK_ESCAPE);
    play(modeSixtySeconds);
    scoreServerHost = shippedHost, gOnlineScores = false;
    ASSERT_EQ(fromBare.size(), size_t(transitionFrames + 2));
    for (size_t i = 0; i < fromBare.size(); i++) EXPECT_GT(fromBare[i], 8) << "frame " << i << " of the spin and the game";
    EXPECT_LT(meanDifference(spinEnd, gameStart), 1) << "the spin ends on the game's first frame";
    std::lock_guard<std::mutex> hold(lock);
    EXPECT_EQ(heardWhenAsked, std::vector<int>{1}) << "the click of the last frame, heard before the question";
}

bool cursorDrawnAt(long x, long y) {
    return drawn([=](const KDrawStep &s) {
        return s.x2 - s.x1 == layout::CURSOR_SIZE.w && s.dx == cellX(x) - 20 + layout::CURSOR_AT.x &&
               s.dy == 480 - (cellY(y) - 20 + layout::CURSOR_AT.y);
    });
}

// Keys play as a mouse's clicks; a hint pulsing when the game ends runs out on the ended board.
TEST_F(Session, KeysPlayTheBoardAsTheMouseDoesAndHAndNActAtEveryPress) {
    on(1, [] { dealScenarioBoard(), seedRandom(5); });
    for (int g : {2, 4, 6}) tap(g, K_VK_D);
    on(8, [] { EXPECT_TRUE(cursorDrawnAt(2, 0) && !cursorDrawnAt(0, 0)); });
    tap(40, K_VK_RIGHT, K_VK_L_SHIFT);
    tap(50, K_VK_H);
    tap(60, K_VK_P);
    tap(62, K_VK_TAB), tap(66, K_VK_RETURN), tap(70, K_VK_P);
    tap(80, K_VK_SPACE);   // tokens still fade: taken when they rest
    on(84, [] { EXPECT_FALSE(tokenAt(3, 0).selected) << "not before the board rests"; });
    on(300, [] {
        EXPECT_TRUE(tokenAt(3, 0).selected);
        inputScript::pointAt(600, 20);   // the mouse moves: the cursor goes
    });
    on(301, [] {
        EXPECT_FALSE(cursorDrawnAt(3, 0));
        EXPECT_EQ(spies::plays(snd_hint), 2) << "one bought in play, one in the pause";
        EXPECT_EQ(score, 339u) << "the exchange's lines and marks (334), a line of the refill";
        // Space holds the button down until the board rests.
        std::vector<std::tuple<uint32_t, RecordInput, int32_t>> hand;
        for (const RecordEvent &e : gameRecord.events)
            if (e.input <= RecordInput::down) hand.push_back({e.frame, e.input, e.value});
        using I = RecordInput;
        EXPECT_EQ(hand, (std::vector<std::tuple<uint32_t, RecordInput, int32_t>>{
                            {40, I::down, 1}, {40, I::cell, 2}, {41, I::down, 0}, {42, I::down, 1},
                            {42, I::cell, 3}, {43, I::down, 0}, {50, I::down, 1}, {50, I::button, 1},
                            {51, I::down, 0}, {66, I::down, 1}, {67, I::down, 0}, {80, I::down, 1},
                            {80, I::button, -1}, {256, I::down, 0}}));
    });
    int games = 1;
    uint32_t lastCount = 0;
    for (int g = 301; g <= 900; g++)
        on(g, [&] { games += frameCount < lastCount, lastCount = frameCount; });
    for (int i = 0; i < 2; i++) tap(310 + 30 * i, K_VK_H), tap(400 + 30 * i, K_VK_N);
    tap(370, K_VK_H, K_VK_COUNT, 20), tap(460, K_VK_N, K_VK_COUNT, 20);   // held for 20 frames: one press
    on(490, [&] { EXPECT_EQ(std::pair(spies::plays(snd_hint), games), std::pair(5, 4)) << "N deals a new game at each press"; });
    const auto pulsing = [] { return tokensWhere([](const sToken &t) { return t.sinus != 0; }); };
    tap(550, K_VK_H);
    const layout::Rect &menu = layout::GAME_BUTTONS[2];
    click(560, (menu.x1 + menu.x2) / 2, menu.y1 + 5);
    on(562, [&] { EXPECT_TRUE(gameOver && pulsing() > 0) << "the relax game ends at the menu button, its hint pulsing"; });
    on(820, [&] {
        EXPECT_EQ(pulsing(), 0) << "a hint lasts 252 frames";
        EXPECT_FALSE(drawn([](const KDrawStep &s) { return s.kind == KDrawStep::fxBlit && s.zoom != 1; })) << "a gem drawn enlarged";
    });
    click(830, (menu.x1 + menu.x2) / 2, menu.y1 + 5);
    play(modeRelax);
    EXPECT_EQ(std::pair(spies::plays(snd_hint), endPlay), std::pair(6, true));
}

}  // namespace
