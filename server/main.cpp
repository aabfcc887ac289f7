// brolix-scored: the score server. Answers the game's score questions and
// submissions and shows the leaderboard. SIGTERM or SIGINT stops it cleanly.
#include "replay_workers.h"
#include "service.h"
#include "store.h"

#include "protocol.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <netdb.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sched.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct Options {
    std::string bind = "127.0.0.1";
    int port = 8080;
    std::string db = "brolix-scores.db";
    bool trustUnverified = false;
    unsigned submissionsPerMinute = scored::kSubmissionsPerMinute;
    unsigned replayWorkers = 0; // 0: one per core
    std::string proxy;
    bool help = false;
};

const char *const kUsage =
    "Usage: brolix-scored [--bind ADDRESS] [--port PORT] [--db FILE|URI] [--trust-unverified]\n"
    "                     [--submissions-per-minute N] [--replay-workers N] [--proxy ADDRESS]\n"
    "Runs the Brolix score server and its leaderboard page.\n"
    "  --bind ADDRESS  address to listen on (default 127.0.0.1; 0.0.0.0 for every interface)\n"
    "  --port PORT     TCP port (default 8080; 0 picks a free one)\n"
    "  --db FILE       SQLite database file, created when missing (default brolix-scores.db)\n"
    "  --db postgresql://USER@HOST/DATABASE\n"
    "                  a PostgreSQL database (a libpq URI), which several servers may share\n"
    "  --trust-unverified  rank every score, with a record or not, ticket or not (default:\n"
    "                  only scores whose record replays to them from a seed ticket of ours)\n"
    "  --submissions-per-minute N  from one address at most (default %u; 0: no limit),\n"
    "                  and three times as many seed tickets; more get 429 with Retry-After\n"
    "  --proxy ADDRESS  the reverse proxy in front: its requests count against the\n"
    "                  address it forwards in X-Forwarded-For (default: none trusted)\n"
    "  --replay-workers N  processes replaying records side by side (default: one per\n"
    "                  processor core of this machine, %u here; 1 to %u)\n"
    "  --help          show this text\n"
    "The address actually used is printed as the first line on standard output.\n"
    "Limits: only GET is answered (405 otherwise), but for the POST of a game record\n"
    "to %s; a request with any other body is refused unread (413);\n"
    "a record at most %zu bytes (413), lasting at most %u, %u and %u frames in the three\n"
    "modes (400), replayed within %lld ms of processor time (422) and %zu MiB of memory\n"
    "by a worker process of its own; at most %zu records\n"
    "wait for a replay, more get 503 with Retry-After at once; a damaged record, one\n"
    "of another version or two framing headers get 400, one that does not replay to\n"
    "its score or is not the one its game writes 422, a bad ticket 403, a game or\n"
    "ticket ranked before 409. Request line and headers at most %zu bytes (414, 431);\n"
    "a connection silent for %u s is closed, and so is a request not in within %lld s\n"
    "plus its body at %zu bytes a second; at most %u connections per address and %u in\n"
    "all; a request the database cannot serve within %lld s gets 503. Refusals and\n"
    "failures go to standard error, at most %d lines a minute.\n";

const long kMostReplayWorkers = 256;

// The cores this process may run on, which a container or taskset may make fewer than the machine's.
unsigned coreCount() {
    cpu_set_t cores;
    if (sched_getaffinity(0, sizeof cores, &cores) != 0)
        return 1;
    return unsigned(std::max(1, CPU_COUNT(&cores)));
}

void printUsage(FILE *to) {
    std::fprintf(to, kUsage, scored::kSubmissionsPerMinute, coreCount(), unsigned(kMostReplayWorkers),
                 protocol::recordPath, recordByteCap, recordFrameCap(modeSixtySeconds),
                 recordFrameCap(modeFiveMinutes), recordFrameCap(modeMillion), (long long)scored::kReplayTime.count(),
                 scored::kWorkerMemoryBytes >> 20, scored::kReplayQueue, scored::kRequestBytes,
                 scored::kReadTimeoutSeconds, (long long)scored::kRequestSeconds.count(), scored::kLeastBytesPerSecond,
                 scored::kConnectionsPerAddress, scored::kConnections, (long long)scored::kStorePatience.count(),
                 scored::kLogLinesPerMinute);
}

bool parseNumber(const char *text, long least, long most, long &number) {
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != 0 || errno != 0 || value < least || value > most)
        return false;
    number = value;
    return true;
}

// The address as the server writes it (so "::0001" is "::1"), or empty when it is none.
std::string numericAddress(const char *text) {
    unsigned char parsed[sizeof(in6_addr)];
    char written[INET6_ADDRSTRLEN] = "";
    for (const int family : {AF_INET, AF_INET6})
        if (inet_pton(family, text, parsed) == 1 && inet_ntop(family, parsed, written, sizeof written))
            return written;
    return {};
}

