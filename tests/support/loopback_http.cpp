#include "loopback_http.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

LoopbackHttp::~LoopbackHttp() {
    _server.stop();
    if (_thread.joinable())
        _thread.join();
}

bool LoopbackHttp::start() {
    _port = _server.bind_to_any_port("127.0.0.1");
    if (_port <= 0)
        return false;
    _thread = std::thread([this] { _server.listen_after_bind(); });
    for (int i = 0; i < 500 && !_server.is_running(); ++i)  // up to five seconds
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return _server.is_running();
}

SilentListener::SilentListener() : _fd(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    if (bind(_fd, reinterpret_cast<sockaddr *>(&address), size) == 0 && listen(_fd, 16) == 0 &&
        getsockname(_fd, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        _port = ntohs(address.sin_port);
}

SilentListener::~SilentListener() {
    if (_fd >= 0)
        close(_fd);
}

// Its listener is closed when this returns; having accepted nothing, it leaves no TIME_WAIT behind.
int unusedLoopbackPort() { return SilentListener().port(); }
