// Online scoring against the real score server, and against scripted servers
// for the replies and failures the real one never gives.
#include "game.h"
#include "highscores.h"
#include "loopback_http.h"
#include "online.h"
#include "prefs.h"
#include "scored_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

std::string hostOf(int port) { return "127.0.0.1:" + std::to_string(port); }

// Sets the globals a game leaves behind when it ends.
void endGame(int32_t mode, int32_t difficulty, int32_t result) {
    _gameMode = mode;
    prefs.difficulty = difficulty;
    _realScore = result;
    std::snprintf(gameDescription, sizeof gameDescription, "brolix%ddif%d", mode, difficulty);
    _onlineProcessed = false;
    ghighscoreProcessed = false;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class OnlineScoring : public ::testing::Test {
protected:
    void SetUp() override {
        gOnlineScores = true;
        surf_internet = nullptr; // no window here: nothing to show
        previousState = false;
    }
    void TearDown() override {
        gOnlineScores = false;
        scoreServerHost = savedHost;
    }
    void useHost(const std::string &host) {
        hostText = host;
        scoreServerHost = hostText.c_str();
    }
    const char *savedHost = scoreServerHost;
    std::string hostText;
};

// The real server, on a free port, with its own database.
class WithRealServer : public OnlineScoring {
protected:
    void SetUp() override {
        OnlineScoring::SetUp();
        ASSERT_TRUE(server.ok());
        useHost(server.host());
    }
    std::string leaderboard() {
        httplib::Client client("127.0.0.1", server.port());
        const auto page = client.Get("/");
        return page ? page->body : std::string();
    }
    ScratchDir dir{"online"};
    ScoredProcess server{dir.path + "/scores.db"};
};

// A scripted server: answers every scoring request with `reply` and keeps what it was asked.
class WithScriptedServer : public OnlineScoring {
protected:
    void SetUp() override {
        OnlineScoring::SetUp();
        http.server().Get(R"(/scoring/.*)", [this](const httplib::Request &rq, httplib::Response &rs) {
            std::lock_guard<std::mutex> hold(lock);
            std::string query;
            for (const auto &p : rq.params)
                query += (query.empty() ? "" : "&") + p.first + "=" + p.second;
            asked.push_back(rq.path + "?" + query);
            rawTargets.push_back(rq.target);
            rs.set_content(reply, "text/plain");
        });
        ASSERT_TRUE(http.start());
        useHost(http.host());
    }
    LoopbackHttp http;
    std::mutex lock;
    std::string reply = "no";
    std::vector<std::string> asked;      // decoded path and query of each request
    std::vector<std::string> rawTargets; // the request targets as sent
};

} // namespace

TEST_F(WithRealServer, EveryModeAndDifficultyIsAskedOnItsOwnPath) {
    for (int32_t mode = 0; mode < 3; ++mode)
        for (int32_t difficulty = 0; difficulty < 3; ++difficulty) {
            endGame(mode, difficulty, mode == 2 ? 4000 : 300);
            // An empty board ranks anything; a request on the wrong path would be refused.
            EXPECT_TRUE(isOnlineScore(gameDescription)) << gameDescription;
            EXPECT_TRUE(_onlineProcessed);
            EXPECT_TRUE(previousState);
        }
}

TEST_F(WithRealServer, AFullBoardRanksOnlyBetterResults) {
    for (int32_t i = 1; i <= 10; ++i) {
        endGame(2, 1, 1000 + i);
        submitOnlineScore("runner", gameDescription);
    }
    endGame(2, 1, 1010);
    EXPECT_FALSE(isOnlineScore(gameDescription)) << "ties with the tenth time";
    endGame(2, 1, 1009);
    EXPECT_TRUE(isOnlineScore(gameDescription));
    endGame(0, 1, 5);
    EXPECT_TRUE(isOnlineScore(gameDescription)) << "other games keep their own lists";
}

TEST_F(WithRealServer, ASubmittedNameShowsOnTheLeaderboard) {
    endGame(0, 2, 2345);
    ASSERT_TRUE(isOnlineScore(gameDescription));
    submitOnlineScore("ann lee", gameDescription);
    endGame(2, 0, 3725);
    submitOnlineScore("quick", gameDescription);
    const std::string page = leaderboard();
    EXPECT_NE(page.find("<td>ann lee</td><td class=\"num\">2345</td>"), std::string::npos);
    EXPECT_NE(page.find("<td>quick</td><td class=\"num\">01:02:05</td>"), std::string::npos);
}

