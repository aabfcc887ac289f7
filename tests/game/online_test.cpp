// Online scoring against scripted score servers on loopback: what is asked, how
// often, how answers are read, and servers that fail.
#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "game.h"
#include "loopback_http.h"
#include "online.h"
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

class Online : public ::testing::Test {
protected:
    void SetUp() override {
        gOnlineScores = true;
        http.server().Get(".*", [this](const httplib::Request &rq, httplib::Response &rs) {
            std::lock_guard<std::mutex> hold(lock);
            asked.push_back(rq.target);
            rs.set_content(reply, "text/plain");
        });
        http.server().Post(R"(/scoring/.*)", [this](const httplib::Request &rq, httplib::Response &rs) {
            std::lock_guard<std::mutex> hold(lock);
            asked.push_back("POST " + rq.target + (rq.body == writeRecord(gameRecord) ? " +record" : " ?"));
            rs.status = postStatus;
            rs.set_content(postStatus == 200 ? "ok" : "not found\n", "text/plain");
        });
        ASSERT_TRUE(http.start());
        use(http.host());
    }
    void TearDown() override {
        gOnlineScores = false;
        scoreServerHost = savedHost;
    }
    void use(const std::string &host) {
        hostText = host;
        scoreServerHost = hostText.c_str();
    }
    const char *savedHost = scoreServerHost;
    std::string hostText, reply = "no";
    int postStatus = 200;
    LoopbackHttp http;
    std::mutex lock;
    std::vector<std::string> asked;
};

// Each game asks once, and only a lower-case yes ranks. The million mode asks its own
// paths, and a server that does not take records gets the score alone. (The sixty-seconds
// game's requests, an encoded name and its record among them, reach the real server in
// brolix_e2e_test.)
TEST_F(Online, EachGameAsksOnceOnlyALowerCaseYesRanksAndANamelessPlayerIsAChicken) {
    const struct {
        std::string reply;
        bool ranks;
    } cases[] = {{"yes", true}, {"oh yes\n", true}, {"YES", false}, {"no", false}, {"", false},
                 {std::string("\xff\0yes", 5), false}};
    for (const auto &c : cases) {
        reply = c.reply;
        endGame(0, 100);
        EXPECT_EQ(isOnlineScore(gameDescription), c.ranks) << '"' << c.reply << '"';
        reply = c.ranks ? "no" : "yes";
        EXPECT_EQ(isOnlineScore(gameDescription), c.ranks) << "the first answer holds for the game";
    }
    EXPECT_EQ(asked.size(), 6u);
    asked.clear();
    endGame(2, 3600);
    postStatus = 404;
    isOnlineScore(gameDescription);
    submitOnlineScore("", gameDescription);
    const std::vector<std::string> expected = {
        "/scoring/ishighscoredesc.php?gamename=brolix2dif1&submtdscore=3600",
        "POST /scoring/scorerecord.php?name=chicken&score=3600&computer=M&gamename=brolix2dif1 +record",
        "/scoring/scoresubmitterdesc.php?name=chicken&score=3600&computer=M&gamename=brolix2dif1"};
    EXPECT_EQ(asked, expected);
}

// A server that never answers gives KWeb's same nothing, after its time limit (kweb_test).
TEST_F(Online, RelaxGamesAndAnUntickedBoxSendNothingAndAFailingServerIsAskedOnce) {
    reply = "yes";
    endGame(3, 5000);
    EXPECT_FALSE(isOnlineScore(gameDescription));
    submitOnlineScore("relaxed", gameDescription);
    gOnlineScores = false;
    endGame(0, 5000);
    EXPECT_FALSE(isOnlineScore(gameDescription));
    submitOnlineScore("quiet", gameDescription);
    EXPECT_TRUE(asked.empty());
    gOnlineScores = true;
    EXPECT_TRUE(isOnlineScore(gameDescription)) << "ticking the box later still asks, once";
    use("127.0.0.1:" + std::to_string(unusedLoopbackPort()));
    endGame(1, 400);
    EXPECT_FALSE(isOnlineScore(gameDescription));
    EXPECT_TRUE(_onlineProcessed) << "asked once: no second wait";
}

}  // namespace
