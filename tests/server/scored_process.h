#pragma once
// Test support: the real brolix-scored on a free loopback port, and a scratch folder.
#include <string>
#include <sys/types.h>

std::string readFile(const std::string &path);        // whole file, empty when missing

// A fresh folder under /tmp, removed with everything in it at the end of scope.
struct ScratchDir {
    explicit ScratchDir(const std::string &tag);
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    std::string path;
};

class ScoredProcess {
public:
    // Starts the server on 127.0.0.1 with this port (0: a free one); ok() tells whether it came up.
    explicit ScoredProcess(const std::string &dbPath, int port = 0);
    ~ScoredProcess();                                  // stops it if still running
    ScoredProcess(const ScoredProcess &) = delete;
    ScoredProcess &operator=(const ScoredProcess &) = delete;

    bool ok() const { return _port > 0; }
    int port() const { return _port; }
    pid_t pid() const { return _pid; }
    std::string host() const { return "127.0.0.1:" + std::to_string(_port); }
    int terminate();   // SIGTERM and wait (at most 10 s); exit status, or -1
    void kill9();      // SIGKILL and reap

private:
    int waitExit(int seconds);

    pid_t _pid = -1;
    int _port = 0;
};
