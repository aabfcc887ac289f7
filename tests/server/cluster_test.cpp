// Several brolix-scored instances on one PostgreSQL database, as behind a load balancer.
#include "played_claim.h"
#include "scored_process.h"
#include "test_databases.h"
#include "tickets.h"

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <future>
#include <iterator>
#include <set>
#include <sstream>
#include <thread>

namespace {

// The replay workers a server has started.
std::vector<pid_t> workersOf(pid_t server) {
    std::istringstream children(commandOutput("cat /proc/" + std::to_string(server) + "/task/*/children"));
    return {std::istream_iterator<pid_t>(children), {}};
}

// Neither running nor waiting to be reaped by whoever inherited it.
bool gone(pid_t pid) {
    const std::string stat = commandOutput("cat /proc/" + std::to_string(pid) + "/stat 2>/dev/null");
    return stat.empty() || stat.find(") Z ") != std::string::npos;
}

} // namespace

// As behind a balancer: one board from either instance, a game ranked once though posted to both, and
// when one is killed in a flood its players go on with the other from their last acknowledged result.
TEST(Cluster, TwoInstancesAnswerAsOneAndKillingOneInAFloodLosesNothingAcknowledged) {
    TempDir dir{"cluster"};
    const std::string db = freshDatabase(Engine::PostgreSQL, dir);
    const std::vector<std::string> trust{"--trust-unverified", "--replay-workers", "1", "--submissions-per-minute", "0"};
    // Both start at once: the schema is taken on by one of them.
    auto starting = std::async(std::launch::async, [&] { return std::make_unique<ScoredProcess>(db, 0, trust); });
    const auto b = std::make_unique<ScoredProcess>(db, 0, trust);
    const std::unique_ptr<ScoredProcess> a = starting.get();
    ASSERT_TRUE(a->ok() && b->ok()) << "an instance did not start";
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(get((i % 2 ? a : b)->port(), submit(0, 0, "p" + std::string(1, char('a' + i)), 100 * i)).body, "ok");
    EXPECT_EQ(get(a->port(), ask(0, 0, 200)).body + get(b->port(), ask(0, 0, 200)).body, "nono");
    EXPECT_EQ(get(a->port(), ask(0, 0, 201)).body + get(b->port(), ask(0, 0, 201)).body, "yesyes");

    // A ticket one instance issues is signed with the key both share: the game played on it, its
    // ticket as if issued ten minutes ago, posted to both at once, ranks once.
    const std::optional<protocol::Ticket> issued =
        protocol::parseTicket(get(a->port(), "/scoring/ticket.php?gamename=brolix1dif2").body);
    ASSERT_TRUE(issued);
    const scored::Submission played = playedClaim({1, 2}, issued->seed, 3);
    const scored::TicketSigner shared(rows(db, "SELECT value FROM secrets").at(0));
    const std::string ticket = shared.issue({1, 2}, issued->seed, std::time(nullptr) - 600).text();
    const auto post = [&](int port) { return postRecord(port, 1, 2, "ada", played.score, played.record, INADDR_LOOPBACK, ticket); };
    auto viaA = std::async(std::launch::async, post, a->port());
    const Reply viaB = post(b->port()), first = viaA.get();
    EXPECT_EQ((std::multiset<int>{first.status, viaB.status}), (std::multiset<int>{200, 409}))
        << first.body << viaB.body;
    EXPECT_EQ(rows(db, "SELECT count(*) FROM scores WHERE name = 'ada'"), std::vector<std::string>{"1"});

    const std::string page = get(a->port(), "/").body;
    EXPECT_NE(page.find("<td>ada</td>"), std::string::npos) << "a score ranked by one, shown by the other";
    EXPECT_EQ(page, get(b->port(), "/").body);

    const int players = 8, each = 400;
    std::atomic<int> acknowledged{0}, refusedByTheSurvivor{0};
    std::vector<std::future<void>> running;
    for (int p = 0; p < players; ++p)
        running.push_back(std::async(std::launch::async, [&, p] {
            int port = (p % 2 ? a : b)->port();
            for (int next = 0; next < each;) {
                if (get(port, submit(1, p % 3, "player", p * each + next)).body == "ok") {
                    ++next, ++acknowledged;
                } else if (port == a->port()) {
                    port = b->port(); // the balancer takes the dead instance out
                } else {
                    ++refusedByTheSurvivor;
                    return;
                }
            }
        }));
    for (int i = 0; i < 3000 && acknowledged < 800; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::vector<pid_t> orphans = workersOf(a->pid());
    a->kill9();
    EXPECT_LT(acknowledged.load(), players * each * 3 / 4) << "the kill came during the load";
    running.clear(); // waits for every player
    EXPECT_EQ(refusedByTheSurvivor.load(), 0);
    EXPECT_EQ(acknowledged.load(), players * each);
    ASSERT_EQ(orphans.size(), 1u);
    for (int i = 0; i < 1000 && !gone(orphans[0]); ++i) // its worker sees the server's end close
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(gone(orphans[0])) << "a killed server's replay worker outlived it";
    // Every acknowledged score once; besides, at most the one each of the killed instance's
    // players had sent when it died, stored but not acknowledged, and then sent again.
    const std::vector<std::string> counts = rows(
        db, "SELECT format('%s %s %s', count(DISTINCT score), count(*) <= " + std::to_string(players * each + players / 2) +
                ", max(score)) FROM scores WHERE name = 'player'");
    EXPECT_EQ(counts, std::vector<std::string>{std::to_string(players * each) + " t " + std::to_string(players * each - 1)});
}
