#include "record.h"

#include <algorithm>
#include <cstring>
#include <utility>

GameRecord gameRecord;
uint16_t playedRulesVersion = rulesVersion;

// What the rules last read of each input, as recorded: a change is an input.
static int16_t recorded[uint8_t(RecordInput::decision) + 1];

static const char magic[4] = {'B', 'R', 'X', 'R'};
static const size_t headerSize = 21;
static const uint8_t endMark = 0;
static const int16_t minutesPerDay = 24 * 60;

// Every input at rest: no cell, no button, everything up, clock 0.
static void restHand(int16_t *hand) {
    for (int i = 0; i <= int(RecordInput::decision); i++) hand[i] = 0;
    hand[int(RecordInput::cell)] = hand[int(RecordInput::button)] = -1;
}

void startRecord(uint32_t seed) {
    gameRecord = GameRecord{};
    gameRecord.header = {_gameMode, gameDifficulty, static_cast<int32_t>(colorCount()), seed, frameCount, oldButton, oldbt, playedRulesVersion};
    gameRecord.frames = frameCount;
    restHand(recorded);
}

// Nothing is recorded of a game that has ended (the first rules played on).
static bool recording() { return playedRulesVersion < 2 || !playEnded(); }

int16_t readHand(RecordInput input, int16_t value) {
    int16_t &last = recorded[int(input)];
    if (value != last && recording()) {
        gameRecord.events.push_back({frameCount, input, value});
        last = value;
    }
    return value;
}

// Which it is stays unrecorded, so that a record cannot say it two ways.
bool readHandSet(RecordInput input, int16_t value) {
    const bool set = value >= 0;
    if ((recorded[int(input)] >= 0) != set) readHand(input, set ? 0 : -1);
    return set;
}

bool recordDecision(bool offerEntry) {
    if (recording()) gameRecord.events.push_back({frameCount, RecordInput::decision, offerEntry});
    return offerEntry;
}

void endRecordedFrame() {
    frameCount++;
    gameRecord.frames = frameCount;
}

// ----------------------------------------------------------------- bytes ----

static void putVarint(std::string &out, uint32_t v) {
    while (v >= 0x80) {
        out += char((v & 0x7F) | 0x80);
        v >>= 7;
    }
    out += char(v);
}

static void putLittle(std::string &out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; i++) out += char(v >> (8 * i) & 0xFF);
}

// Each rules version has its own format: version 1 records held whole runs of games.
static uint32_t formatOf(uint32_t rules) { return rules == 1 ? 1 : recordFormatVersion; }

std::string writeRecordHeader(const RecordHeader &h) {
    std::string out(magic, sizeof magic);
    putLittle(out, formatOf(h.rules), 2);
    putLittle(out, h.rules, 2);
    for (int32_t b : {h.mode, h.difficulty, h.colours, int32_t(boardCells)}) out += char(b);
    putLittle(out, h.seed, 4);
    putLittle(out, h.startFrame, 4);
    out += char(h.oldButton | h.oldbt << 1);
    return out;
}

void writeRecordInput(std::string &out, const RecordEvent &e) {
    putVarint(out, e.frame);
    out += char(e.input);
    putLittle(out, uint16_t(e.value), e.input == RecordInput::clock ? 2 : 1);
}

std::string writeRecord(const GameRecord &record) {
    std::string out = writeRecordHeader(record.header);
    for (const RecordEvent &e : record.events) writeRecordInput(out, e);
    putVarint(out, record.frames);
    out += char(endMark);
    return out;
}

namespace {

// Reads from a byte range; the first fault is kept and every later read fails.
struct Reader {
    const uint8_t *at, *end;
    std::string &error;

    bool fail(const std::string &why) {
        if (error.empty()) error = why;
        at = end;
        return false;
    }
    bool little(uint32_t &v, int bytes, const char *what) {
        if (end - at < bytes) return fail(std::string("truncated in ") + what);
        v = 0;
        for (int i = 0; i < bytes; i++) v |= uint32_t(at[i]) << (8 * i);
        at += bytes;
        return true;
    }
    bool varint(uint32_t &v) {
        v = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            if (at == end) return fail("truncated in a frame stamp");
            const uint8_t b = *at++;
            if (shift == 28 && b > 0x0F) return fail("frame stamp beyond 32 bits");
            if (shift > 0 && b == 0) return fail("frame stamp written longer than it needs");   // one record, one spelling
            v |= uint32_t(b & 0x7F) << shift;
            if (!(b & 0x80)) return true;
        }
        return fail("frame stamp beyond 32 bits");
    }
};

