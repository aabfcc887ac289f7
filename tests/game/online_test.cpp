// Online scoring against scripted score servers on loopback.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "game.h"
#include "loopback_http.h"
#include "online.h"
#include "protocol.h"
#include "record.h"
#include "prefs.h"

namespace {

// The globals a game leaves behind when it ends.
void endGame(int32_t mode, int32_t result) {
    _gameMode = mode;
    prefs.difficulty = 1;
    _realScore = result;
    std::snprintf(gameDescription, sizeof gameDescription, "brolix%ddif1", mode);
    _onlineProcessed = false;
}

// Records kept for a busy server, by file name.
std::vector<std::string> keptRecords() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(keptRecordFolder(), error))
        if (entry.path().extension() == ".brxs") names.push_back(entry.path().filename().string());
    return names;
}

class Online : public ::testing::Test {
protected:
    void SetUp() override {
        for (const std::string &name : keptRecords()) std::filesystem::remove(keptRecordFolder() + "/" + name);
        std::filesystem::remove(keptRecordFolder() + "/next.ticket");
        gOnlineScores = true;
        http.server().Get(".*", [this](const httplib::Request &rq, httplib::Response &rs) {
            std::lock_guard<std::mutex> hold(lock);
            asked.push_back(rq.target);
            rs.set_content(rq.path == protocol::ticketPath ? ticketReply : reply, "text/plain");
        });
        http.server().Post(R"(/scoring/.*)", [this](const httplib::Request &rq, httplib::Response &rs) {
            std::lock_guard<std::mutex> hold(lock);
            asked.push_back("POST " + rq.target + (rq.body == writeRecord(gameRecord) ? " +record" : " ?"));
            rs.status = postStatus;
            rs.set_content(postStatus == 200 ? "ok" : "no such thing\n", "text/plain");
        });
        ASSERT_TRUE(http.start());
        use(http.host());
    }
    void TearDown() override {
        waitForOnlineFetches();
        gOnlineScores = false;
        scoreServerHost = savedHost;
    }
    void use(const std::string &host) {
        hostText = host;
        scoreServerHost = hostText.c_str();
    }
    const char *savedHost = scoreServerHost;
    std::string hostText, reply = "no", ticketReply;
    int postStatus = 200;
    LoopbackHttp http;
    std::mutex lock;
    std::vector<std::string> asked;
};

// The million mode asks its own paths; a server that takes no records gets the score alone.
TEST_F(Online, EachGameAsksOnceOnlyALowerCaseYesRanksAndANamelessPlayerIsAChicken) {
    const std::pair<std::string, bool> cases[] = {{"yes", true},      {"yes\n", true}, {"oh yes\n", false},
                                                  {"yes, but", false}, {"YES", false},   {"no", false},
                                                  {"", false},         {std::string("\xff\0yes", 5), false}};
    for (const auto &[answer, ranks] : cases) {
        reply = answer;
        endGame(0, 100);
        EXPECT_EQ(isOnlineScore(gameDescription), ranks) << '"' << answer << '"';
        reply = ranks ? "no" : "yes";
        EXPECT_EQ(isOnlineScore(gameDescription), ranks) << "the first answer holds for the game";
    }
    EXPECT_EQ(asked.size(), 8u);
    asked.clear();
    endGame(2, 3600);
    postStatus = 404;
    isOnlineScore(gameDescription);
    submitOnlineScore("", gameDescription);
    EXPECT_EQ(asked, (std::vector<std::string>{
                         "/scoring/ishighscoredesc.php?gamename=brolix2dif1&submtdscore=3600",
                         "POST /scoring/scorerecord.php?name=chicken&score=3600&computer=M&gamename=brolix2dif1 +record",
                         "/scoring/scoresubmitterdesc.php?name=chicken&score=3600&computer=M&gamename=brolix2dif1"}));
    // A server that never answers gives KWeb's same nothing, after its time limit (kweb_test).
    use("127.0.0.1:" + std::to_string(unusedLoopbackPort()));
    endGame(1, 400);
    EXPECT_FALSE(isOnlineScore(gameDescription));
    EXPECT_TRUE(_onlineProcessed) << "a failing server is asked once: no second wait";
}

