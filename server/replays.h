#pragma once
// Checking a submission by its game record: the record is replayed through the game's
// own rules, must end the game with the claimed result, and must be the very bytes the
// game writes for the game it replays to. Replays are bounded in length and processor
// time, so no record can hold the server for long.
#include "requests.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace scored {

// Processor time per replay. The costliest record within the caps takes well under a
// second; one that needs more is no game the rules allow, and is refused for good.
constexpr std::chrono::milliseconds kReplayTime{5000};
constexpr size_t kReplayQueue = 8;                    // records waiting, all clients together
constexpr int kRetryAfterSeconds = 10;                // told to a client turned away

struct Verdict {
    int status = 200;                                 // 200: the claim is verified
    std::string reason;
    uint32_t seed = 0;                                // the record's, when verified
    uint32_t frames = 0;                              // how long its game lasted
};

// What a replay over its processor time gets.
Verdict replayTooLong();

// Replays claim.record and says whether it ends with claim.score in claim.game.
// The rules keep their game in globals: call from one thread only.
Verdict verifyRecord(const Submission &claim, std::chrono::nanoseconds processorTime = kReplayTime);

} // namespace scored
