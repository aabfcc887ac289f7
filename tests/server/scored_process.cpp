#include "scored_process.h"

#include "replays.h"
#include "service.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <chrono>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// The port in the server's first line, "...listening on http://127.0.0.1:PORT/"; 0 if it is silent 10 s.
int readPort(int fd) {
    std::string line;
    pollfd p{fd, POLLIN, 0};
    for (char c; poll(&p, 1, 10000) > 0 && read(fd, &c, 1) == 1 && c != '\n';)
        line += c;
    const size_t colon = line.rfind(':');
    return colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
}

} // namespace

ScoredProcess::ScoredProcess(const std::string &dbPath, int port, const std::vector<std::string> &options) {
    std::vector<std::string> args = {"brolix-scored", "--bind", "127.0.0.1", "--port", std::to_string(port), "--db", dbPath};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0)
        return;
    _pid = fork();
    if (_pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execv(BROLIX_SCORED_PATH, argv.data());
        _exit(127);
    }
    close(out[1]);
    if (_pid > 0)
        _port = readPort(out[0]);
    close(out[0]); // later output goes nowhere; the server ignores SIGPIPE
}

int ScoredProcess::stop(int signal) {
    int status = 0;
    if (_pid <= 0 || kill(_pid, signal) != 0)
        return -1;
    bool gone = false;
    for (int i = 0; i < 1000 && !(gone = waitpid(_pid, &status, WNOHANG) == _pid); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!gone && kill(_pid, SIGKILL) == 0)
        waitpid(_pid, &status, 0);
    _pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int connectFrom(uint32_t from, int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    // The longest the server may take: every record ahead in its queue at its processor bound.
    const auto longest = scored::kReplayTime * (scored::kReplayQueue + 1) + scored::kStorePatience;
    const timeval patience{std::chrono::duration_cast<std::chrono::seconds>(longest).count() + 10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    sockaddr_in a{AF_INET, 0, {htonl(from)}, {}}, to{AF_INET, htons(uint16_t(port)), {htonl(INADDR_LOOPBACK)}, {}};
    bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to);
    return fd;
}

Reply sendRaw(int port, const std::string &bytes, uint32_t from) {
    const int fd = connectFrom(from, port);
    std::string in;
    char buffer[4096];
    ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    while (n > 0 && (n = recv(fd, buffer, sizeof buffer, 0)) > 0)
        in.append(buffer, size_t(n));
    close(fd);
    const size_t body = in.find("\r\n\r\n");
    if (n < 0 || in.compare(0, 9, "HTTP/1.1 ") != 0 || body == std::string::npos)
        return {};
    return {std::atoi(in.c_str() + 9), in.substr(body + 4), in.substr(0, body)};
}

std::string request(const std::string &method, const std::string &target, const std::string &headers) {
    return method + " " + target + " HTTP/1.1\r\nHost: t\r\nConnection: close\r\n" + headers + "\r\n";
}

Reply get(int port, const std::string &target, const std::string &method, const std::string &headers) {
    return sendRaw(port, request(method, target, headers));
}

static std::string path(const char *name, int mode, int difficulty, const std::string &query) {
    return "/scoring/" + std::string(name) + (mode == 2 ? "desc" : "") + ".php?" + query + "gamename=brolix" +
           std::to_string(mode) + "dif" + std::to_string(difficulty);
}
std::string ask(int mode, int difficulty, long long score) {
    return path("ishighscore", mode, difficulty, "submtdscore=" + std::to_string(score) + "&");
}
std::string submit(int mode, int difficulty, const std::string &name, long long score) {
    return path("scoresubmitter", mode, difficulty,
                "name=" + name + "&score=" + std::to_string(score) + "&computer=M&");
}

Reply postRecord(int port, int mode, int difficulty, const std::string &name, long long score,
                 const std::string &record, uint32_t from, const std::string &ticket) {
    const std::string query = path("", mode, difficulty, "name=" + name + "&score=" + std::to_string(score) + "&computer=M&" +
                                                             (ticket.empty() ? "" : "ticket=" + ticket + "&"));
    return sendRaw(port, request("POST", "/scoring/scorerecord" + query.substr(query.find('.')),
                                 "Content-Length: " + std::to_string(record.size()) + "\r\n") + record, from);
}
