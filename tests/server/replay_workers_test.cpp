// A record replays in a process of its own: whatever becomes of it answers that record alone.
#include "played_claim.h"
#include "replay_workers.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using scored::ReplayProcess;

// A worker program that greets as a worker of this version does and then does what the shell line says.
std::string fakeWorker(const TempDir &dir, const std::string &name, const std::string &line,
                       const std::string &greeting = "replay1") {
    dir.write(name, "#!/bin/sh\nprintf '" + greeting + "\\n'\n" + line + "\n");
    chmod(dir.path(name).c_str(), 0755);
    return dir.path(name);
}

bool running(pid_t pid) {
    return pid > 0 && kill(pid, 0) == 0;
}

TEST(ReplayWorkers, AVerdictComesFromTheWorkerUnderItsLimitsAndWhateverEndsAWorkerAnswersOnlyItsOwnRecord) {
    const scored::Submission honest = playedClaim({0, 1}, 7, 7);
    ASSERT_GT(honest.score, 0);

    rlimit core{};   // a worker would inherit cores allowed, unless the server forbids them
    getrlimit(RLIMIT_CORE, &core);
    core.rlim_cur = core.rlim_max;
    ASSERT_EQ(setrlimit(RLIMIT_CORE, &core), 0);
    ReplayProcess real(BROLIX_SCORED_PATH);
    ASSERT_TRUE(real.start());
    const pid_t first = real.pid();
    const std::string all = commandOutput("cat /proc/" + std::to_string(first) + "/limits");
    EXPECT_NE(all.find("Max core file size        0"), std::string::npos) << all;
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_NE(all.find("Max address space         " + std::to_string(scored::kWorkerMemoryBytes)), std::string::npos)
        << all;
#endif
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(real.verify(honest).status, 200) << i;
    EXPECT_EQ(real.pid(), first) << "one worker replays record after record";

    kill(first, SIGKILL); // as the system's out-of-memory killer would, between two records
    const scored::Verdict killed = real.verify(honest);
    EXPECT_EQ(killed.status, 503) << killed.reason;
    EXPECT_FALSE(running(first));
    EXPECT_EQ(real.verify(honest).status, 200) << "the next record starts a fresh worker";
    const pid_t second = real.pid();
    EXPECT_NE(second, first);
    real.stop();
    EXPECT_FALSE(running(second)) << "a worker ends with its server";

    TempDir dir("workers");
    const std::vector<std::tuple<std::string, int, std::string>> endings = {
        {"kill -SEGV $$", 500, "failed"},                   // a crash: the record would crash it again
        {"exit 0", 500, "failed"},                          // gone without a word
        {"printf 'no verdict at all'", 500, ""},            // a reply that is no verdict
        {"kill -XCPU $$", 422, "takes longer"},             // its processor limit: refused for good
        {"kill -TERM $$", 503, "try again later"},          // stopped from outside
    };
    for (const auto &[line, status, reason] : endings) {
        ReplayProcess worker(fakeWorker(dir, "worker", "head -c 16 >/dev/null; " + line));
        const scored::Verdict verdict = worker.verify(honest);
        EXPECT_EQ(verdict.status, status) << line << ": " << verdict.reason;
        EXPECT_NE(verdict.reason.find(reason), std::string::npos) << line << ": " << verdict.reason;
        EXPECT_EQ(worker.pid(), -1) << line << ": reaped";
    }
    ReplayProcess stuck(fakeWorker(dir, "stuck", "exec sleep 600"), std::chrono::milliseconds(300));
    ASSERT_TRUE(stuck.start());
    const pid_t sleeper = stuck.pid();
    EXPECT_EQ(stuck.verify(honest).status, 503);
    EXPECT_FALSE(running(sleeper)) << "a stuck worker is killed, not left behind";

    ReplayProcess missing(dir.path("no-such-program")), notAWorker("/bin/true"),
        otherVersion(fakeWorker(dir, "old", "exec sleep 600", "replay0"));
    EXPECT_FALSE(missing.start());
    EXPECT_FALSE(notAWorker.start());
    EXPECT_EQ(otherVersion.verify(honest).status, 503);
}

} // namespace
