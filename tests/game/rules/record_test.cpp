// Scripted games of every mode recorded and replayed without a window; hostile records; the caps.
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

// Exchanges until a board without moves is replaced, a hint bought, one clicked inside a pause.
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

// Each mode's own end; after it nothing more is played or recorded.
void playTheEnd(PlayedGame &g, GameMode mode) {
    switch (mode) {
    case modeSixtySeconds: while (!gameOver) g.frame(); break;
    case modeFiveMinutes:
        g.press(&FrameInput::p);
        g.clickButton(2);
        break;
    case modeMillion: g.press(&FrameInput::f1); break;
    case modeRelax:
        g.offerEntry = true;
        g.press(&FrameInput::escape);
        EXPECT_TRUE(gameOver && !endPlay) << "a result worth a place takes the name entry";
        break;
    }
    const std::string ended = writeRecord(gameRecord);
    const uint32_t points = score;
    g.exchange();
    if (gameOver) g.clickButton(mode == modeRelax ? 0 : 2);
    EXPECT_TRUE(mode == modeFiveMinutes || mode == modeSixtySeconds ? endPlay : newGameAsked) << mode;
    EXPECT_EQ(std::pair(writeRecord(gameRecord), score), std::pair(ended, points)) << "nothing more played or recorded";
}

GameRecord readBytes(const std::string &bytes) {
    GameRecord record;
    std::string error;
    EXPECT_TRUE(readRecord(bytes.data(), bytes.size(), record, error)) << error;
    return record;
}

auto ending(const ReplayResult &r) { return std::tuple(r.score, r.realScore, r.frames, r.gameTimer, r.gameOver, r.boardDigest); }

class EachMode : public ::testing::TestWithParam<std::pair<GameMode, Pinned>> {};

TEST_P(EachMode, AScriptedGameReplaysToTheSameBoardScoreAndFrame) {
    const auto [mode, pinned] = GetParam();
    PlayedGame g(mode, 2, seed, seed);
    playTheMiddle(g);
    playTheEnd(g, mode);
    EXPECT_GT(g.count(Cue::bomb) + g.count(Cue::zap), 0) << "a bonus mark fires";
    const ReplayResult ended = currentResult();
    const std::string bytes = writeRecord(gameRecord);

    const ReplayResult replayed = replayRecord(readBytes(bytes));
    EXPECT_EQ(ending(replayed), ending(ended));
    EXPECT_EQ(rewriteFault(bytes), "") << "the replay reads what the game read";
    // A rule that changes a result must raise rulesVersion: old records replay to other games.
    EXPECT_EQ(std::tuple(ended.score, ended.realScore, ended.frames, ended.boardDigest), pinned);
}

INSTANTIATE_TEST_SUITE_P(Record, EachMode,
                         ::testing::Values(std::pair{modeSixtySeconds, Pinned{2987, 2987, 4779, 0x118381fca4797407}},
                                           std::pair{modeFiveMinutes, Pinned{3017, 0, 5313, 0xe4d4e1e3e1e4e03d}},
                                           std::pair{modeMillion, Pinned{113600, 0, 5311, 0xe4d4e1e3e1e4e03d}},
                                           std::pair{modeRelax, Pinned{2057, 2057, 4720, 0x55c8020a1ce77be6}}));

// The first fault of a record: the reader's, else what its replay writes otherwise.
std::string faultOf(const std::string &bytes) {
    GameRecord record;
    std::string error;
    if (!readRecord(bytes.data(), bytes.size(), record, error)) return error;
    replayRecord(record);
    return rewriteFault(bytes);
}

template <class Change> std::string respelt(GameRecord record, Change change) {
    change(record);
    return writeRecord(record);
}

std::string with(GameRecord record, RecordEvent added) {
    const auto at = std::find_if(record.events.begin(), record.events.end(), [&](const RecordEvent &e) { return e.frame > added.frame; });
    record.events.insert(at, added);
    return writeRecord(record);
}

std::string patched(std::string bytes, size_t at, const std::string &part) { return bytes.replace(at, part.size(), part); }

