// brolix-scored: the score server. Answers the game's score questions and
// submissions and shows the leaderboard. SIGTERM or SIGINT stops it cleanly.
#include "routes.h"
#include "store.h"

#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <sys/socket.h>
#include <string>
#include <thread>

namespace {

const size_t kWorkers = 16;
const size_t kKeepAliveRequests = 1000;

struct Options {
    std::string bind = "127.0.0.1";
    int port = 8080;
    std::string db = "brolix-scores.db";
    bool help = false;
};

const char *const kUsage =
    "Usage: brolix-scored [--bind ADDRESS] [--port PORT] [--db FILE]\n"
    "Runs the Brolix score server and its leaderboard page.\n"
    "  --bind ADDRESS  address to listen on (default 127.0.0.1; 0.0.0.0 for every interface)\n"
    "  --port PORT     TCP port (default 8080; 0 picks a free one)\n"
    "  --db FILE       SQLite database file, created when missing (default brolix-scores.db)\n"
    "  --help          show this text\n"
    "The address actually used is printed as the first line on standard output.\n";

bool parsePort(const char *text, int &port) {
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != 0 || value < 0 || value > 65535)
        return false;
    port = int(value);
    return true;
}

// Returns false (after saying why) on an unknown option or a missing value.
bool parseOptions(int argc, char **argv, Options &options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--bind" && hasValue) {
            options.bind = argv[++i];
        } else if (arg == "--db" && hasValue) {
            options.db = argv[++i];
        } else if (arg == "--port" && hasValue) {
            if (!parsePort(argv[++i], options.port)) {
                std::fprintf(stderr, "brolix-scored: bad port: %s\n", argv[i]);
                return false;
            }
        } else {
            std::fprintf(stderr, "brolix-scored: unknown option or missing value: %s\n%s", arg.c_str(), kUsage);
            return false;
        }
    }
    return true;
}

int bindServer(httplib::Server &server, const Options &options) {
    if (options.port == 0)
        return server.bind_to_any_port(options.bind);
    return server.bind_to_port(options.bind, options.port) ? options.port : -1;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    if (!parseOptions(argc, argv, options))
        return 2;
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    // Stop signals are taken by one thread with sigwait, never by a handler,
    // so stopping runs as ordinary code. Set before any other thread starts.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    scored::Store store(options.db);
    if (!store.error().empty()) {
        std::fprintf(stderr, "brolix-scored: cannot use database %s: %s\n", options.db.c_str(), store.error().c_str());
        return 1;
    }
    httplib::Server server;
    // Each kept-alive connection holds a worker: room for a club's worth of players.
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    // Replies are tiny: send them at once rather than wait for the client's ACK.
    server.set_tcp_nodelay(true);
    server.set_keep_alive_max_count(kKeepAliveRequests);
    // Address reuse only: with port sharing a second server on the same port would take half
    // of the players' submissions into its own database.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    scored::installRoutes(server, store);
    const int port = bindServer(server, options);
    if (port < 0) {
        std::fprintf(stderr, "brolix-scored: cannot listen on %s:%d\n", options.bind.c_str(), options.port);
        return 1;
    }

    std::thread stopper([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
    });
    std::printf("brolix-scored: listening on http://%s:%d/\n", options.bind.c_str(), port);
    std::fflush(stdout);
    const bool served = server.listen_after_bind();
    pthread_kill(stopper.native_handle(), SIGTERM); // wakes the stopper when listening failed
    stopper.join();
    std::printf("brolix-scored: stopped\n");
    return served ? 0 : 1;
}
