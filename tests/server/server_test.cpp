// The real brolix-scored on loopback, as the game, a browser, a proxy and a stranger meet it.
#include "played_claim.h"
#include "protocol.h"
#include "replays.h"
#include "scored_process.h"
#include "test_databases.h"
#include "tickets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <future>
#include <poll.h>
#include <tuple>
#include <vector>

namespace {

// A million game nobody plays, to its cap: of all records, the costliest to replay per byte.
std::string idleMillion() {
    GameRecord record;
    record.header.mode = modeMillion;
    record.frames = recordFrameCap(modeMillion);
    return writeRecord(record);
}

std::string header(const Reply &reply, const std::string &name) {
    const size_t at = reply.head.find("\r\n" + name + ": ");
    if (at == std::string::npos)
        return "";
    const size_t value = at + name.size() + 4;
    return reply.head.substr(value, reply.head.find("\r\n", value) - value);
}

std::string httpDate(time_t t, const char *format = "%a, %d %b %Y %H:%M:%S GMT") {
    tm utc{};
    gmtime_r(&t, &utc);
    char text[64];
    std::strftime(text, sizeof text, format, &utc);
    return text;
}

size_t count(const std::string &text, const std::string &part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class ScoreServer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server->ok()) << "brolix-scored did not start"; }
    Reply get(const std::string &target) { return ::get(server->port(), target); }
    void expectOk(const std::string &target) { EXPECT_EQ(get(target).body, "ok") << target; }

    TempDir dir{"scored"};
    const std::string db = dir.path("scores.db");
    // Scores sent without a record rank here, as on a server among friends; the tests' one
    // address sends more than a player would.
    const std::vector<std::string> options = {"--trust-unverified", "--submissions-per-minute", "0"};
    std::unique_ptr<ScoredProcess> server = std::make_unique<ScoredProcess>(db, 0, options);
};

} // namespace