// A ticket as the server writes it; only the server can check its signature.
std::string ticketFor(const std::string &game, uint32_t seed) {
    return protocol::Ticket{game, seed, 1700000000, std::string(64, 'a')}.text();
}

// Nothing is asked, sent or fetched with the box unticked or for relax. A busy server's answer
// keeps the record on disk until the next submission; a refusal for good keeps nothing.
TEST_F(Online, TicketsAreFetchedAheadSentWithTheirGameAndABusyServersRecordWaitsOnDisk) {
    reply = "yes";
    gOnlineScores = false;
    endGame(0, 5000);
    EXPECT_FALSE(isOnlineScore(gameDescription));
    submitOnlineScore("quiet", gameDescription);
    fetchTicketAhead(0, 1);
    gOnlineScores = true;
    fetchTicketAhead(3, 1);
    waitForOnlineFetches();
    EXPECT_TRUE(asked.empty()) << "a request with the box unticked, or for relax";
    EXPECT_TRUE(isOnlineScore(gameDescription)) << "ticking the box later still asks, once";
    endGame(3, 5000);
    EXPECT_FALSE(isOnlineScore(gameDescription));
    submitOnlineScore("relaxed", gameDescription);
    EXPECT_EQ(asked.size(), 1u) << "relax asks and sends nothing";
    asked.clear();
    uint32_t seed = 0;
    EXPECT_FALSE(takeTicket(0, 1, seed));

    ticketReply = ticketFor("brolix0dif1", 4242);
    fetchTicketAhead(0, 1);
    waitForOnlineFetches();
    fetchTicketAhead(0, 1);   // one is ready: not fetched again
    waitForOnlineFetches();
    EXPECT_EQ(asked, std::vector<std::string>{"/scoring/ticket.php?gamename=brolix0dif1"});
    EXPECT_FALSE(takeTicket(0, 2, seed)) << "another game's ticket";
    ASSERT_TRUE(takeTicket(0, 1, seed));
    EXPECT_EQ(std::pair(seed, gameTicket()), std::pair(4242u, ticketReply));
    startGame(modeSixtySeconds, 1, seed);
    endGame(0, 120);
    asked.clear();
    postStatus = 503;
    submitOnlineScore("ada", gameDescription);
    const std::string sent = "POST /scoring/scorerecord.php?name=ada&score=120&computer=M&gamename=brolix0dif1&ticket=" +
                             ticketReply + " +record";
    EXPECT_EQ(asked, std::vector<std::string>{sent});
    EXPECT_EQ(keptRecords().size(), 1u) << "a busy server's record is kept";
    EXPECT_FALSE(takeTicket(0, 1, seed)) << "a ticket serves one game";
    for (const std::string &wrong : {ticketFor("brolix0dif2", 7), std::string("brolix0dif1.7.1.xyz")}) {
        ticketReply = wrong;   // for another game than asked, or no ticket at all
        fetchTicketAhead(1, 1);
        waitForOnlineFetches();
        EXPECT_FALSE(takeTicket(1, 1, seed)) << wrong;
    }
    postStatus = 200;
    asked.clear();
    startGame(modeSixtySeconds, 1, 77);   // no ticket for this one: its record goes without
    endGame(0, 30);
    const std::string kept = sent.substr(0, sent.rfind(" +record")) + " ?";   // the first game's record, not this one
    submitOnlineScore("ada", gameDescription);
    EXPECT_EQ(asked, (std::vector<std::string>{kept, "POST /scoring/scorerecord.php?name=ada&score=30&computer=M&gamename=brolix0dif1 +record"}));
    EXPECT_TRUE(keptRecords().empty());
    postStatus = 422;
    submitOnlineScore("ada", gameDescription);
    EXPECT_TRUE(keptRecords().empty()) << "a record refused for good is not kept";
}

}  // namespace
