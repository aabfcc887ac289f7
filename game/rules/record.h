#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rules.h"

// A game's record: its seed and settings, and every change of what the rules read
// from the player, stamped with the frame it happened on. Replayed through the same
// rules it gives the same board, score, clock and frame count on every frame.
// docs/record-format.md describes the bytes.

constexpr uint16_t recordFormatVersion = 1;
// Raise whenever a rule that changes a result changes: an old record would replay
// to another game.
constexpr uint16_t rulesVersion = 1;

struct RecordHeader {
    int32_t mode = 0;                   // a GameMode
    int32_t difficulty = 0;             // 0..2
    int32_t colours = 5;                // 5 + difficulty
    uint32_t seed = 0;
    uint32_t startFrame = 0;            // frameCount when the record starts: 0 for a whole game
    bool oldButton = false;             // the buttons as the rules last saw them (kept from the last session)
    bool oldbt = false;
};

enum class RecordInput : uint8_t {
    cell = 1,                           // board cell under the pointer while the button is down, -1 none
    button = 2,                         // game button under the pointer, -1 none
    down = 3,                           // left button, 0 / 1
    f1 = 4, p = 5, escape = 6,          // keys, 0 / 1
    clock = 7,                          // minutes since local midnight, 0..1439
    decision = 8,                       // Escape in relax: 1 the result earns a name entry
};

struct RecordEvent {
    uint32_t frame;                     // applies from this frame on
    RecordInput input;
    int16_t value;
};

struct GameRecord {
    RecordHeader header;
    std::vector<RecordEvent> events;    // frames never decrease
    uint32_t frames = 0;                // frameCount at the end: frames - startFrame were played
};

extern GameRecord gameRecord;           // the running session's, filled as it plays

// Called by the rules as a frame is played.
void startRecord(uint32_t seed);
void recordInput(const FrameInput &in);
bool recordDecision(bool offerEntry);   // returns offerEntry
void endRecordedFrame();

std::string writeRecord(const GameRecord &record);
// The same bytes piece by piece, for a record written as it is played: its header,
// then each input; writeRecord adds the end mark.
std::string writeRecordHeader(const RecordHeader &header);
void writeRecordInput(std::string &out, const RecordEvent &event);
// Strict: any damage, truncation, unknown version or value out of range is refused
// with a message naming the fault.
bool readRecord(const void *data, size_t size, GameRecord &record, std::string &error);
// For a record still being written (a journal): cut anywhere after its header it reads
// as a game in progress, its last partial input dropped, played up to the frame of its
// last input. Any other fault is refused as readRecord refuses it, and so is an end mark.
bool readRecordInProgress(const void *data, size_t size, GameRecord &record, std::string &error);

struct ReplayResult {
    uint32_t score = 0;
    int32_t realScore = 0;
    uint32_t frames = 0;
    int32_t gameTimer = 0;
    bool gameOver = false;
    uint64_t boardDigest = 0;
    bool stopped = false;               // keepGoing said no before the end
};
ReplayResult currentResult();           // of the running game
// Runs a record through the rules, as fast as they go; the game's state is left as
// the record ends it.
ReplayResult replayRecord(GameRecord record);
// The same, asking keepGoing every `every` frames: a replay that must be bounded (in
// time, say) stops where it says no, with stopped set.
ReplayResult replayRecord(GameRecord record, const std::function<bool()> &keepGoing, uint32_t every = 4096);

// A record played a frame at a time (to be watched): starting it starts its game.
class RecordPlayer {
public:
    explicit RecordPlayer(const GameRecord &record);
    // Plays the next frame with the record's inputs; false (nothing played) at its end.
    bool frame();
    const FrameInput &input() const { return in; }   // of the frame last played

private:
    const GameRecord &record;
    size_t next = 0;
    FrameInput in;
};
