#pragma once
// Test support: the real brolix-scored on a loopback port it picks itself.
#include "test_databases.h"

#include <csignal>
#include <cstdint>
#include <netinet/in.h>
#include <string>
#include <vector>
#include <sys/types.h>

class ScoredProcess {
public:
    // Starts the server on 127.0.0.1 with this port (0: a free one); ok() tells whether it came up.
    explicit ScoredProcess(const std::string &dbPath, int port = 0, const std::vector<std::string> &options = {});
    ~ScoredProcess() { kill9(); }
    ScoredProcess(const ScoredProcess &) = delete;
    ScoredProcess &operator=(const ScoredProcess &) = delete;

    bool ok() const { return _port > 0; }
    int port() const { return _port; }
    pid_t pid() const { return _pid; }
    int terminate() { return stop(SIGTERM); } // exit status, or -1 when it died of a signal
    void kill9() { stop(SIGKILL); }

private:
    int stop(int signal); // sends it and reaps, with a SIGKILL after ten seconds

    pid_t _pid = -1;
    int _port = 0;
};

// Plain HTTP/1.1 to the server, byte for byte as a client sends it.
struct Reply { int status = 0; std::string body, head; }; // status 0: no answer
// A connection from this loopback address; its reads give up only past the server's own deadlines.
int connectFrom(uint32_t from, int port);
// Sends the bytes exactly as written and reads until the server closes.
Reply sendRaw(int port, const std::string &bytes, uint32_t from = INADDR_LOOPBACK);
// The head of a request that closes its connection; each extra header ends in "\r\n".
std::string request(const std::string &method, const std::string &target, const std::string &headers = "");
Reply get(int port, const std::string &target, const std::string &method = "GET", const std::string &headers = "");

// The game's two requests as targets; the million mode (2) takes the "desc" paths.
std::string ask(int mode, int difficulty, long long score);
std::string submit(int mode, int difficulty, const std::string &name, long long score);
// From another address when the per-address connection limit would be in the way.
Reply postRecord(int port, int mode, int difficulty, const std::string &name, long long score,
                 const std::string &record, uint32_t from = INADDR_LOOPBACK, const std::string &ticket = "");