// Returns false (after saying why) on an unknown option or a missing value.
bool parseOptions(int argc, char **argv, Options &options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--trust-unverified") {
            options.trustUnverified = true;
        } else if (arg == "--bind" && hasValue) {
            options.bind = argv[++i];
        } else if (arg == "--db" && hasValue) {
            options.db = argv[++i];
        } else if (arg == "--proxy" && hasValue) {
            options.proxy = numericAddress(argv[++i]);
            if (options.proxy.empty()) {
                std::fprintf(stderr, "brolix-scored: --proxy takes an IPv4 or IPv6 address: %s\n", argv[i]);
                return false;
            }
        } else if ((arg == "--port" || arg == "--submissions-per-minute" || arg == "--replay-workers") && hasValue) {
            long value = 0;
            const bool workers = arg == "--replay-workers";
            if (!parseNumber(argv[++i], workers ? 1 : 0, arg == "--port" ? 65535 : workers ? kMostReplayWorkers : 1000000,
                             value)) {
                std::fprintf(stderr, "brolix-scored: bad %s: %s\n", arg.c_str() + 2, argv[i]);
                return false;
            }
            if (arg == "--port")
                options.port = int(value);
            else if (workers)
                options.replayWorkers = unsigned(value);
            else
                options.submissionsPerMinute = unsigned(value);
        } else {
            std::fprintf(stderr, "brolix-scored: unknown option or missing value: %s\n", arg.c_str());
            printUsage(stderr);
            return false;
        }
    }
    return true;
}

// A bound, listening socket for the options' address and port, or -1; port and ipv6
// tell what it got.
int listenOn(const Options &options, int &port, bool &ipv6) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    if (getaddrinfo(options.bind.c_str(), std::to_string(options.port).c_str(), &hints, &found) != 0)
        return -1;
    int fd = -1;
    for (const addrinfo *a = found; a && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        // Address reuse only: with port sharing a second server on the same port would take
        // half of the players' submissions into its own database.
        const int yes = 1;
        // The kernel cuts the backlog to its own maximum (net.core.somaxconn).
        if (fd >= 0 && (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
                        bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, INT_MAX) != 0)) {
            close(fd);
            fd = -1;
        }
        ipv6 = a->ai_family == AF_INET6;
    }
    freeaddrinfo(found);
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (fd >= 0 && getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6 &>(address).sin6_port
                          : reinterpret_cast<sockaddr_in &>(address).sin_port);
    return fd;
}

// Each held connection is a file descriptor; take all the system allows.
void raiseFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && std::string(argv[1]) == "--replay-worker")
        return scored::serveReplays(STDIN_FILENO, STDOUT_FILENO);
    Options options;
    if (!parseOptions(argc, argv, options))
        return 2;
    if (options.help) {
        printUsage(stdout);
        return 0;
    }

    // Stop signals are taken with sigwait, never by a handler, so stopping runs as
    // ordinary code. Blocked before any other thread starts, so every thread inherits it.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    raiseFileLimit();

    scored::Store store(options.db);
    if (!store.error().empty()) {
        std::fprintf(stderr, "brolix-scored: cannot use database %s: %s\n", options.db.c_str(), store.error().c_str());
        return 1;
    }
    store.rankUnverified(options.trustUnverified);
    const std::optional<std::string> ticketKey = store.ticketKey();
    if (!ticketKey) {
        std::fprintf(stderr, "brolix-scored: cannot keep the ticket key in %s\n", options.db.c_str());
        return 1;
    }
    int port = options.port;
    bool ipv6 = false;
    const int listener = listenOn(options, port, ipv6);
    if (listener < 0) {
        std::fprintf(stderr, "brolix-scored: cannot listen on %s:%d\n", options.bind.c_str(), options.port);
        return 1;
    }
    scored::Service service(store, *ticketKey, {options.submissionsPerMinute, options.proxy},
                            {options.replayWorkers ? options.replayWorkers : coreCount(), "/proc/self/exe"});
    if (!service.start(listener, ipv6)) {
        std::fprintf(stderr, "brolix-scored: cannot serve on %s:%d or start its replay workers\n",
                     options.bind.c_str(), port);
        close(listener);
        return 1;
    }
    const std::string host = ipv6 ? "[" + options.bind + "]" : options.bind;
    std::printf("brolix-scored: listening on http://%s:%d/\n", host.c_str(), port);
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    service.stop();
    std::printf("brolix-scored: stopped\n");
    return 0;
}
