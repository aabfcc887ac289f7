#pragma once
// Test support: an HTTP server inside the test on a free loopback port, answering
// with whatever handlers the test installs; and a listener that never answers.
#include <httplib.h>

#include <atomic>
#include <string>
#include <thread>

class LoopbackHttp {
public:
    LoopbackHttp() = default;
    ~LoopbackHttp();                               // stops serving
    LoopbackHttp(const LoopbackHttp &) = delete;
    LoopbackHttp &operator=(const LoopbackHttp &) = delete;

    httplib::Server &server() { return _server; }  // install handlers before start()
    bool start(int port = 0);                      // on this port (0: a free one); false when it could not listen
    int port() const { return _port; }
    std::string host() const { return "127.0.0.1:" + std::to_string(_port); }
    std::string url(const std::string &pathAndQuery) const { return "http://" + host() + pathAndQuery; }
    int requests() const { return _requests.load(); } // requests answered so far

private:
    httplib::Server _server;
    std::thread _thread;
    int _port = 0;
    std::atomic<int> _requests{0};
};

// Accepts TCP connections at the kernel level and never reads or answers.
class SilentListener {
public:
    SilentListener();
    ~SilentListener();
    SilentListener(const SilentListener &) = delete;
    SilentListener &operator=(const SilentListener &) = delete;
    int port() const { return _port; }

private:
    int _fd = -1;
    int _port = 0;
};

int unusedLoopbackPort();  // a port nothing listens on (just released)