// Every refusal names its fault; after all of them the honest game still replays to its
// result. Respellings of the game read well but replay to a game that writes otherwise.
TEST(Hostile, RecordsAreRefusedByNameAndTheHonestGameStillReplays) {
    PlayedGame g(modeFiveMinutes, 1, 3, 3);   // a short game, ended by the menu button
    for (int i = 0; i < 3; i++) g.exchange();
    g.clickButton(1);
    g.clickButton(2);
    const GameRecord honest = gameRecord;
    const ReplayResult result = currentResult();
    const std::string good = writeRecord(honest);
    ASSERT_TRUE(endPlay);
    ASSERT_EQ(faultOf(good), "");
    for (size_t n = 0; n < good.size(); n++) EXPECT_EQ(faultOf(good.substr(0, n)).find("truncated"), 0u) << n;
    // Its first input: at frame 1 the button goes down (over a cell, read next).
    const RecordEvent first = honest.events.front();
    ASSERT_EQ(good.substr(21, 3), "\1\3\1");
    const auto pair = std::adjacent_find(honest.events.begin(), honest.events.end(),
                                         [](const RecordEvent &a, const RecordEvent &b) { return a.frame == b.frame; });
    ASSERT_NE(pair, honest.events.end());
    const size_t twin = size_t(pair - honest.events.begin());
    const uint32_t cap = recordFrameCap(modeFiveMinutes);
    const auto goesOn = [](uint32_t ended, uint32_t to) {
        return "its game ended at frame " + std::to_string(ended) + ", the record goes on to frame " +
               std::to_string(to);
    };
    const std::string otherInput = " it holds an input other than what the rules read";
    const std::string escaped = with(honest, {first.frame, RecordInput::escape, 1});
    const std::vector<std::pair<std::string, std::string>> hostile = {
        {patched(good, 0, "G"), "not a game record (bad magic)"},
        {patched(good, 4, "\3"), "unknown record format version 3"},
        {patched(good, 6, "\x09"), "recorded under rules version 9, these are version 2"},
        {patched(good, 8, "\4"), "game mode out of range"},
        {patched(good, 9, "\3\x08"), "difficulty out of range"},
        {patched(good, 10, "\7"), "colour count does not match the difficulty"},
        {patched(good, 20, "\4"), "held buttons out of range"},
        {patched(good, 22, "\x09"), "unknown input kind 9"},
        {patched(good, 23, "\2"), "input value out of range at frame 1"},
        {patched(good, 21, "\xFF\xFF\xFF\xFF\x7F"), "frame stamp beyond 32 bits"},
        {patched(good, 21, std::string("\x80\0", 2)), "frame stamp written longer than it needs"},
        {good + "x", "bytes after the end mark"},
        {std::string(recordByteCap + 1, 'x'), "longer than the largest record (" + std::to_string(recordByteCap) + " bytes)"},
        {respelt(honest, [&](GameRecord &r) { r.frames = cap + 1; }),
         "frame " + std::to_string(cap + 1) + " is past the longest game of its mode (" + std::to_string(cap) +
             " frames)"},
        // Ten other spellings of the game; the first two play on after it ended, as the forged records did.
        {respelt(honest, [](GameRecord &r) { r.frames++; }), goesOn(honest.frames - 1, honest.frames)},
        {escaped, goesOn(1, honest.frames - 1)},
        {patched(good, 20, "\3"), "a game starts with no button held"},
        {respelt(honest, [](GameRecord &r) {
             for (RecordEvent &e : r.events) e.frame += 1000;
             r.frames += 1000;
         }).replace(16, 4, std::string("\xe8\3\0\0", 4)),
         "a game's record starts at frame 0"},
        {with(honest, {first.frame, RecordInput::escape, 0}), "at frame 1" + otherInput},                // changes nothing
        {with(honest, {2, RecordInput::cell, 17}), "at frame 2" + otherInput},                             // the button up
        {with(honest, {3, RecordInput::clock, 600}), "at frame 3" + otherInput},                           // not relax
        {with(honest, {4, RecordInput::decision, 1}), "at frame 4" + otherInput},                          // not asked
        {with(honest, {first.frame + 1, first.input, first.value}), "at frame 2" + otherInput},          // said twice
        {respelt(honest, [&](GameRecord &r) { std::swap(r.events[twin], r.events[twin + 1]); }),
         "at frame " + std::to_string(pair->frame) + otherInput},   // out of order
    };
    for (const auto &[bytes, fault] : hostile) EXPECT_EQ(faultOf(bytes), fault);
    const ReplayResult left = replayRecord(readBytes(escaped));
    EXPECT_TRUE(left.frames == 2 && left.score == 0 && left.pastTheEnd) << left.frames << " frames, " << left.score;
    EXPECT_EQ(ending(replayRecord(readBytes(good))), ending(result));

    // A journal, the record without its end mark, cut anywhere after its header reads up to its last whole input.
    std::string journal = writeRecordHeader(honest.header);
    for (const RecordEvent &e : honest.events) writeRecordInput(journal, e);
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
    EXPECT_EQ(inputs, honest.events.size());
    EXPECT_FALSE(readRecordInProgress(good.data(), good.size(), record, error));
    EXPECT_EQ(error, "the game has ended");
}

