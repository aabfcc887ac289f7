// libFuzzer target: the record readers; what a replay writes again replays to the same game and bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "record.h"

static bool alike(const ReplayResult &a, const ReplayResult &b) {
    return a.score == b.score && a.realScore == b.realScore && a.frames == b.frames && a.gameOver == b.gameOver &&
           a.boardDigest == b.boardDigest;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    GameRecord record;
    std::string error;
    if (!readRecordInProgress(data, size, record, error) && error.empty()) __builtin_trap();
    if (!readRecord(data, size, record, error)) {
        if (error.empty()) __builtin_trap();   // a refusal always says why
        return 0;
    }
    if (writeRecord(record) != bytes) __builtin_trap();
    // The caps bound a replay; fewer frames keep each run short.
    if (record.frames > 20000) return 0;
    const ReplayResult first = replayRecord(record);
    const std::string again = writeRecord(gameRecord);
    if (rewriteFault(bytes).empty() != (again == bytes)) __builtin_trap();
    GameRecord rewritten;
    if (!readRecord(again.data(), again.size(), rewritten, error)) __builtin_trap();
    if (!alike(replayRecord(rewritten), first) || writeRecord(gameRecord) != again) __builtin_trap();
    return 0;
}
