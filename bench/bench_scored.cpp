// Score server throughput: 8 clients ask the score question for 10 s on loopback
// against a database of 9 x 200 scores. Prints requests per second and latencies.
// Usage: bench_scored [seconds] [clients]
#include "scored_process.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

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
        latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        if (!r || r->status != 200)
            ++failures;
    }
    return latencies;
}

double percentile(const std::vector<double> &sorted, double p) {
    return sorted.empty() ? 0 : sorted[std::min(sorted.size() - 1, size_t(p * double(sorted.size())))];
}

} // namespace

int main(int argc, char **argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const int clients = argc > 2 ? std::max(1, std::atoi(argv[2])) : 8;
    const ScratchDir dir("bench");
    ScoredProcess server(dir.path + "/scores.db");
    if (!server.ok()) {
        std::fprintf(stderr, "bench_scored: the server did not start\n");
        return 1;
    }
    seed(server.port());

    std::atomic<int> failures{0};
    std::vector<std::vector<double>> perClient(static_cast<size_t>(clients));
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::seconds(seconds);
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&, c] { perClient[size_t(c)] = ask(server.port(), deadline, c, failures); });
    for (std::thread &t : threads)
        t.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

    std::vector<double> all;
    for (const auto &latencies : perClient)
        all.insert(all.end(), latencies.begin(), latencies.end());
    std::sort(all.begin(), all.end());
    std::printf("score question, %d clients, %.1f s on loopback\n", clients, elapsed);
    std::printf("requests: %zu (%d failed)\n", all.size(), failures.load());
    std::printf("requests per second: %.0f\n", double(all.size()) / elapsed);
    std::printf("latency p50: %.0f us, p99: %.0f us, max: %.0f us\n", percentile(all, 0.50), percentile(all, 0.99),
                all.empty() ? 0 : all.back());
    return failures.load() == 0 ? 0 : 1;
}