// A game ends on the frame its record reaches a cap, so none is ever written past them.
TEST(Caps, AGameEndsAtItsCaps) {
    for (GameMode mode : {modeMillion, modeRelax}) {
        GameRecord idle;
        idle.header.mode = mode;
        idle.frames = recordFrameCap(mode);
        const ReplayResult r = replayRecord(readBytes(writeRecord(idle)));
        EXPECT_EQ(r.frames, recordFrameCap(mode));
        EXPECT_EQ(mode == modeRelax ? r.gameOver && !endPlay : endPlay && !r.gameOver, true) << mode;
        EXPECT_EQ(rewriteFault(writeRecord(idle)), "");
    }
    PlayedGame g(modeMillion, 0, 1, 1);
    while (!playEnded()) {
        g.hand.p = !g.hand.p;
        g.frame();
    }
    EXPECT_TRUE(endPlay && gameRecord.events.size() == recordInputCap);
    const std::string bytes = writeRecord(gameRecord);
    EXPECT_LE(bytes.size(), recordByteCap);
    EXPECT_EQ(faultOf(bytes), "");
}

// A record of the first rules (F1 and new games inside it, play after Escape and the menu
// button, a button held from the game before) replays as those rules replayed it.
TEST(OldRecord, IsWatchedAsItWasPlayedButNotTakenAsAGame) {
    const std::string hex =
        "42525852010001000101066003000000000000000201030101012b0203000201ff0303010301370403000401ff7c0301"
        "7c01087d03007d01ff7e03017e01147f03007f01ffbe010301be01010abf010300bf0101ffc0010301c0010116c10103"
        "00c10101ffc8010401c9010400cb010301cb010110cc010300cc0101ffcd010301cd01011cce010300ce0101ffbc0203"
        "01bc020132bd020300bd0201ffbe020301be02013ebf020300bf0201ffc6020601c7020301c702013ec7020200c70206"
        "00c8020300c80201ffc90202ff8d0303018d03012f8e0303008e0301ff8f0303018f03013b90030300900301ff970305"
        "019803050099030301990302019a0303009b0303019b0302029c0303009d0302ffee030301ee030108ef030300ef0301"
        "fff0030301f0030109f1030300f10301ffab040301ab040127ac040300ac0401ffad040301ad040128ae040300ae0401"
        "ff990500";
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    EXPECT_EQ(faultOf(bytes), "recorded under rules version 1, these are version 2");
    GameRecord record;
    std::string error;
    ASSERT_TRUE(readRecordToWatch(bytes.data(), bytes.size(), record, error)) << error;
    const ReplayResult r = replayRecord(record);
    EXPECT_EQ(ending(r), std::tuple(60u, 0, 665u, 299, false, uint64_t(0x96e4a2915df69e5e)));
    EXPECT_TRUE(endPlay && !r.pastTheEnd);
    EXPECT_FALSE(readRecordToWatch(patched(bytes, 4, "\2").data(), bytes.size(), record, error));
    EXPECT_EQ(error, "unknown record format version 2");
}

}  // namespace