TEST_F(ScoreServer, ServesThePlayersWhileStrangersHoldConnectionsAndRefusesWhatTheGameNeverSendsOrCannotStore) {
    std::vector<int> silent; // from two other addresses
    for (int i = 0; i < 48; ++i)
        silent.push_back(connectFrom(INADDR_LOOPBACK + 1 + uint32_t(i % 2), server->port()));
    expectOk(submit(0, 0, "punctual", 7));
    char byte;
    for (const int fd : silent) { // still held: the player was not kept waiting until they were dropped
        EXPECT_TRUE(recv(fd, &byte, 1, MSG_DONTWAIT) < 0 && errno == EAGAIN);
        close(fd);
    }
    const std::string bob = submit(0, 0, "bob", 1), smuggled = request("GET", submit(0, 0, "smuggled", 9)),
                      post = "/scoring/scorerecord.php?name=a&score=1&computer=M&gamename=brolix0dif0";
    std::vector<std::pair<int, std::string>> bad = {
        {400, "/scoring/ishighscore.php?gamename=brolix2dif0&submtdscore=10"}, {400, submit(2, 0, "bob", 0)},
        {400, "/scoring/scoresubmitterdesc.php?name=bob&score=10&computer=M&gamename=brolix0dif0"},
        {400, "/scoring/ishighscore.php?gamename=brolix0dif0"}, {400, bob + "&admin=1"},
        {404, "/scores.db"}, {404, "/download.php?name=other"}, {405, request("POST", bob)}, {405, post},
        {404, "/scores.json?gamename=brolix3dif0"}, {404, "/scores.json?gamename="}, {400, "/scores.json?page=2"},
        {400, "/scores.json?gamename=brolix0dif0&gamename=brolix0dif1"}, {405, request("POST", "/scores.json")},
        {400, "/scoring/ticket.php?gamename=brolix3dif1"}, {400, "/scoring/ticket.php?gamename=brolix0dif3"},
        {400, "/scoring/ticket.php?"}, {400, "/scoring/ticket.php?gamename=brolix0dif1&gamename=brolix0dif1"},
        {413, request("GET", bob, "Transfer-Encoding: chunked\r\n")},
        {413, request("POST", bob, "Content-Length: 500000000\r\n")}, // never sent: refused unread
        {414, bob + "&" + std::string(9000, 'x')},
        // Framing a proxy could read otherwise: the request hidden in the body is never run.
        {400, request("POST", post, "Content-Length: 4\r\nContent-Length: 132\r\n") + "abcd" + smuggled},
        {400, request("POST", post, "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n") + "0\r\n\r\n" + smuggled},
        {400, request("GET", submit(0, 0, "smuggled", 9), "Content-Length: 0\r\nContent-Length: 0\r\n")},
        {431, request("GET", bob, "X: " + std::string(9000, 'x') + "\r\n")}};
    // Bob's submission with one part changed: one row per way each check could be too lenient.
    for (const auto &[part, by] : std::vector<std::pair<std::string, std::string>>{
             {"=bob", "=bob%27--"}, {"=bob", "=" + std::string(20, 'a')}, {"=bob", "="}, {"=bob", "=Bob"},
             {"=bob", "=b0b"}, {"=bob", "=bob%0Aevil"}, {"=bob", "=%20%20%20"}, {"=bob", "=bob%00"},
             {"=bob", "=%2562ob"}, {"=1&", "=-5&"}, {"=1&", "=2147483648&"}, {"=1&", "=99999999999999999999&"},
             {"=1&", "=&"}, {"=1&", "=1&score=2&"}, {"0dif0", "3dif0"}, {"0dif0", "0dif3"}, {"0dif0", "0dif0%20"},
             {"=M", "=m"}, {"&computer=M", ""}}) {
        std::string changed = bob;
        bad.push_back({400, changed.replace(changed.find(part), part.size(), by)});
    }
    for (const auto &[status, sent] : bad) {
        const Reply r = sent[0] == '/' ? get(sent) : sendRaw(server->port(), sent);
        EXPECT_EQ(r.status, status) << sent.substr(0, 120);
        EXPECT_TRUE(!r.body.empty() && r.body.find('\n') >= r.body.size() - 1) << "one line: " << r.body;
        EXPECT_EQ(r.body.find("yes"), std::string::npos) << "the game would read a yes";
    }
    EXPECT_EQ(::get(server->port(), bob, "HEAD").status, 405);
    EXPECT_NE(get("/download.php?name=nodriver").body.find("glxinfo"), std::string::npos);
    const ScoredProcess second(dir.path("second.db"), server->port());
    EXPECT_FALSE(second.ok()) << "a second server on the port would take half of the scores";

    // A database that fails answers 503, never ok or yes.
    std::string error;
    const std::unique_ptr<scored::Database> other = scored::Database::open(db, error);
    ASSERT_TRUE(other && other->script("BEGIN EXCLUSIVE")) << error;
    std::vector<std::future<Reply>> replies;
    for (int i = 0; i < 3; ++i)
        replies.push_back(std::async(std::launch::async, [&, i] { return get(submit(0, 0, "locked", i)); }));
    for (std::future<Reply> &reply : replies)
        EXPECT_EQ(reply.get().status, 503) << "no answer in time, or a wrong one";
    other->rollback();
    expectOk(submit(0, 0, "unlocked", 5));
    EXPECT_EQ(rows(db, "SELECT name FROM scores"), (std::vector<std::string>{"punctual", "unlocked"})) << "nothing smuggled";
    ASSERT_TRUE(other->script("DROP TABLE scores")) << other->error();
    for (const std::string &target : {ask(0, 0, 5), submit(0, 0, "after", 20), std::string("/")})
        EXPECT_EQ(get(target).status, 503) << target;
}

