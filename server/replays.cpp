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
    if (claim.record.size() > kRecordBytes)
        return {413, "the record is longer than 64 KiB"};
    GameRecord record;
    std::string error;
    if (!readRecord(claim.record.data(), claim.record.size(), record, error))
        return {400, "bad record: " + error};
    if (record.header.mode != claim.game.mode || record.header.difficulty != claim.game.difficulty)
        return {422, "the record is of another game than " + claim.game.name()};
    if (record.frames - record.header.startFrame > kRecordFrames[claim.game.mode])
        return {413, "the record lasts longer than this game allows"};
    const std::chrono::nanoseconds deadline = threadTime() + processorTime;
    const ReplayResult result = replayRecord(record, [&] { return threadTime() < deadline; }, kFramesPerLook);
    if (result.stopped)
        return replayTooLong();
    if (!result.gameOver)
        return {422, "the record does not reach the end of its game"};
    if (result.realScore != claim.score)
        return {422, "the record replays to " + std::to_string(result.realScore) + ", not " +
                         std::to_string(claim.score)};
    return {};
}

Verdict replayTooLong() {
    return {503, "the replay took too long, try again later"};
}

} // namespace scored