bool inRange(long v, long low, long high) { return v >= low && v <= high; }

// Which versions a reader takes: a submission or a journal only the current one.
enum class Versions { current, withOld };

bool readHeader(Reader &in, RecordHeader &h, Versions versions) {
    if (in.end - in.at < long(headerSize)) return in.fail("truncated header");
    if (std::memcmp(in.at, magic, sizeof magic) != 0) return in.fail("not a game record (bad magic)");
    in.at += sizeof magic;
    uint32_t format = 0, rules = 0, mode = 0, difficulty = 0, colours = 0, cells = 0;
    in.little(format, 2, "header");
    in.little(rules, 2, "header");
    if (rules != rulesVersion && !(rules == 1 && versions == Versions::withOld))
        return in.fail("recorded under rules version " + std::to_string(rules) + ", these are version " +
                       std::to_string(rulesVersion));
    if (format != formatOf(rules)) return in.fail("unknown record format version " + std::to_string(format));
    in.little(mode, 1, "header"), in.little(difficulty, 1, "header");
    in.little(colours, 1, "header"), in.little(cells, 1, "header");
    uint32_t held = 0;
    in.little(h.seed, 4, "header"), in.little(h.startFrame, 4, "header"), in.little(held, 1, "header");
    if (!inRange(mode, modeSixtySeconds, modeRelax)) return in.fail("game mode out of range");
    if (!inRange(difficulty, 0, 2)) return in.fail("difficulty out of range");
    if (colours != 5 + difficulty) return in.fail("colour count does not match the difficulty");
    if (cells != boardCells) return in.fail("board size out of range");
    if (held > 3) return in.fail("held buttons out of range");
    if (rules > 1 && h.startFrame != 0) return in.fail("a game's record starts at frame 0");
    if (rules > 1 && held != 0) return in.fail("a game starts with no button held");
    h.oldButton = held & 1, h.oldbt = held & 2;
    h.mode = int32_t(mode), h.difficulty = int32_t(difficulty), h.colours = int32_t(colours);
    h.rules = uint16_t(rules);
    return true;
}

bool valueInRange(RecordInput input, int16_t v) {
    switch (input) {
    case RecordInput::cell: return inRange(v, -1, boardCells - 1);
    case RecordInput::button: return inRange(v, -1, 2);
    case RecordInput::clock: return inRange(v, 0, minutesPerDay - 1);
    default: return inRange(v, 0, 1);
    }
}

bool readEvent(Reader &in, uint8_t kind, RecordEvent &e) {
    if (kind > uint8_t(RecordInput::decision)) return in.fail("unknown input kind " + std::to_string(kind));
    e.input = RecordInput(kind);
    uint32_t raw = 0;
    if (!in.little(raw, e.input == RecordInput::clock ? 2 : 1, "an input")) return false;
    const bool minusOne = (e.input == RecordInput::cell || e.input == RecordInput::button) && raw == 0xFF;
    e.value = minusOne ? -1 : int16_t(raw);
    if (!valueInRange(e.input, e.value)) return in.fail("input value out of range at frame " + std::to_string(e.frame));
    return true;
}

}  // namespace

// A record in progress ends where its bytes do: an input cut short there is dropped.
// No frame may pass the mode's cap, so a record's cost is known before it is replayed.
static bool readInputs(Reader &in, GameRecord &record, bool inProgress) {
    const uint32_t cap = recordFrameCap(record.header.mode);
    uint32_t last = record.header.startFrame;
    for (;;) {
        RecordEvent e{};
        uint32_t kind = 0;
        const bool whole = in.varint(e.frame) && in.little(kind, 1, "an input") && (kind == endMark || readEvent(in, uint8_t(kind), e));
        if (!whole && inProgress && in.error.rfind("truncated", 0) == 0) {
            in.error.clear();
            record.frames = record.events.empty() ? record.header.startFrame : record.events.back().frame + 1;
            return true;
        }
        if (!whole) return false;
        if (e.frame < last) return in.fail("frame stamps go backwards at frame " + std::to_string(e.frame));
        if (e.frame > cap || (e.frame == cap && kind != endMark))
            return in.fail("frame " + std::to_string(e.frame) + " is past the longest game of its mode (" +
                           std::to_string(cap) + " frames)");
        if (kind == endMark) {
            if (inProgress) return in.fail("the game has ended");
            record.frames = e.frame;
            break;
        }
        record.events.push_back(e);
        last = e.frame;
    }
    if (in.at != in.end) return in.fail("bytes after the end mark");
    if (!record.events.empty() && record.events.back().frame >= record.frames)
        return in.fail("an input after the last frame");
    return true;
}