// Rows of every kind, an older server's too, and each form of revalidation a client may send.
TEST_F(ScoreServer, TheFeedHoldsThePagesRowsAndIsKeptBrieflyByBrowsersAndProxies) {
    const int port = server->port();
    for (const std::string &target : // the game percent-encodes its names
         {submit(0, 0, "ann%20lee", 500), submit(0, 2, "max", 2147483647), submit(0, 0, "bob", 2000), submit(2, 1, "cy", 75)})
        expectOk(target);
    std::string error;
    const std::unique_ptr<scored::Database> direct = scored::Database::open(db, error);
    ASSERT_TRUE(direct && direct->script("INSERT INTO scores (gamename, name, score, computer, submitted, verified, record) VALUES"
                                   " ('brolix1dif2', 'dee', 42, 'M', 1767225600, 1, X'425258520102'),"
                                   " ('brolix1dif1', 'q\"u\\o' || char(1) || CAST(X'FFC3A9E282ACEDA080C3' AS TEXT), 7, 'M', 1767225600, 0, NULL)")) << error;
    const std::string dee = rows(db, "SELECT id FROM scores WHERE name = 'dee'").at(0);

    // Kept a few seconds; the date is the newest score's (the server started before any).
    const time_t newest = std::stoll(rows(db, "SELECT max(submitted) FROM scores").at(0));
    const Reply feed = get("/scores.json");
    EXPECT_EQ((std::vector<std::string>{std::to_string(feed.status), header(feed, "Content-Type"), header(feed, "Cache-Control"),
                                        header(feed, "Last-Modified")}),
              (std::vector<std::string>{"200", "application/json", "public, max-age=5", httpDate(newest)}));
    EXPECT_EQ(count(feed.body, "\"gamename\": "), 9u) << "every board, the empty ones too";
    for (const char *row : {
             R"({"place": 1, "name": "bob", "score": 2000, "result": "2000", "date": ")",
             R"({"place": 2, "name": "ann lee", "score": 500, "result": "500", )",
             R"({"place": 1, "name": "max", "score": 2147483647, "result": "2147483647", )",
             R"({"place": 1, "name": "cy", "score": 75, "result": "00:01:15", )",
             R"("name": "q\"u\\o\u0001\ufffdé€\ufffd\ufffd\ufffd\ufffd", )", // stored bytes that are not UTF-8 too
             R"({"place": 1, "name": "dee", "score": 42, "result": "42", "date": "2026-01-01", "submitted": 1767225600, )"
             R"("verified": true, "ranked": true, "record": "/scoring/record.php?id=)"})
        EXPECT_NE(feed.body.find(row), std::string::npos) << row;
    // Scores sent alone rank: the server trusts them.
    EXPECT_EQ(count(feed.body, R"("verified": false, "ranked": true, "record": null})"), 5u);
    const Reply one = get("/scores.json?gamename=brolix2dif1");
    EXPECT_TRUE(one.status == 200 && count(one.body, "\"gamename\": ") == 1 &&
                one.body.find(R"({"gamename": "brolix2dif1", "mode": "Million", "difficulty": "Normal", "order": "fewest seconds")") !=
                    std::string::npos && one.body.find("\"cy\"") != std::string::npos && one.body.find("bob") == std::string::npos)
        << one.body;

    // The record downloads as a file of its own type, named as the page names it.
    const Reply record = get("/scoring/record.php?id=" + dee);
    EXPECT_EQ((std::vector<std::string>{record.body, header(record, "Content-Type"), header(record, "Content-Disposition")}),
              (std::vector<std::string>{"BRXR\1\2", "application/x-brolix-record", "attachment; filename=\"brolix-" + dee + ".brxr\""}));
    EXPECT_NE(get("/").body.find("href=\"/scoring/record.php?id=" + dee + "\" download=\"brolix-" + dee + ".brxr\""),
              std::string::npos);

    const std::string tag = header(feed, "ETag"), modified = header(feed, "Last-Modified");
    EXPECT_TRUE(tag.size() > 2 && tag.front() == '"' && tag.back() == '"') << tag;
    const Reply page = get("/");
    EXPECT_NE(header(page, "ETag"), tag);
    EXPECT_EQ(::get(port, "/", "GET", "If-None-Match: " + header(page, "ETag") + "\r\n").status, 304);
    for (const auto &[sent, status] : std::vector<std::pair<std::string, int>>{
             {"If-None-Match: " + tag, 304}, {"If-None-Match: W/" + tag, 304}, {"If-None-Match: \"x\", " + tag, 304},
             {"If-None-Match: *", 304}, {"If-None-Match: \"x\"", 200}, {"If-None-Match: " + tag.substr(1), 200},
             {"If-None-Match: \"x\"\r\nIf-Modified-Since: " + modified, 200}, // the tag decides
             {"If-Modified-Since: " + modified, 304}, {"If-Modified-Since: " + httpDate(newest + 60), 304},
             {"If-Modified-Since: " + httpDate(newest - 1), 200},
             {"If-Modified-Since: " + httpDate(newest, "%A, %d-%b-%y %H:%M:%S GMT"), 304},
             {"If-Modified-Since: " + httpDate(newest, "%a %b %e %H:%M:%S %Y"), 304},
             {"If-Modified-Since: " + modified + "x", 200}, {"If-Modified-Since: yesterday", 200}}) {
        const Reply r = ::get(port, "/scores.json", "GET", sent + "\r\n");
        EXPECT_EQ(r.status, status) << sent;
        if (status == 304)
            EXPECT_TRUE(r.body.empty() && header(r, "ETag") == tag && header(r, "Cache-Control") == "public, max-age=5") << sent;
        else
            EXPECT_EQ(r.body, feed.body) << sent;
    }
    // The game's answers are never kept.
    const Reply question = get(ask(0, 0, 1));
    EXPECT_TRUE(header(question, "Cache-Control") == "no-cache" && header(question, "ETag").empty()) << question.head;

    // A new score is a new copy; one stamped in the future (the clock set back since) dates it now.
    EXPECT_EQ(get(submit(0, 0, "eve", 3000)).body, "ok");
    ASSERT_TRUE(direct->script("UPDATE scores SET submitted = 4102444800 WHERE name = 'eve'"));
    const Reply changed = ::get(port, "/scores.json", "GET", "If-None-Match: " + tag + "\r\n");
    const time_t now = std::time(nullptr);
    EXPECT_NE(header(changed, "ETag"), tag);
    EXPECT_NE(changed.body.find(R"({"place": 1, "name": "eve", "score": 3000, "result": "3000", "date": "2100-01-01", )"),
              std::string::npos);
    EXPECT_TRUE(header(changed, "Last-Modified") == httpDate(now) || header(changed, "Last-Modified") == httpDate(now - 1))
        << header(changed, "Last-Modified");

    // Killed, it comes back from what its database's journal holds, every row there.
    server->kill9();
    server = std::make_unique<ScoredProcess>(db, 0, options);
    EXPECT_EQ(get("/scores.json").body, changed.body);
}

