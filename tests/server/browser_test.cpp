// The leaderboard as a visitor's browser reads it: headless Chromium, phone-sized.
#include "scored_process.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

TEST(LeaderboardInBrowser, ShowsNamesAsTextNeverAsMarkup) {
    const TempDir dir("browser");
    const ScoredProcess server(dir.path("scores.db"));
    ASSERT_TRUE(server.ok());
    // The server refuses such a name; a row written by another tool must still not inject.
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(dir.path("scores.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "INSERT INTO scores (gamename, name, score, computer, submitted, verified) VALUES"
                               " ('brolix0dif1', 'ada lovelace', 4210, 'M', 0, 1),"
                               " ('brolix2dif0', 'margaret', 3725, 'M', 0, 1),"
                               " ('brolix1dif2', '<b>bold</b><script>document.title=1</script>', 9, 'M', 0, 1)",
                           nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    std::system(("timeout 60 chromium --headless --no-sandbox --disable-gpu --no-first-run"
                 " --disable-background-networking --disable-component-update --window-size=412,1900"
                 " --user-data-dir=" + dir.path("profile") + " --dump-dom http://" + server.host() + "/ >" +
                 dir.path("dom.html") + " 2>/dev/null").c_str());
    const std::string dom = dir.read("dom.html");
    for (const char *shown : {"ada lovelace", "margaret", "01:02:05", "Sixty seconds", "Million",
                              "&lt;b&gt;bold&lt;/b&gt;&lt;script&gt;document.title=1&lt;/script&gt;"})
        EXPECT_NE(dom.find(shown), std::string::npos) << shown << " not in " << dom;
    EXPECT_EQ(dom.find("<b>"), std::string::npos);
    EXPECT_NE(dom.find("<title>Brolix leaderboard</title>"), std::string::npos) << "a script ran";
}