static bool readAny(const void *data, size_t size, GameRecord &record, std::string &error, bool inProgress,
                    Versions versions = Versions::current) {
    error.clear();
    record = GameRecord{};
    if (size > recordByteCap) {
        error = "longer than the largest record (" + std::to_string(recordByteCap) + " bytes)";
        return false;
    }
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    Reader in{bytes, bytes + size, error};
    return readHeader(in, record.header, versions) && readInputs(in, record, inProgress);
}

bool readRecord(const void *data, size_t size, GameRecord &record, std::string &error) {
    return readAny(data, size, record, error, false);
}

bool readRecordInProgress(const void *data, size_t size, GameRecord &record, std::string &error) {
    return readAny(data, size, record, error, true);
}

bool readRecordToWatch(const void *data, size_t size, GameRecord &record, std::string &error) {
    return readAny(data, size, record, error, false, Versions::withOld);
}

// ---------------------------------------------------------------- replay ----

ReplayResult currentResult() {
    return {score, _realScore, frameCount, gameTimer, gameOver, boardDigest()};
}

static bool replayedDecision = false;

static void apply(const RecordEvent &e, FrameInput &in) {
    switch (e.input) {
    case RecordInput::cell: in.cell = int8_t(e.value); break;
    case RecordInput::button: in.button = int8_t(e.value); break;
    case RecordInput::down: in.down = e.value; break;
    case RecordInput::f1: in.f1 = e.value; break;
    case RecordInput::p: in.p = e.value; break;
    case RecordInput::escape: in.escape = e.value; break;
    case RecordInput::clock: in.clock = e.value; break;
    case RecordInput::decision: replayedDecision = e.value; break;
    }
}

ReplayResult replayRecord(GameRecord record) { return replayRecord(std::move(record), [] { return true; }, UINT32_MAX); }

ReplayResult replayRecord(GameRecord record, const std::function<bool()> &keepGoing, uint32_t every) {
    RecordPlayer player(record);
    Cue played[maxCues];
    for (uint32_t sinceAsked = 0;; sinceAsked++) {
        if (sinceAsked == every) {
            sinceAsked = 0;
            if (!keepGoing()) {
                ReplayResult stopped = currentResult();
                stopped.stopped = true;
                return stopped;
            }
        }
        if (!player.frame()) break;
        takeCues(played);
    }
    ReplayResult result = currentResult();
    result.pastTheEnd = frameCount < record.frames;
    return result;
}

std::string rewriteFault(const std::string &bytes) {
    const std::string again = writeRecord(gameRecord);
    if (again == bytes) return "";
    GameRecord sent;
    std::string error;
    if (!readRecordToWatch(bytes.data(), bytes.size(), sent, error)) return error;
    if (sent.frames > gameRecord.frames)
        return "its game ended at frame " + std::to_string(gameRecord.frames - 1) + ", the record goes on to frame " +
               std::to_string(sent.frames - 1);
    const size_t at = size_t(std::mismatch(again.begin(), again.end(), bytes.begin()).first - again.begin());
    if (at < headerSize) return "its header is not the one the game writes";
    const auto alike = [](const RecordEvent &a, const RecordEvent &b) {
        return a.frame == b.frame && a.input == b.input && a.value == b.value;
    };
    size_t same = 0;
    while (same < sent.events.size() && same < gameRecord.events.size() && alike(sent.events[same], gameRecord.events[same])) same++;
    const uint32_t frame = same < sent.events.size() ? sent.events[same].frame : sent.frames;
    return "at frame " + std::to_string(frame) + " it holds an input other than what the rules read";
}

RecordPlayer::RecordPlayer(const GameRecord &played) : record(played) {
    const RecordHeader &h = record.header;
    startGame(h.mode, h.difficulty, h.seed);
    // The header is recorded again from the game as it starts, not copied.
    playedRulesVersion = gameRecord.header.rules = h.rules;
    oldButton = gameRecord.header.oldButton = h.oldButton;
    oldbt = gameRecord.header.oldbt = h.oldbt;
    frameCount = gameRecord.header.startFrame = gameRecord.frames = h.startFrame;
}

bool RecordPlayer::frame() {
    if (frameCount >= record.frames || (playedRulesVersion > 1 && playEnded())) return false;
    replayedDecision = false;
    for (; next < record.events.size() && record.events[next].frame == frameCount; next++)
        apply(record.events[next], in);
    stepFrame(in, [] { return replayedDecision; });
    return true;
}