namespace {

// The server's ticket key, read from its database: the test signs tickets of any age with it.
std::string ticketKeyOf(const std::string &db) { return rows(db, "SELECT value FROM secrets").at(0); }

// The game with these inputs put in among its own.
std::string withInputs(const std::string &bytes, const std::vector<RecordEvent> &inputs) {
    GameRecord record;
    std::string error;
    EXPECT_TRUE(readRecord(bytes.data(), bytes.size(), record, error)) << error;
    for (const RecordEvent &input : inputs)
        record.events.insert(std::find_if(record.events.begin(), record.events.end(),
                                          [&](const RecordEvent &e) { return e.frame > input.frame; }), input);
    return writeRecord(record);
}

} // namespace

// Every way found to rank what was not played, or rank it twice; an older server's scores stay, unverified.
// Then behind the reverse proxy each player counts against the address it forwards; nobody else can forward one.
TEST(VerifiedScores, OnlyAnHonestGameOnATicketOfOursRanksAndAnAddressGetsItsShareAndASlowBodyItsDeadline) {
    TempDir dir("scored");
    const std::string db = dir.path("old.db");
    std::string error;
    ASSERT_TRUE(scored::Database::open(db, error)->script("CREATE TABLE scores (id INTEGER PRIMARY KEY, gamename TEXT NOT NULL, name TEXT NOT NULL,"
                                " score INTEGER NOT NULL, computer TEXT NOT NULL, submitted INTEGER NOT NULL);"
                                "INSERT INTO scores VALUES (1, 'brolix0dif1', 'veteran', 99999, 'M', 0),"
                                " (2, 'brolix1dif2', '<b>bold</b><script>x</script>', 9, 'M', 0)")) << error;
    auto server = std::make_unique<ScoredProcess>(db, 0, std::vector<std::string>{"--submissions-per-minute", "0"});
    ASSERT_TRUE(server->ok());
    const int port = server->port();
    const scored::TicketSigner ours(ticketKeyOf(db)), foreign(std::string(32, 'k'));
    const int64_t now = std::time(nullptr);
    const auto signedBy = [&](const scored::TicketSigner &signer, uint32_t seed, int64_t age, scored::Game game) {
        return signer.issue(game, seed, now - age).text();
    };
    const auto ticket = [&](uint32_t seed, int64_t age) { return signedBy(ours, seed, age, {0, 1}); };

    // Tickets the server hands out: each its own seed, for the game asked, signed.
    const Reply fetched = get(port, "/scoring/ticket.php?gamename=brolix0dif1");
    const std::optional<protocol::Ticket> issued = protocol::parseTicket(fetched.body);
    ASSERT_TRUE(fetched.status == 200 && issued) << fetched.body;
    EXPECT_NE(protocol::parseTicket(get(port, "/scoring/ticket.php?gamename=brolix0dif1").body)->seed, issued->seed);

    const scored::Submission honest = playedClaim({0, 1}, issued->seed, 7), other = playedClaim({0, 1}, issued->seed, 8),
                            offline = playedClaim({0, 1}, 99, 9);
    ASSERT_NE(honest.record, other.record);
    const std::string honestTicket = ticket(issued->seed, 120);
    const std::string forged = withInputs(honest.record, {{1, RecordInput::escape, 1}, {2, RecordInput::escape, 0}});
    // Each row changes one part of the honest game's post; the reason the server gives names which.
    const std::vector<std::tuple<std::string, std::string, int32_t, int, const char *>> refused = {
        {forged, honestTicket, honest.score, 422, "goes on after its game ended"},
        {withInputs(honest.record, {{1, RecordInput::p, 0}}), honestTicket, honest.score, 422, "not the one its game writes"},
        {honest.record, honestTicket, honest.score + 1, 422, "replays to"},
        {honest.record.substr(0, honest.record.size() - 1), honestTicket, honest.score, 400, "truncated"},
        {honest.record, signedBy(foreign, issued->seed, 120, {0, 1}), honest.score, 403, "not signed by this server"},
        {honest.record, ticket(issued->seed, protocol::ticketLifetimeSeconds + 10), honest.score, 403, "expired"},
        {honest.record, fetched.body, honest.score, 403, "longer than its ticket is old"}, // issued just now
        {honest.record, ticket(issued->seed + 1, 120), honest.score, 403, "seed is not its ticket's"},
        {honest.record, signedBy(ours, issued->seed, 120, {0, 2}), honest.score, 403, "for brolix0dif2"},
        {honest.record, honestTicket.substr(1), honest.score, 403, "not one this server"}};
    for (const auto &[record, ticketText, score, status, reason] : refused) {
        const Reply r = postRecord(port, 0, 1, "cheat", score, record, INADDR_LOOPBACK, ticketText);
        EXPECT_EQ(r.status, status) << reason << ": " << r.body;
        EXPECT_NE(r.body.find(reason), std::string::npos) << reason << ": " << r.body;
        EXPECT_EQ(r.body.find('\n'), r.body.size() - 1) << "one line: " << r.body;
    }
    // Past its processor bound a replay is no game the caps allow: refused for good, not "try again".
    scored::Submission slow;
    slow.game = {2, 0};
    slow.score = 5;
    slow.record = idleMillion();
    const scored::Verdict verdict = scored::verifyRecord(slow, std::chrono::nanoseconds(1));
    EXPECT_EQ(verdict.status, 422);
    EXPECT_NE(verdict.reason.find("takes longer than any game"), std::string::npos) << verdict.reason;

    EXPECT_EQ(postRecord(port, 0, 1, "ada", honest.score, honest.record, INADDR_LOOPBACK, honestTicket).body, "ok");
    EXPECT_EQ(postRecord(port, 0, 1, "eve", offline.score, offline.record).body, "ok") << "no ticket: kept, not ranked";
    // Copies: the same ticket for another game of it, the same record under another name, with its ticket or without.
    for (const auto &[game, ticketText] : std::vector<std::pair<scored::Submission, std::string>>{
             {other, honestTicket}, {honest, honestTicket}, {honest, ""}, {offline, ""}}) {
        const Reply copy = postRecord(port, 0, 1, "thief", game.score, game.record, INADDR_LOOPBACK, ticketText);
        EXPECT_EQ(copy.status, 409) << copy.body;
        EXPECT_NE(copy.body.find("used before"), std::string::npos) << copy.body;
    }
    EXPECT_EQ(rows(db, "SELECT printf('%s %d %d %d', name, score, verified, ranked) FROM scores WHERE gamename = 'brolix0dif1'"
                       " ORDER BY id"),
              (std::vector<std::string>{"veteran 99999 0 0", "ada " + std::to_string(honest.score) + " 1 1",
                                        "eve " + std::to_string(offline.score) + " 1 0"}));

    // Ranked: ada alone, placed; eve shown unplaced.
    const std::string page = get(port, "/").body;
    EXPECT_NE(page.find("<td class=\"num\">1</td><td>ada</td>"), std::string::npos);
    EXPECT_NE(page.find("<td class=\"num\"></td><td>eve</td>"), std::string::npos);
    EXPECT_EQ(get(port, "/scoring/record.php?id=1").status, 404) << "the veteran's score has no record";

    // Restarted to trust unverified scores, behind a proxy, it keeps its ticket key.
    EXPECT_EQ(server->terminate(), 0);
    server = std::make_unique<ScoredProcess>(
        db, 0, std::vector<std::string>{"--trust-unverified", "--submissions-per-minute", "3", "--proxy", "127.0.0.2"});
    ASSERT_TRUE(server->ok());
    EXPECT_EQ(ticketKeyOf(db), ours.key());
    const std::string trusting = get(server->port(), "/").body;
    // The server refuses such a name; one written by another tool is still shown as text.
    EXPECT_TRUE(trusting.find("<td>&lt;b&gt;bold&lt;/b&gt;&lt;script&gt;x&lt;/script&gt;</td>") != std::string::npos &&
                trusting.find("<b>") == std::string::npos);

    std::future<int> trickling = std::async(std::launch::async, [&] {
        const int fd = connectFrom(INADDR_LOOPBACK + 7, server->port());
        const std::string head = request("POST", "/scoring/scorerecord.php?name=slow&score=1&computer=M&gamename=brolix0dif1",
                                         "Content-Length: 100\r\n");
        bool open = send(fd, head.data(), head.size(), MSG_NOSIGNAL) > 0;
        int sent = 0;
        for (; open && sent < 60; ++sent) { // a byte a second until the server closes: 60 never finish the body
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 1000) != 0)
                break;
            open = send(fd, "x", 1, MSG_NOSIGNAL) == 1;
        }
        close(fd);
        return sent;
    });
    const auto through = [&](uint32_t from, const std::string &forwarded) {
        return sendRaw(server->port(), request("GET", submit(0, 0, "player", 1), "X-Forwarded-For: " + forwarded + "\r\n"), from);
    };
    // Anyone but the proxy is its own address, whatever it forwards.
    for (const char *forged : {"10.0.0.4", "10.0.0.5", "10.0.0.6"})
        EXPECT_EQ(through(INADDR_LOOPBACK, forged).status, 200) << forged;
    const Reply fourth = through(INADDR_LOOPBACK, "10.0.0.7");
    EXPECT_EQ(fourth.status, 429) << fourth.body;
    const int seconds = std::atoi(header(fourth, "Retry-After").c_str());
    EXPECT_TRUE(seconds >= 1 && seconds <= 60) << seconds;
    for (int i = 0; i < 9; ++i) // three times as many tickets: a player changes the game in the menu
        EXPECT_EQ(get(server->port(), "/scoring/ticket.php?gamename=brolix0dif" + std::to_string(i % 3)).status, 200) << i;
    EXPECT_EQ(get(server->port(), "/scoring/ticket.php?gamename=brolix0dif0").status, 429);

    const uint32_t proxy = INADDR_LOOPBACK + 1;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(through(proxy, "10.0.0.1").status, 200) << i;
        EXPECT_EQ(through(proxy, "198.51.100.9, 10.0.0.2").status, 200) << i;
    }
    EXPECT_EQ(through(proxy, "10.0.0.1").status, 429);
    EXPECT_EQ(through(proxy, "10.0.0.9, 10.0.0.2").status, 429) << "the last entry is the player";
    EXPECT_EQ(through(proxy, "10.0.0.3").status, 200);
    EXPECT_EQ(through(proxy, "not an address").status, 200) << "counts against the proxy";
    EXPECT_LT(trickling.get(), 40) << "a body sent a byte a second was waited for past the request's deadline";
    EXPECT_EQ(rows(db, "SELECT count(*) FROM scores WHERE name IN ('player', 'slow')"), std::vector<std::string>{"11"})
        << "a refused one was stored";
}

// The records costliest to replay per byte: past the queue they are turned away at once.
TEST_F(ScoreServer, AFloodOfLongRecordsIsTurnedAwayWhileTheLeaderboardAnswers) {
    const std::string longRecord = idleMillion();
    std::vector<std::future<Reply>> flood;
    for (uint32_t i = 0; i < 100; i++)
        flood.push_back(std::async(std::launch::async, [&, i] {
            return postRecord(server->port(), 2, 0, "flood", 5, longRecord, INADDR_LOOPBACK + 10 + i % 5);
        }));
    for (int i = 0; i < 20; i++)
        EXPECT_EQ(get("/").status, 200) << "the leaderboard during the flood";
    int turnedAway = 0, replayed = 0;
    for (std::future<Reply> &reply : flood) {
        const Reply r = reply.get();
        turnedAway += r.status == 503 && !header(r, "Retry-After").empty();
        replayed += r.status == 422 && r.body.find("does not reach the end") != std::string::npos;
    }
    EXPECT_EQ(turnedAway + replayed, 100) << "every other answer is a fault";
    EXPECT_GE(replayed, 1);
    EXPECT_EQ(rows(db, "SELECT count(*) FROM scores"), std::vector<std::string>{"0"});
}
