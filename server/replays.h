#pragma once
// Checking a submission by its game record: the record is replayed through the game's
// own rules and must end the game with the claimed result. Replays are bounded in
// length and processor time, so no record can hold the server for long.
#include "requests.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace scored {

constexpr size_t kRecordBytes = 65536;                // a record's body at most
// Frames a record may last (75 a second), pauses and new games of the run included.
constexpr uint32_t kRecordFrames[kModes] = {75 * 60 * 30, 75 * 60 * 60, 75 * 60 * 60 * 2};
// Processor time per replay: the longest record, idle (the costliest frames), takes a
// few seconds on a busy machine.
constexpr std::chrono::milliseconds kReplayTime{10000};
constexpr size_t kReplayQueue = 8;                    // records waiting, all clients together
constexpr int kRetryAfterSeconds = 10;                // told to a client turned away

struct Verdict {
    int status = 200;                                 // 200: the claim is verified
    std::string reason;
};

// What a replay over its processor time gets.
Verdict replayTooLong();

// Replays claim.record and says whether it ends with claim.score in claim.game.
// The rules keep their game in globals: call from one thread only.
Verdict verifyRecord(const Submission &claim, std::chrono::nanoseconds processorTime = kReplayTime);

} // namespace scored
