#include "replays.h"

#include "record.h"

#include <ctime>

namespace scored {

namespace {

std::chrono::nanoseconds threadTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// Frames between two looks at the clock: well under a millisecond of replay.
const uint32_t kFramesPerLook = 256;

} // namespace

Verdict verifyRecord(const Submission &claim, std::chrono::nanoseconds processorTime) {
    GameRecord record;
    std::string error;
    // The current format only: an older record's game could go on after its end.
    if (!readRecord(claim.record.data(), claim.record.size(), record, error))
        return {400, "bad record: " + error};
    if (record.header.mode != claim.game.mode || record.header.difficulty != claim.game.difficulty)
        return {422, "the record is of another game than " + claim.game.name()};
    const std::chrono::nanoseconds deadline = threadTime() + processorTime;
    const ReplayResult result = replayRecord(record, [&] { return threadTime() < deadline; }, kFramesPerLook);
    if (result.stopped)
        return replayTooLong();
    if (result.pastTheEnd)
        return {422, "the record goes on after its game ended, at frame " + std::to_string(result.frames - 1)};
    if (!result.gameOver)
        return {422, "the record does not reach the end of its game"};
    const std::string fault = rewriteFault(claim.record);
    if (!fault.empty())
        return {422, "the record is not the one its game writes: " + fault};
    if (result.realScore != claim.score)
        return {422, "the record replays to " + std::to_string(result.realScore) + ", not " +
                         std::to_string(claim.score)};
    return {200, {}, record.header.seed, result.frames};
}

Verdict replayTooLong() {
    return {422, "the replay takes longer than any game within the caps"};
}

} // namespace scored
