#include "loopback_http.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const int kStartTries = 500;   // 10 ms each

// A loopback socket bound to a free port; returns the descriptor and sets port.
int bindLoopback(int &port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&address), size) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

} // namespace

LoopbackHttp::~LoopbackHttp() {
    _server.stop();
    if (_thread.joinable())
        _thread.join();
}

bool LoopbackHttp::start(int port) {
    _server.set_pre_routing_handler([this](const httplib::Request &, httplib::Response &) {
        ++_requests;
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // Bind as the score server does, so a fixed port it has just left (its connections
    // still in TIME_WAIT) can be taken at once.
    _server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    _port = port == 0 ? _server.bind_to_any_port("127.0.0.1") : _server.bind_to_port("127.0.0.1", port) ? port : -1;
    if (_port <= 0)
        return false;
    _thread = std::thread([this] { _server.listen_after_bind(); });
    for (int i = 0; i < kStartTries && !_server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return _server.is_running();
}

SilentListener::SilentListener() {
    _fd = bindLoopback(_port);
    if (_fd >= 0 && listen(_fd, 16) != 0)
        _port = 0;
}

SilentListener::~SilentListener() {
    if (_fd >= 0)
        close(_fd);
}

int unusedLoopbackPort() {
    int port = 0;
    const int fd = bindLoopback(port);
    if (fd >= 0)
        close(fd);
    return port;
}
