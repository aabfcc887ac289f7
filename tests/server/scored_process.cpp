#include "scored_process.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const int kStartSeconds = 10;

// First line the server prints: "brolix-scored: listening on http://127.0.0.1:PORT/".
int readPort(int fd) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kStartSeconds);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 200) <= 0)
            continue;
        char c[256];
        const ssize_t n = read(fd, c, sizeof c);
        if (n <= 0)
            break;
        line.append(c, size_t(n));
    }
    const size_t colon = line.rfind(':');
    return colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
}

} // namespace

ScratchDir::ScratchDir(const std::string &tag) {
    std::string pattern = "/tmp/brolix-" + tag + "-XXXXXX";
    if (mkdtemp(pattern.data()))
        path = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    if (!path.empty())
        std::filesystem::remove_all(path, ignored);
}

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

ScoredProcess::ScoredProcess(const std::string &dbPath, int port) {
    const std::string portText = std::to_string(port);
    int out[2];
    if (pipe(out) != 0)
        return;
    _pid = fork();
    if (_pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl(BROLIX_SCORED_PATH, "brolix-scored", "--bind", "127.0.0.1", "--port", portText.c_str(), "--db",
              dbPath.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(out[1]);
    if (_pid > 0)
        _port = readPort(out[0]);
    close(out[0]); // later output goes nowhere; the server ignores SIGPIPE
}

ScoredProcess::~ScoredProcess() {
    if (_pid > 0 && terminate() < 0)
        kill9();
}

int ScoredProcess::waitExit(int seconds) {
    for (int i = 0; i < seconds * 100; ++i) {
        int status = 0;
        if (waitpid(_pid, &status, WNOHANG) == _pid) {
            _pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

int ScoredProcess::terminate() {
    if (_pid <= 0)
        return -1;
    kill(_pid, SIGTERM);
    return waitExit(10);
}

void ScoredProcess::kill9() {
    if (_pid <= 0)
        return;
    kill(_pid, SIGKILL);
    int status = 0;
    waitpid(_pid, &status, 0);
    _pid = -1;
}
