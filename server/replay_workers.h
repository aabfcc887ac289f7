#pragma once
// Replays in worker processes, one per core: a record replays in a process of its own
// with a processor-time and an address-space limit, so a replay that crashes, runs away
// or is killed takes down nothing but its worker, which the next record starts anew.
// The rules keep their game in globals, so one process replays one record at a time.
#include "replays.h"

#include <sys/types.h>

#include <string>

namespace scored {

constexpr size_t kWorkerMemoryBytes = size_t(512) << 20; // a worker's address space at most

// The workers' own main loop: reads claims from `in`, writes verdicts to `out`, until the
// server closes its end. Returns the process's exit status.
int serveReplays(int in, int out);

// One worker process, driven from one server thread.
class ReplayProcess {
public:
    // program is run as "program --replay-worker" (the server's own executable); a worker
    // that gives no verdict within patience is taken for stuck.
    explicit ReplayProcess(std::string program, std::chrono::milliseconds patience = 3 * kReplayTime)
        : _program(std::move(program)), _patience(patience) {}
    ~ReplayProcess() { stop(); }
    ReplayProcess(const ReplayProcess &) = delete;
    ReplayProcess &operator=(const ReplayProcess &) = delete;

    bool start();                          // false when it cannot be started or is no worker
    // The worker's verdict on the claim, started first when it is not running. A worker that
    // dies, or gives no verdict by the time its limit must have stopped it, is killed and reaped.
    Verdict verify(const Submission &claim);
    void stop();
    pid_t pid() const { return _pid; }

private:
    enum class Loss { Died, Stuck, Nonsense };
    // Reaps the worker (killing it first unless it died) and says what became of the claim.
    Verdict lost(const char *why, Loss loss);

    std::string _program;
    std::chrono::milliseconds _patience;
    pid_t _pid = -1;
    int _socket = -1;
};

} // namespace scored
