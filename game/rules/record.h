#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rules.h"

// A game's record: its seed and settings, and what the rules read of the player, stamped
// with the frame they read it on. Replayed through the same rules it gives the same board,
// score, clock and frame count on every frame, and ends on the frame its game ended on.
// docs/record-format.md describes the bytes.

constexpr uint16_t recordFormatVersion = 2;
// Raise whenever a rule that changes a result changes: an old record would replay to
// another game. Version 1 records (a whole run of games each) are still read to be watched.
constexpr uint16_t rulesVersion = 2;
extern uint16_t playedRulesVersion;     // of the game being played: rulesVersion, or an old record's in its replay

// How long a record may be, from what a game can last. A timed game lasts its clock (61
// or 301 ticks) and whatever it stood paused, up to an hour; a million game two hours of
// play and pause, far longer than a slow player needs for a million; a relax game as long.
// A game whose record reaches its cap ends on that frame: a relax game as its menu button
// ends it, any other left unfinished. Replayed, no frame costs much over a microsecond.
constexpr uint32_t framesPerHour = 3600u * 1000u / 14u;   // of 14 ms
constexpr uint32_t recordFrameCap(int32_t mode) {
    return mode == modeSixtySeconds  ? 61 * framesPerTick + framesPerHour
           : mode == modeFiveMinutes ? 301 * framesPerTick + framesPerHour
                                     : 2 * framesPerHour;
}
// A record holds at most an input every fourth frame of the longest game, three times
// what the quickest scripted player needs; a game that reaches it ends as at the cap.
constexpr uint32_t recordInputCap = recordFrameCap(modeMillion) / 4;
// The largest record the caps allow: a header, the inputs of the frame that reached
// their cap beyond it, each at its longest, and the end mark.
constexpr size_t recordByteCap = 21 + (size_t(recordInputCap) + 8) * 8 + 6;

struct RecordHeader {
    int32_t mode = 0;                   // a GameMode
    int32_t difficulty = 0;             // 0..2
    int32_t colours = 5;                // 5 + difficulty
    uint32_t seed = 0;
    uint32_t startFrame = 0;            // frameCount when the record starts: 0 (version 1 allowed others)
    bool oldButton = false;             // the buttons as the rules last saw them: a game starts with
    bool oldbt = false;                 // neither (version 1 kept them from the last game of the run)
    uint16_t rules = rulesVersion;
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

extern GameRecord gameRecord;           // the running game's, filled as it plays

// Called by the rules as a frame is played. They read the player's hand through readHand,
// so a record holds what they read, when it changed, and nothing else; until the game
// ends (after that nothing is recorded).
void startRecord(uint32_t seed);
int16_t readHand(RecordInput input, int16_t value);     // returns value
bool readHandSet(RecordInput input, int16_t value);    // only whether value >= 0: recorded as 0 or -1
bool recordDecision(bool offerEntry);   // returns offerEntry
void endRecordedFrame();

std::string writeRecord(const GameRecord &record);
// The same bytes piece by piece, for a record written as it is played: its header,
// then each input; writeRecord adds the end mark.
std::string writeRecordHeader(const RecordHeader &header);
void writeRecordInput(std::string &out, const RecordEvent &event);
// Strict: any damage, truncation, other version, value out of range or frame beyond the
// mode's cap is refused with a message naming the fault, before anything is replayed.
// A game's record starts at frame 0 with no button held.
bool readRecord(const void *data, size_t size, GameRecord &record, std::string &error);
// For a record still being written (a journal): cut anywhere after its header it reads
// as a game in progress, its last partial input dropped, played up to the frame of its
// last input. Any other fault is refused as readRecord refuses it, and so is an end mark.
bool readRecordInProgress(const void *data, size_t size, GameRecord &record, std::string &error);
// As readRecord, and records of rules version 1 too, to be watched as they were played.
bool readRecordToWatch(const void *data, size_t size, GameRecord &record, std::string &error);

struct ReplayResult {
    uint32_t score = 0;
    int32_t realScore = 0;
    uint32_t frames = 0;
    int32_t gameTimer = 0;
    bool gameOver = false;
    uint64_t boardDigest = 0;
    bool stopped = false;               // keepGoing said no before the end
    bool pastTheEnd = false;            // the record goes on after its game ended
};
ReplayResult currentResult();           // of the running game
// Runs a record through the rules, as fast as they go; the game's state is left as
// the record ends it.
ReplayResult replayRecord(GameRecord record);
// The same, asking keepGoing every `every` frames: a replay that must be bounded (in
// time, say) stops where it says no, with stopped set.
ReplayResult replayRecord(GameRecord record, const std::function<bool()> &keepGoing, uint32_t every = 4096);
// After replaying the record read from bytes: empty when the game it replayed writes these
// very bytes (each game has one record), else the first thing that differs.
std::string rewriteFault(const std::string &bytes);

// A record played a frame at a time (to be watched): starting it starts its game.
class RecordPlayer {
public:
    explicit RecordPlayer(const GameRecord &record);
    // Plays the next frame with the record's inputs; false (nothing played) at its end
    // or once its game has ended.
    bool frame();
    const FrameInput &input() const { return in; }   // of the frame last played

private:
    const GameRecord &record;
    size_t next = 0;
    FrameInput in;
};
