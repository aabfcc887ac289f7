#include "replay_workers.h"

#include "record.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

extern char **environ;

namespace scored {

namespace {

using Clock = std::chrono::steady_clock;

// A claim goes out as four 32-bit words (the record's size, mode, difficulty, score) and
// the record; a verdict comes back as its status, the record's seed and frames, the
// reason's size and the reason.
const size_t kClaimHeader = 4 * sizeof(uint32_t);
const size_t kVerdictHeader = 4 * sizeof(uint32_t);
const size_t kReasonBytes = 4096;
// What a worker says once its limits are set, before it takes a claim.
const char kHello[] = "replay1\n";
const size_t kHelloBytes = sizeof kHello - 1;
// How long a worker may take to start.
const std::chrono::seconds kStartPatience{10};

// Calls move(bytes done so far) until size bytes are moved, again when it was interrupted;
// false once it moves nothing or fails.
template <typename Move>
bool moveAll(size_t size, Move move) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = move(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

bool writeAll(int fd, const std::string &bytes) {
    return moveAll(bytes.size(), [&](size_t done) {
        return send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    });
}

// Input ready: above 0; the deadline passed: 0; an error: below 0, with errno.
int waitForInput(int fd, Clock::time_point deadline) {
    if (deadline == Clock::time_point::max())
        return 1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd ready{fd, POLLIN, 0};
    return left > 0 ? poll(&ready, 1, int(left)) : 0;
}

// Reads exactly size bytes, waiting until the deadline at most; false on the end, an error or the deadline.
bool readAll(int fd, char *to, size_t size, Clock::time_point deadline = Clock::time_point::max()) {
    return moveAll(size, [&](size_t done) -> ssize_t {
        const int ready = waitForInput(fd, deadline);
        return ready > 0 ? read(fd, to + done, size - done) : ready;
    });
}

std::string words(std::initializer_list<uint32_t> values) {
    std::string out;
    for (const uint32_t value : values)
        out.append(reinterpret_cast<const char *>(&value), sizeof value);
    return out;
}

uint32_t word(const char *bytes, size_t index) {
    uint32_t value;
    std::memcpy(&value, bytes + index * sizeof value, sizeof value);
    return value;
}

// The address-space limit would stop the sanitizers' shadow memory from being mapped.
#if defined(__SANITIZE_ADDRESS__)
const bool kLimitMemory = false;
#else
const bool kLimitMemory = true;
#endif

void limitWorker() {
    const rlimit noCore{0, 0}; // a killed replay leaves no core file in the server's folder
    setrlimit(RLIMIT_CORE, &noCore);
    if (kLimitMemory) {
        const rlimit memory{kWorkerMemoryBytes, kWorkerMemoryBytes};
        setrlimit(RLIMIT_AS, &memory);
    }
}

// The system's processor limit (SIGXCPU) counts the process's whole life: each replay
// gets its allowance on top of what the worker has used so far. The replay's own check
// stops it first; this catches a replay that never reaches that check.
void allowProcessorTime(std::chrono::milliseconds allowance) {
    rusage used{};
    getrusage(RUSAGE_SELF, &used);
    const rlim_t seconds = rlim_t(used.ru_utime.tv_sec + used.ru_stime.tv_sec) + 2 +
                           rlim_t(std::chrono::ceil<std::chrono::seconds>(allowance).count());
    rlimit limit{};
    getrlimit(RLIMIT_CPU, &limit);
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? seconds : std::min(seconds, limit.rlim_max);
    setrlimit(RLIMIT_CPU, &limit);
}

} // namespace

int serveReplays(int in, int out) {
    prctl(PR_SET_NAME, "brolix-replay"); // told apart from the server in ps and top
    limitWorker();
    if (!writeAll(out, kHello))
        return 0;
    for (;;) {
        char header[kClaimHeader];
        if (!readAll(in, header, sizeof header))
            return 0; // the server has closed its end
        const uint32_t size = word(header, 0);
        if (size > recordByteCap)
            return 1; // the server never sends one
        Submission claim;
        claim.game = {int32_t(word(header, 1)), int32_t(word(header, 2))};
        claim.score = int32_t(word(header, 3));
        claim.record.resize(size);
        if (!readAll(in, claim.record.data(), size))
            return 0;
        allowProcessorTime(kReplayTime);
        Verdict verdict = verifyRecord(claim);
        verdict.reason.resize(std::min(verdict.reason.size(), kReasonBytes));
        if (!writeAll(out, words({uint32_t(verdict.status), verdict.seed, verdict.frames,
                                  uint32_t(verdict.reason.size())}) +
                               verdict.reason))
            return 0;
    }
}

bool ReplayProcess::start() {
    stop();
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return false;
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, ends[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&files, ends[1], STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none); // the server blocks its stop signals in every thread
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const char *argv[] = {_program.c_str(), "--replay-worker", nullptr};
    const int spawned = posix_spawn(&_pid, _program.c_str(), &files, &attributes, const_cast<char **>(argv), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    close(ends[1]);
    if (spawned != 0) {
        close(ends[0]);
        _pid = -1;
        return false;
    }
    _socket = ends[0];
    char hello[kHelloBytes];
    if (readAll(_socket, hello, sizeof hello, Clock::now() + kStartPatience) &&
        std::memcmp(hello, kHello, kHelloBytes) == 0)
        return true;
    stop(); // not a worker, or not one of this version
    return false;
}

void ReplayProcess::stop() {
    if (_socket >= 0)
        close(_socket);
    _socket = -1;
    if (_pid > 0) { // it keeps nothing worth waiting for
        kill(_pid, SIGKILL);
        waitpid(_pid, nullptr, 0);
    }
    _pid = -1;
}

Verdict ReplayProcess::verify(const Submission &claim) {
    if (_pid <= 0 && !start())
        return {503, "no replay worker could be started, try again later"};
    const std::string request = words({uint32_t(claim.record.size()), uint32_t(claim.game.mode),
                                       uint32_t(claim.game.difficulty), uint32_t(claim.score)}) +
                                claim.record;
    if (!writeAll(_socket, request))
        return lost("its worker had stopped", Loss::Died);
    char header[kVerdictHeader];
    const Clock::time_point deadline = Clock::now() + _patience;
    if (!readAll(_socket, header, sizeof header, deadline)) {
        const bool stuck = Clock::now() >= deadline;
        return lost(stuck ? "its worker was stuck" : "its worker stopped", stuck ? Loss::Stuck : Loss::Died);
    }
    const uint32_t status = word(header, 0), size = word(header, 3);
    Verdict verdict{int(status), std::string(std::min<size_t>(size, kReasonBytes), '\0'), word(header, 1),
                    word(header, 2)};
    if (status < 200 || status > 599 || size > kReasonBytes || !readAll(_socket, verdict.reason.data(), size, deadline))
        return lost("its worker answered nonsense", Loss::Nonsense);
    return verdict;
}

Verdict ReplayProcess::lost(const char *why, Loss loss) {
    close(_socket);
    _socket = -1;
    if (loss != Loss::Died)
        kill(_pid, SIGKILL);
    int status = 0;
    const bool reaped = waitpid(_pid, &status, 0) == _pid;
    _pid = -1;
    const int signal = reaped && WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    if (signal == SIGXCPU)
        return replayTooLong();
    // Killed from outside (the system short of memory, an operator): nothing to do with the record.
    if (loss == Loss::Stuck || (loss == Loss::Died && (signal == SIGKILL || signal == SIGTERM)))
        return {503, std::string("the replay was cut short (") + why + "), try again later"};
    return {500, std::string("the replay of this record failed (") + why + ")"};
}

} // namespace scored
