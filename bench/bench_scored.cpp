// Score server on loopback.
// Throughput: clients ask the score question for some seconds against a database of
// 9 x 200 scores; prints requests per second and latencies.
// Hostile: 8 players submit 500 scores each while strangers hold 1,000 idle connections,
// 32 slow-header connections and 8 endless 300 MB uploads; prints what the players got,
// what the server kept, its peak memory and the connection attempts it dropped.
// Records: verified submissions per second (a real five-minute game's record, replayed
// by the server each time: the first is stored, its copies refused after their replay);
// then 100 of the records costliest per byte (a million game nobody plays, to its cap)
// sent at once while the leaderboard is asked for, printing the 503s and the
// leaderboard's latencies.
// Scale: verified submissions per second and the leaderboard's latency meanwhile, with 1
// and 2 replay workers on SQLite, and with one and two instances on one PostgreSQL
// database (run under scripts/with_postgresql.sh for those).
// Usage: bench_scored [seconds] [clients]
//        bench_scored --hostile
//        bench_scored --records
//        bench_scored --scale [seconds]
#include "played_game.h"
#include "scored_process.h"
#include "test_databases.h"

#include <httplib.h>
#include <sqlite3.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <iterator>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }
double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void seed(int port) {
    httplib::Client client("127.0.0.1", port);
    for (int game = 0; game < 9; ++game)
        for (int i = 0; i < 200; ++i) {
            const int mode = game / 3;
            const std::string path = std::string("/scoring/scoresubmitter") + (mode == 2 ? "desc" : "") +
                                     ".php?name=seed&score=" + std::to_string(100 + i * 37) +
                                     "&computer=M&gamename=brolix" + std::to_string(mode) + "dif" +
                                     std::to_string(game % 3);
            client.Get(path.c_str());
        }
}

// Asks until the deadline; returns each request's latency in microseconds.
std::vector<double> ask(int port, Clock::time_point deadline, int c, std::atomic<int> &failures) {
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    std::vector<double> latencies;
    for (int i = 0; Clock::now() < deadline; ++i) {
        const std::string path = "/scoring/ishighscore.php?gamename=brolix" + std::to_string(c % 2) + "dif" +
                                 std::to_string(i % 3) + "&submtdscore=" + std::to_string((i * 131) % 9000);
        const auto start = Clock::now();
        const auto r = client.Get(path.c_str());
        latencies.push_back(micros(Clock::now() - start));
        if (!r || r->status != 200)
            ++failures;
    }
    return latencies;
}

double percentile(const std::vector<double> &sorted, double p) {
    return sorted.empty() ? 0 : sorted[std::min(sorted.size() - 1, size_t(p * double(sorted.size())))];
}

std::vector<double> sortedUnion(const std::vector<std::vector<double>> &parts) {
    std::vector<double> all;
    for (const auto &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    std::sort(all.begin(), all.end());
    return all;
}

// The benchmarks' clients share a few addresses and send far more than players.
const std::vector<std::string> kNoSubmissionLimit = {"--submissions-per-minute", "0"};

int throughput(int argc, char **argv) {
    const int duration = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const int clients = argc > 2 ? std::max(1, std::atoi(argv[2])) : 8;
    const TempDir dir("brolix-bench");
    ScoredProcess server(dir.path("scores.db"), 0, kNoSubmissionLimit);
    if (!server.ok()) {
        std::fprintf(stderr, "bench_scored: the server did not start\n");
        return 1;
    }
    seed(server.port());

    std::atomic<int> failures{0};
    std::vector<std::vector<double>> perClient(static_cast<size_t>(clients));
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::seconds(duration);
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&, c] { perClient[size_t(c)] = ask(server.port(), deadline, c, failures); });
    for (std::thread &t : threads)
        t.join();
    const double elapsed = seconds(Clock::now() - start);
    const std::vector<double> all = sortedUnion(perClient);
    std::printf("score question, %d clients, %.1f s on loopback\n", clients, elapsed);
    std::printf("requests: %zu (%d failed)\n", all.size(), failures.load());
    std::printf("requests per second: %.0f\n", double(all.size()) / elapsed);
    std::printf("latency p50: %.0f us, p99: %.0f us, max: %.0f us\n", percentile(all, 0.50), percentile(all, 0.99),
                all.empty() ? 0 : all.back());
    return failures.load() == 0 ? 0 : 1;
}