TEST_F(WithRealServer, AnEmptyNameGoesOnlineAsChickenAndStaysEmptyLocally) {
    resetScores();
    endGame(0, 0, 999999); // beats the local first place too
    ASSERT_TRUE(isHighScore());
    transferHighScore("");
    EXPECT_STREQ(highScoreTable(0)->players[0].name, "");
    EXPECT_EQ(highScoreTable(0)->players[0].score, 999999u);
    EXPECT_NE(leaderboard().find("<td>chicken</td><td class=\"num\">999999</td>"), std::string::npos);
    resetScores();
}

TEST_F(WithRealServer, AStoppedServerGivesNoAnswerAndTheGameGoesOn) {
    ASSERT_EQ(server.terminate(), 0);
    endGame(1, 1, 400);
    EXPECT_FALSE(isOnlineScore(gameDescription));
    EXPECT_TRUE(_onlineProcessed);
    submitOnlineScore("lost", gameDescription); // returns; nothing to check but that it does
    EXPECT_FALSE(isOnlineScore(gameDescription));
}

TEST_F(WithScriptedServer, OnlyLowerCaseYesAnywhereCounts) {
    const struct { const char *reply; bool ranks; } cases[] = {
        {"yes", true}, {"yes\n", true}, {"oh yes indeed", true}, {"eyes", true},
        {"YES", false}, {"Yes", false}, {"no", false}, {"", false}, {"y e s", false}};
    for (const auto &c : cases) {
        reply = c.reply;
        endGame(0, 1, 100);
        EXPECT_EQ(isOnlineScore(gameDescription), c.ranks) << '"' << c.reply << '"';
    }
}

TEST_F(WithScriptedServer, TheServerIsAskedOncePerGame) {
    reply = "yes";
    endGame(1, 0, 700);
    EXPECT_TRUE(isOnlineScore(gameDescription));
    reply = "no";
    EXPECT_TRUE(isOnlineScore(gameDescription)) << "the first answer holds for the game";
    EXPECT_TRUE(isOnlineScore(gameDescription));
    EXPECT_EQ(http.requests(), 1);
    endGame(1, 0, 700); // a new board resets the question
    EXPECT_FALSE(isOnlineScore(gameDescription));
    EXPECT_EQ(http.requests(), 2);
}

TEST_F(WithScriptedServer, RequestsCarryTheGameTheResultAndTheEncodedName) {
    endGame(0, 2, 1234);
    isOnlineScore(gameDescription);
    submitOnlineScore("bob the great", gameDescription);
    endGame(2, 1, 3600);
    isOnlineScore(gameDescription);
    submitOnlineScore("x", gameDescription);
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[0], "/scoring/ishighscore.php?gamename=brolix0dif2&submtdscore=1234");
    EXPECT_EQ(asked[1], "/scoring/scoresubmitter.php?computer=M&gamename=brolix0dif2&name=bob the great&score=1234");
    EXPECT_EQ(rawTargets[1],
              "/scoring/scoresubmitter.php?name=bob%20the%20great&score=1234&computer=M&gamename=brolix0dif2");
    EXPECT_EQ(rawTargets[2], "/scoring/ishighscoredesc.php?gamename=brolix2dif1&submtdscore=3600");
    EXPECT_EQ(rawTargets[3], "/scoring/scoresubmitterdesc.php?name=x&score=3600&computer=M&gamename=brolix2dif1");
}

TEST_F(WithScriptedServer, RelaxGamesAndAnUntickedBoxSendNothing) {
    reply = "yes";
    endGame(3, 1, 5000);
    EXPECT_FALSE(isOnlineScore(gameDescription));
    submitOnlineScore("relaxed", gameDescription);
    EXPECT_FALSE(_onlineProcessed);

    gOnlineScores = false;
    endGame(0, 1, 5000);
    EXPECT_FALSE(isOnlineScore(gameDescription));
    EXPECT_FALSE(_onlineProcessed) << "ticking the box later still asks once";
    submitOnlineScore("quiet", gameDescription);
    EXPECT_EQ(http.requests(), 0);

    gOnlineScores = true;
    EXPECT_TRUE(isOnlineScore(gameDescription));
    EXPECT_EQ(http.requests(), 1);
}

TEST_F(OnlineScoring, AServerThatNeverAnswersGivesNoAnswerWithinTheLimit) {
    SilentListener silent;
    useHost(hostOf(silent.port()));
    endGame(0, 0, 100);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(isOnlineScore(gameDescription));
    EXPECT_LT(secondsSince(start), 13.0);
    // The game carries on: the answer is kept, no second wait.
    const auto again = std::chrono::steady_clock::now();
    EXPECT_FALSE(isOnlineScore(gameDescription));
    EXPECT_LT(secondsSince(again), 1.0);
}
