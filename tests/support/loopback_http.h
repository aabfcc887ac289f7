#pragma once
// Test support: the test's own HTTP handlers on a free loopback port; a listener that never answers.
#include <httplib.h>

#include <string>
#include <thread>

class LoopbackHttp {
public:
    ~LoopbackHttp();                               // stops serving

    httplib::Server &server() { return _server; }  // install handlers before start()
    bool start();                                  // on a free port; false when it could not listen
    std::string host() const { return "127.0.0.1:" + std::to_string(_port); }
    std::string url(const std::string &pathAndQuery) const { return "http://" + host() + pathAndQuery; }

private:
    httplib::Server _server;
    std::thread _thread;
    int _port = 0;
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
    int _fd;
    int _port = 0;
};

int unusedLoopbackPort();  // a port nothing listens on (just released)