// ---- hostile mode ----

const int kPlayers = 8;
const int kSubmissions = 500;
const int kIdle = 1000;
const int kSlow = 32;
const int kUploads = 8;
const int kPerStranger = 8;                        // connections per stranger's address
const long long kUploadBytes = 300ll << 20;
const auto kConnectPatience = std::chrono::seconds(3); // the game's connect limit
const auto kSlowLinePace = std::chrono::seconds(2);
const auto kPlayerPatience = std::chrono::seconds(120); // the players give up after this

struct Tally {
    std::atomic<long long> attempts{0}, dropped{0}, closedByServer{0}, refused413{0}, uploaded{0};
    std::atomic<int> open{0};
};

// One stranger's connection, reopened whenever it closes.
struct Raider {
    enum Kind { Idle, Slow, Upload } kind = Idle;
    in_addr_t source = 0;            // host order
    int fd = -1;
    bool connected = false;
    Clock::time_point since;         // connect start, or the last header line sent
    long long sent = 0;
    bool saw413 = false;
};

void closeRaider(Raider &r, Tally &tally) {
    if (r.connected)
        --tally.open;
    close(r.fd);
    r.fd = -1;
    r.connected = false;
}

void openRaider(Raider &r, int port, Tally &tally) {
    r.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in from{}, to{};
    from.sin_family = to.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(r.source);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(uint16_t(port));
    bind(r.fd, reinterpret_cast<sockaddr *>(&from), sizeof from);
    ++tally.attempts;
    r.since = Clock::now();
    r.sent = 0;
    r.saw413 = false;
    if (connect(r.fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0 && errno != EINPROGRESS) {
        ++tally.dropped;
        closeRaider(r, tally);
    }
}

void sendText(Raider &r, const std::string &text) {
    if (send(r.fd, text.data(), text.size(), MSG_NOSIGNAL) > 0)
        r.since = Clock::now();
}

void onConnected(Raider &r, Tally &tally) {
    int error = 0;
    socklen_t size = sizeof error;
    getsockopt(r.fd, SOL_SOCKET, SO_ERROR, &error, &size);
    if (error != 0) {
        ++tally.dropped;
        return closeRaider(r, tally);
    }
    r.connected = true;
    ++tally.open;
    if (r.kind == Raider::Slow)
        sendText(r, "GET / HTTP/1.1\r\nHost: bench\r\n");
    if (r.kind == Raider::Upload)
        sendText(r, "POST / HTTP/1.1\r\nHost: bench\r\nContent-Type: application/octet-stream\r\n"
                    "Content-Length: " + std::to_string(kUploadBytes) + "\r\n\r\n");
}

void onReadable(Raider &r, Tally &tally) {
    char buffer[4096];
    const ssize_t n = recv(r.fd, buffer, sizeof buffer, 0);
    if (n > 0) {
        if (!r.saw413 && std::string(buffer, size_t(n)).find(" 413 ") != std::string::npos) {
            r.saw413 = true;
            ++tally.refused413;
        }
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    ++tally.closedByServer;
    closeRaider(r, tally);
}

void onWritable(Raider &r, Tally &tally) {
    static const std::vector<char> zeros(1 << 16, 0);
    const size_t want = size_t(std::min<long long>(kUploadBytes - r.sent, (long long)zeros.size()));
    if (want == 0)
        return;
    const ssize_t n = send(r.fd, zeros.data(), want, MSG_NOSIGNAL);
    if (n > 0) {
        r.sent += n;
        tally.uploaded += n;
    } else if (errno != EAGAIN && errno != EINTR) {
        ++tally.closedByServer;
        closeRaider(r, tally);
    }
}

// Keeps every stranger's connection open (reconnecting at once) until stop is set.
void besiege(int port, std::vector<Raider> &raiders, Tally &tally, const std::atomic<bool> &stop) {
    std::vector<pollfd> fds(raiders.size());
    while (!stop) {
        for (size_t i = 0; i < raiders.size(); ++i) {
            Raider &r = raiders[i];
            if (r.fd < 0)
                openRaider(r, port, tally);
            const bool wantsWrite = !r.connected || (r.kind == Raider::Upload && r.sent < kUploadBytes);
            fds[i] = {r.fd, short(POLLIN | (wantsWrite ? POLLOUT : 0)), 0};
        }
        poll(fds.data(), fds.size(), 100);
        const auto now = Clock::now();
        for (size_t i = 0; i < raiders.size(); ++i) {
            Raider &r = raiders[i];
            const short ev = fds[i].revents;
            if (r.fd < 0)
                continue;
            if (!r.connected) {
                if (ev)
                    onConnected(r, tally);
                else if (now - r.since > kConnectPatience) {
                    ++tally.dropped;
                    closeRaider(r, tally);
                }
                continue;
            }
            if (ev & (POLLIN | POLLERR | POLLHUP))
                onReadable(r, tally);
            if (r.fd >= 0 && r.kind == Raider::Upload && (ev & POLLOUT))
                onWritable(r, tally);
            if (r.fd >= 0 && r.kind == Raider::Slow && now - r.since >= kSlowLinePace)
                sendText(r, "X-Slow-" + std::to_string(i) + ": still coming\r\n");
        }
    }
    for (Raider &r : raiders)
        if (r.fd >= 0)
            closeRaider(r, tally);
}

std::vector<Raider> strangers() {
    std::vector<Raider> raiders;
    const auto add = [&](Raider::Kind kind, int count) {
        for (int i = 0; i < count; ++i) {
            Raider r;
            r.kind = kind;
            // 127.1.x.y: many strangers, a few connections each
            r.source = 0x7f010000u + 1 + in_addr_t(raiders.size() / kPerStranger);
            raiders.push_back(r);
        }
    };
    add(Raider::Idle, kIdle);
    add(Raider::Slow, kSlow);
    add(Raider::Upload, kUploads);
    return raiders;
}

struct PlayerResult {
    std::vector<double> latencies;   // every attempt, answered or not
    int acknowledged = 0, connectFailures = 0, otherFailures = 0;
};

PlayerResult play(int port, int c, Clock::time_point deadline) {
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    client.set_connection_timeout(3);
    client.set_read_timeout(10);
    PlayerResult out;
    for (int i = 0; i < kSubmissions && Clock::now() < deadline; ++i) {
        const std::string path = "/scoring/scoresubmitter.php?name=player%20" + std::string(1, char('a' + c)) +
                                 "&score=" + std::to_string(c * 100000 + i) + "&computer=M&gamename=brolix1dif" +
                                 std::to_string(c % 3);
        const auto start = Clock::now();
        const auto r = client.Get(path.c_str());
        out.latencies.push_back(micros(Clock::now() - start));
        if (r && r->status == 200 && r->body == "ok")
            ++out.acknowledged;
        else if (!r && r.error() == httplib::Error::Connection)
            ++out.connectFailures;
        else
            ++out.otherFailures;
    }
    return out;
}

long long peakKiB(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    const std::string status((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t at = status.find("VmHWM:");
    return at == std::string::npos ? -1 : std::atoll(status.c_str() + at + 6);
}

long long countRows(const std::string &path) {
    sqlite3 *db = nullptr;
    sqlite3_stmt *stmt = nullptr;
    long long rows = -1;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT count(*) FROM scores", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        rows = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

void raiseFileLimit() {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

int hostile() {
    raiseFileLimit();
    const TempDir dir("brolix-bench-hostile");
    const std::string db = dir.path("scores.db");
    ScoredProcess server(db, 0, kNoSubmissionLimit);
    if (!server.ok()) {
        std::fprintf(stderr, "bench_scored: the server did not start\n");
        return 1;
    }
    std::vector<Raider> raiders = strangers();
    Tally tally;
    std::atomic<bool> stop{false};
    std::thread siege([&] { besiege(server.port(), raiders, tally, stop); });
    // Let the strangers settle in before the players come.
    const auto settle = Clock::now() + std::chrono::seconds(10);
    while (tally.open.load() < kIdle + kSlow && Clock::now() < settle)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int openAtStart = tally.open.load();

    const auto start = Clock::now();
    std::vector<PlayerResult> results(kPlayers);
    std::atomic<int> finished{0};
    std::vector<std::thread> players;
    for (int c = 0; c < kPlayers; ++c)
        players.emplace_back([&, c] {
            results[size_t(c)] = play(server.port(), c, start + kPlayerPatience);
            ++finished;
        });
    int fewestOpen = openAtStart;
    while (finished.load() < kPlayers) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        fewestOpen = std::min(fewestOpen, tally.open.load());
    }
    for (std::thread &t : players)
        t.join();
    const double elapsed = seconds(Clock::now() - start);
    const long long peak = peakKiB(server.pid());
    stop = true;
    siege.join();
    server.terminate();

    std::vector<std::vector<double>> latencies;
    int acknowledged = 0, connectFailures = 0, otherFailures = 0;
    for (const PlayerResult &r : results) {
        latencies.push_back(r.latencies);
        acknowledged += r.acknowledged;
        connectFailures += r.connectFailures;
        otherFailures += r.otherFailures;
    }
    const std::vector<double> all = sortedUnion(latencies);
    const long long rows = countRows(db);
    std::printf("hostile: %d players x %d submissions, %.1f s, while strangers hold %d idle, %d slow-header "
                "and %d uploading (%d MB each) connections\n",
                kPlayers, kSubmissions, elapsed, kIdle, kSlow, kUploads, int(kUploadBytes >> 20));
    std::printf("strangers' connections open: %d of %d when the players began, %d at the fewest\n",
                openAtStart, kIdle + kSlow + kUploads, fewestOpen);
    std::printf("submissions acknowledged: %d of %d (%zu attempted); rows stored: %lld\n", acknowledged,
                kPlayers * kSubmissions, all.size(), rows);
    std::printf("players' failures: %d connection attempts, %d other\n", connectFailures, otherFailures);
    std::printf("players' latency p50: %.1f ms, p99: %.1f ms, max: %.1f ms\n", percentile(all, 0.50) / 1000,
                percentile(all, 0.99) / 1000, all.empty() ? 0 : all.back() / 1000);
    std::printf("server peak resident memory: %.1f MiB\n", double(peak) / 1024);
    std::printf("strangers: %lld connection attempts, %lld dropped (refused or unanswered in 3 s), "
                "%lld closed by the server\n",
                tally.attempts.load(), tally.dropped.load(), tally.closedByServer.load());
    std::printf("uploads: %lld 413 refusals, %.1f MB pushed into sockets\n", tally.refused413.load(),
                double(tally.uploaded.load()) / 1e6);
    const bool held = acknowledged == kPlayers * kSubmissions && rows == acknowledged && connectFailures == 0 &&
                      percentile(all, 0.99) < 100000 && peak < 64 * 1024 && tally.dropped.load() == 0;
    std::printf("goals (all acknowledged and stored, p99 < 100 ms, peak < 64 MiB, nothing dropped): %s\n",
                held ? "met" : "NOT met");
    return held ? 0 : 1;
}

// One POST of a record from this loopback address; the status and whether Retry-After came.
std::pair<int, bool> postRecord(int port, uint32_t from, const std::string &query, const std::string &record) {
    const std::string request = "POST /scoring/scorerecord.php?" + query + " HTTP/1.1\r\nHost: b\r\n" +
                                "Connection: close\r\nContent-Length: " + std::to_string(record.size()) +
                                "\r\n\r\n" + record;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{AF_INET, 0, {htonl(from)}, {}}, to{AF_INET, htons(uint16_t(port)), {htonl(INADDR_LOOPBACK)}, {}};
    std::string in;
    char buffer[2048];
    ssize_t n = -1;
    if (bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0)
        n = send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    while (n > 0 && (n = recv(fd, buffer, sizeof buffer, 0)) > 0)
        in.append(buffer, size_t(n));
    close(fd);
    return {in.compare(0, 9, "HTTP/1.1 ") == 0 ? std::atoi(in.c_str() + 9) : 0,
            in.find("Retry-After: ") != std::string::npos};
}

int records() {
    PlayedGame g(modeFiveMinutes, 1, 42, 42);
    for (int moves = 0; !gameOver; moves++)
        if (!g.exchange()) g.frame();
    g.frames(80);
    const std::string game = writeRecord(gameRecord), claim = "name=bench&score=" + std::to_string(_realScore) +
                                                          "&computer=M&gamename=brolix1dif1";
    const TempDir dir("brolix-bench-records");
    ScoredProcess server(dir.path("scores.db"), 0, kNoSubmissionLimit);
    if (!server.ok())
        return 1;
    const int port = server.port();
    const int clients = 2, duration = 5;
    std::atomic<int> verified{0}, other{0};
    const Clock::time_point start = Clock::now(), deadline = start + std::chrono::seconds(duration);
    std::vector<std::thread> senders;
    for (int c = 0; c < clients; ++c)
        senders.emplace_back([&] {
            while (Clock::now() < deadline) {
                const int status = postRecord(port, INADDR_LOOPBACK, claim, game).first;
                ++(status == 200 || status == 409 ? verified : other);
            }
        });
    for (std::thread &t : senders)
        t.join();
    std::printf("verified submissions: a five-minute game's record (%zu bytes, %u frames), %d clients: "
                "%.1f a second (replayed; 200 once, 409 for each copy), %d other answers\n", game.size(), gameRecord.frames, clients,
                verified.load() / seconds(Clock::now() - start), other.load());

    // A million game nobody plays, to its cap: the most replay per byte, never ending.
    GameRecord idle;
    idle.header.mode = modeMillion;
    idle.frames = recordFrameCap(modeMillion);
    const std::string flood = writeRecord(idle);
    std::atomic<bool> flooding{true};
    std::vector<double> board;
    std::thread reader([&] {
        httplib::Client client("127.0.0.1", port);
        client.set_keep_alive(true);
        while (flooding) {
            const auto asked = Clock::now();
            const auto r = client.Get("/");
            board.push_back(r && r->status == 200 ? micros(Clock::now() - asked) : 1e9);
        }
    });
    std::vector<std::pair<int, bool>> answers(100);
    std::vector<double> answered(100);
    std::vector<std::thread> crowd;
    const Clock::time_point sent = Clock::now();
    for (uint32_t i = 0; i < 100; ++i)
        crowd.emplace_back([&, i] {
            answers[i] = postRecord(port, INADDR_LOOPBACK + 10 + i % 5, "name=flood&score=5&computer=M&gamename=brolix2dif0",
                                    flood);
            answered[i] = micros(Clock::now() - sent);
        });
    for (std::thread &t : crowd)
        t.join();
    flooding = false;
    reader.join();
    int busy = 0, withRetry = 0, refused = 0;
    double lastBusy = 0;
    for (size_t i = 0; i < answers.size(); ++i) {
        busy += answers[i].first == 503 && answers[i].second;
        withRetry += answers[i].second;
        refused += answers[i].first != 503;
        if (answers[i].first == 503 && answers[i].second)
            lastBusy = std::max(lastBusy, answered[i]);
    }
    std::sort(board.begin(), board.end());
    std::printf("flood: 100 records of %u frames at once: %d turned away with 503 and Retry-After (the last "
                "after %.0f ms), %d replayed and refused, all answered after %.1f s\n",
                idle.frames, busy, lastBusy / 1000, refused, seconds(Clock::now() - sent));
    std::printf("leaderboard during the flood: %zu requests, p50 %.1f ms, p99 %.1f ms, max %.1f ms\n",
                board.size(), percentile(board, 0.5) / 1000, percentile(board, 0.99) / 1000,
                board.empty() ? 0 : board.back() / 1000);
    const bool held = busy >= 80 && withRetry == busy && percentile(board, 0.99) < 100000;
    std::printf("goals (503 with Retry-After past the queue, leaderboard p99 < 100 ms): %s\n",
                held ? "met" : "NOT met");
    return held ? 0 : 1;
}

// ---- scale mode ----

struct ScaleRun {
    const char *what;
    bool postgres;
    int instances, workers;
};

double processorSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t end = stat.rfind(')');
    if (end == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(end + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) // utime and stime are fields 14 and 15
        if (i >= 14)
            ticks += std::atof(field.c_str());
    return ticks / double(sysconf(_SC_CLK_TCK));
}

// The processor time an instance's replay workers have used so far.
double workerSeconds(pid_t pid) {
    double total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto &task : std::filesystem::directory_iterator(tasks)) {
        std::ifstream children(task.path() / "children");
        for (pid_t child; children >> child;)
            total += processorSeconds(child);
    }
    return total;
}

// Senders post the record for the duration, spread over the instances, while a reader asks
// each instance in turn for the leaderboard, twenty times a second.
void scaleRun(const ScaleRun &run, const std::string &game, const std::string &claim, int duration) {
    const TempDir dir("brolix-bench-scale");
    std::string target;
    try {
        target = freshDatabase(run.postgres ? Engine::PostgreSQL : Engine::SQLite, dir);
    } catch (const std::exception &e) {
        std::printf("%-46s skipped: %s\n", run.what, e.what());
        return;
    }
    std::vector<std::unique_ptr<ScoredProcess>> servers;
    for (int i = 0; i < run.instances; ++i)
        servers.push_back(std::make_unique<ScoredProcess>(
            target, 0,
            std::vector<std::string>{"--replay-workers", std::to_string(run.workers), "--submissions-per-minute", "0"}));
    for (const auto &server : servers)
        if (!server->ok()) {
            std::printf("%-46s failed: an instance did not start\n", run.what);
            return;
        }
    const int senders = 4 * run.instances * run.workers;
    std::atomic<int> verified{0}, other{0};
    std::atomic<bool> sending{true};
    std::vector<double> board;
    std::thread reader([&] {
        for (size_t i = 0; sending; ++i) {
            const auto asked = Clock::now();
            const Reply r = ::get(servers[i % servers.size()]->port(), "/");
            board.push_back(r.status == 200 ? micros(Clock::now() - asked) : 1e9);
            std::this_thread::sleep_until(asked + std::chrono::milliseconds(50));
        }
    });
    const auto used = [&] {
        double total = 0;
        for (const auto &server : servers)
            total += workerSeconds(server->pid());
        return total;
    };
    const double usedBefore = used();
    const Clock::time_point start = Clock::now(), deadline = start + std::chrono::seconds(duration);
    std::vector<std::thread> threads;
    for (int c = 0; c < senders; ++c)
        threads.emplace_back([&, c] {
            const int port = servers[size_t(c) % servers.size()]->port();
            while (Clock::now() < deadline) {
                // The first is kept; its copies are refused (409) once replayed, which costs the same.
                const int status = postRecord(port, INADDR_LOOPBACK + 1 + uint32_t(c), claim, game).first;
                ++(status == 200 || status == 409 ? verified : other);
            }
        });
    for (std::thread &t : threads)
        t.join();
    const double elapsed = seconds(Clock::now() - start), processor = used() - usedBefore;
    sending = false;
    reader.join();
    std::sort(board.begin(), board.end());
    std::printf("%-46s %5.1f verified/s, %5.1f per processor second (%d other answers); "
                "leaderboard p50 %5.1f ms, p99 %6.1f ms (%zu asked)\n",
                run.what, verified.load() / elapsed, verified.load() / std::max(processor, 0.01), other.load(),
                percentile(board, 0.5) / 1000, percentile(board, 0.99) / 1000, board.size());
}

int scale(int argc, char **argv) {
    const int duration = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    PlayedGame g(modeFiveMinutes, 1, 42, 42);
    while (!gameOver)
        if (!g.exchange()) g.frame();
    const std::string game = writeRecord(gameRecord), claim = "name=bench&score=" + std::to_string(_realScore) +
                                                          "&computer=M&gamename=brolix1dif1";
    std::printf("a five-minute game's record (%zu bytes, %u frames), %d s a run, %u cores\n", game.size(),
                gameRecord.frames, duration, std::thread::hardware_concurrency());
    const ScaleRun runs[] = {
        {"SQLite, 1 instance, 1 replay worker", false, 1, 1},
        {"SQLite, 1 instance, 2 replay workers", false, 1, 2},
        {"PostgreSQL, 1 instance, 2 replay workers", true, 1, 2},
        {"PostgreSQL, 2 instances, 1 replay worker each", true, 2, 1},
    };
    for (const ScaleRun &run : runs)
        scaleRun(run, game, claim, duration);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc > 1 && std::strcmp(argv[1], "--scale") == 0)
        return scale(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--hostile") == 0)
        return hostile();
    if (argc > 1 && std::strcmp(argv[1], "--records") == 0)
        return records();
    return throughput(argc, argv);
}
