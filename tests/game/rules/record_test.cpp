// Scripted games of every mode, played through the rules frame by frame as the game
// session plays them, recorded and replayed without a window; and the record reader
// against damaged records.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "played_game.h"

namespace {

// Score, result, frames and board digest at the end.
using Pinned = std::tuple<uint32_t, int32_t, uint32_t, uint64_t>;

// Seed 65 at difficulty 2 runs out of moves at frame 4083 under this player.
const uint32_t seed = 65;

// Exchanges until the board is replaced for want of a move, a hint bought, a pause
// with the hint button clicked inside it, more exchanges.
void playTheMiddle(PlayedGame &g) {
    while (g.count(Cue::zapAttack) == 0 && frameCount < 4500)
        if (!g.exchange()) g.frame();
    g.clickButton(1);
    g.settle();
    g.press(&FrameInput::p);
    ASSERT_TRUE(gamePaused);
    g.frames(200);
    g.clickButton(1);
    EXPECT_TRUE(gamePaused);
    g.press(&FrameInput::p);
    EXPECT_FALSE(gamePaused);
    for (int i = 0; i < 10; i++) g.exchange();
}

// The end of each mode's game.
void playTheEnd(PlayedGame &g, GameMode mode) {
    switch (mode) {
    case modeSixtySeconds:
        while (!gameOver) g.frame();
        g.frames(100);
        break;
    case modeFiveMinutes:
        g.press(&FrameInput::f1);
        for (int i = 0; i < 20; i++) g.exchange();
        break;
    case modeMillion:
        g.frames(75 * 3);
        break;
    case modeRelax:
        g.offerEntry = true;
        g.press(&FrameInput::escape);
        EXPECT_TRUE(gameOver && !endPlay) << "a result worth a place takes the name entry";
        g.clickButton(2);
        EXPECT_TRUE(endPlay);
        break;
    }
}

GameRecord readBytes(const std::string &bytes) {
    GameRecord record;
    std::string error;
    EXPECT_TRUE(readRecord(bytes.data(), bytes.size(), record, error)) << error;
    return record;
}

// Two runs of a game ended alike.
void expectSame(const ReplayResult &a, const ReplayResult &b) {
    EXPECT_TRUE(a.score == b.score && a.realScore == b.realScore && a.frames == b.frames &&
                a.gameTimer == b.gameTimer && a.gameOver == b.gameOver && a.boardDigest == b.boardDigest)
        << a.frames << " " << a.score << " against " << b.frames << " " << b.score;
}

class EachMode : public ::testing::TestWithParam<std::pair<GameMode, Pinned>> {};

TEST_P(EachMode, AScriptedGameReplaysToTheSameBoardScoreAndFrame) {
    const auto [mode, pinned] = GetParam();
    PlayedGame g(mode, 2, seed, seed);
    playTheMiddle(g);
    playTheEnd(g, mode);
    EXPECT_GT(g.count(Cue::bomb) + g.count(Cue::zap), 0) << "a bonus mark fires";
    const ReplayResult live = currentResult();
    const std::string bytes = writeRecord(gameRecord);

    expectSame(replayRecord(readBytes(bytes)), live);
    EXPECT_EQ(writeRecord(gameRecord), bytes) << "the replay reads what the game read";
    // A rule that changes a result must raise rulesVersion: old records replay to other games.
    EXPECT_EQ(std::tuple(live.score, live.realScore, live.frames, live.boardDigest), pinned);
}

INSTANTIATE_TEST_SUITE_P(Record, EachMode,
                         ::testing::Values(std::pair{modeSixtySeconds, Pinned{2987, 2987, 4970, 0x451a5fe0cd96b577}},
                                           std::pair{modeFiveMinutes, Pinned{400, 0, 7270, 0x1743fd3c7ecb33f7}},
                                           std::pair{modeMillion, Pinned{113600, 0, 5535, 0x3bc089b6f188db86}},
                                           std::pair{modeRelax, Pinned{2057, 2057, 4723, 0x55c8020a1ce77be6}}));

// Escape asks to leave; the session leaves at the next frame's check after the buttons,
// so F1 or the new-game button held into that frame starts a new game instead. The menu
// button leaves at once, a pause included. The way out replays like any other frame.
TEST(Leaving, EscapeLeavesAtTheNextFramesCheckUnlessANewGameStartsFirst) {
    PlayedGame g(modeFiveMinutes, 1, seed, seed);
    g.exchange();
    ASSERT_GT(score, 0u);
    const auto step = [](FrameInput in) { return stepFrame(in, [] { return false; }); };
    FrameInput escape, f1, newGame, menu, none;
    escape.escape = f1.f1 = true;
    newGame.button = menu.button = 0, newGame.down = menu.down = true;
    menu.button = 2;
    EXPECT_TRUE(step(escape) && endPlay) << "the frame of Escape is played out";
    EXPECT_TRUE(step(f1) && !endPlay && score == 0) << "F1 first: a new game goes on";
    EXPECT_TRUE(step(escape) && endPlay);
    EXPECT_TRUE(step(newGame) && !endPlay && score == 0) << "the new-game button first";
    EXPECT_TRUE(step(none));
    EXPECT_TRUE(step(escape) && endPlay);
    EXPECT_FALSE(step(none)) << "left at the next frame";

    PlayedGame paused(modeFiveMinutes, 1, seed, seed);
    paused.press(&FrameInput::p);
    ASSERT_TRUE(gamePaused);
    EXPECT_TRUE(step(menu) && endPlay) << "a paused frame shows before the session leaves";
    EXPECT_FALSE(step(menu));
    const ReplayResult live = currentResult();
    expectSame(replayRecord(readBytes(writeRecord(gameRecord))), live);
}

// Forged as the issue found them: Escape at frame 1 leaves the game, and the record
// plays on. In sixty seconds it scores while the clock stands until a stuck board is
// replaced; in the million mode Escape again after every replaced board keeps the
// clock at a second while the score passes a million. Each replays to the frame it
// was left on, with nothing scored.
std::string forgedRecord(GameMode mode) {
    PlayedGame g(mode, 2, seed, seed);
    g.frame();
    g.press(&FrameInput::escape);
    while (!gameOver && frameCount < 400000) {
        if (mode == modeMillion && !endPlay && score <= 1000000) g.press(&FrameInput::escape);
        if (!g.exchange()) g.frame();
    }
    EXPECT_TRUE(gameOver && (mode == modeMillion ? _realScore <= 1 : _realScore > 3000)) << _realScore;
    return writeRecord(gameRecord);
}

TEST(Forged, AGameLeftAtFrameOneEndsThere) {
    for (GameMode mode : {modeSixtySeconds, modeMillion}) {
        const std::string forged = forgedRecord(mode);
        const ReplayResult replayed = replayRecord(readBytes(forged));
        EXPECT_TRUE(replayed.frames == 2 && replayed.score == 0 && !replayed.gameOver)
            << "mode " << mode << ": " << replayed.frames << " frames, " << replayed.score << " points";
    }
}

// A short game's record, to damage.
std::string shortRecord() {
    PlayedGame g(modeFiveMinutes, 1, 3, 3);
    for (int i = 0; i < 3; i++) g.exchange();
    return writeRecord(gameRecord);
}

std::string readError(const std::string &bytes) {
    GameRecord record;
    std::string error;
    EXPECT_FALSE(readRecord(bytes.data(), bytes.size(), record, error)) << "accepted";
    return error;
}

TEST(RecordReader, RefusesDamageNamingTheFaultAndReadsAJournalCutAnywhere) {
    const std::string good = shortRecord();
    for (size_t n = 0; n < good.size(); n++)
        EXPECT_NE(readError(good.substr(0, n)).find("truncated"), std::string::npos) << n;
    // The first events: at frame 1 the button goes down over a cell.
    ASSERT_EQ(good.substr(21, 5), std::string("\1\3\1\1\1", 5));
    const std::vector<std::tuple<size_t, std::string, std::string>> damage = {
        {0, "G", "not a game record (bad magic)"}, {4, "\2", "unknown record format version 2"},
        {6, "\x09", "recorded under rules version 9, these are version 1"}, {8, "\4", "game mode out of range"},
        {9, "\3\x08", "difficulty out of range"}, {10, "\7", "colour count does not match the difficulty"},
        {20, "\4", "held buttons out of range"}, {22, "\x09", "unknown input kind 9"},
        {26, "\x60", "input value out of range at frame 1"}, {26, "\xFE", "input value out of range at frame 1"},
        {16, "\5", "frame stamps go backwards at frame 1"}, // the start frame after the first input
        {21, "\xFF\xFF\xFF\xFF\x7F", "frame stamp beyond 32 bits"},
        {21, std::string("\x81\0", 2), "frame stamp written longer than it needs"},
        {good.size(), "x", "bytes after the end mark"}};
    for (const auto &[at, bytes, expected] : damage) {
        std::string s = good;
        EXPECT_EQ(readError(s.replace(at, bytes.size(), bytes)), expected) << "at " << at;
    }
    GameRecord ended = gameRecord; // the end mark at its last input's frame
    ended.frames = ended.events.back().frame;
    EXPECT_EQ(readError(writeRecord(ended)), "an input after the last frame");

    // A journal is the record without its end mark, cut anywhere after its header: it reads
    // as the game up to its last whole input, and replays to that frame of the game.
    std::string journal = writeRecordHeader(gameRecord.header);
    for (const RecordEvent &e : gameRecord.events) writeRecordInput(journal, e);
    ASSERT_EQ(good.compare(0, journal.size(), journal), 0);
    GameRecord record;
    std::string error;
    size_t inputs = 0;
    for (size_t n = 21; n <= journal.size(); n++) {
        ASSERT_TRUE(readRecordInProgress(journal.data(), n, record, error)) << n << ": " << error;
        EXPECT_GE(record.events.size(), inputs);
        inputs = record.events.size();
        EXPECT_EQ(record.frames, inputs ? record.events.back().frame + 1 : 0u);
    }
    EXPECT_EQ(inputs, gameRecord.events.size());
    const ReplayResult resumed = replayRecord(record);
    // A bounded replay stops where it is told, after a whole stride of frames.
    const ReplayResult there = replayRecord(readBytes(good), [] { return false; }, resumed.frames);
    expectSame(there, resumed);
    EXPECT_TRUE(there.stopped && !resumed.stopped);
    EXPECT_FALSE(readRecordInProgress(journal.data(), 20, record, error));
    EXPECT_EQ(error, "truncated header");
    journal[22] = 9;
    EXPECT_FALSE(readRecordInProgress(journal.data(), journal.size(), record, error));
    EXPECT_EQ(error, "unknown input kind 9");
    EXPECT_FALSE(readRecordInProgress(good.data(), good.size(), record, error));
    EXPECT_EQ(error, "the game has ended");
}

}  // namespace
