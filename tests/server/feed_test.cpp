// The leaderboard as JSON, and what lets browsers and proxies keep it and the page for a
// few seconds: tags, dates and the 304 that saves sending them again.
#include "scored_process.h"
#include "test_databases.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

std::string header(const Reply &reply, const std::string &name) {
    const size_t at = reply.head.find("\r\n" + name + ": ");
    if (at == std::string::npos)
        return "";
    const size_t value = at + name.size() + 4;
    return reply.head.substr(value, reply.head.find("\r\n", value) - value);
}

Reply conditional(int port, const std::string &target, const std::string &headers) {
    return sendRaw(port, "GET " + target + " HTTP/1.1\r\nHost: t\r\nConnection: close\r\n" + headers + "\r\n");
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

} // namespace

// One board of each kind: points and times, sent with and without a record, a name the
// game would never send (an older server's row); the feed and the page kept, revalidated
// by tag and by date in each form a client may send, and changed by a new score.
TEST(Feed, HoldsThePagesRowsAndIsKeptBrieflyByBrowsersAndProxies) {
    TempDir dir{"feed"};
    const std::string db = dir.path("scores.db");
    ScoredProcess server(db, 0, {"--trust-unverified"});
    ASSERT_TRUE(server.ok());
    const int port = server.port();
    EXPECT_EQ(get(port, submit(0, 0, "ann", 500)).body, "ok");
    EXPECT_EQ(get(port, submit(0, 0, "bob", 2000)).body, "ok");
    EXPECT_EQ(get(port, submit(2, 1, "cy", 75)).body, "ok");
    std::string error;
    const std::unique_ptr<scored::Database> direct = scored::Database::open(db, error);
    ASSERT_TRUE(direct && direct->script("INSERT INTO scores (gamename, name, score, computer, submitted, verified, record) VALUES"
                                   " ('brolix1dif2', 'dee', 42, 'M', 1767225600, 1, X'425258520102'),"
                                   " ('brolix1dif1', 'q\"u\\o' || char(1) || CAST(X'FFC3A9E282ACEDA080C3' AS TEXT), 7, 'M', 1767225600, 0, NULL)")) << error;
    const std::string dee = rows(db, "SELECT id FROM scores WHERE name = 'dee'").at(0);

    const Reply feed = get(port, "/scores.json");
    EXPECT_EQ(feed.status, 200);
    EXPECT_EQ(header(feed, "Content-Type"), "application/json");
    EXPECT_EQ(count(feed.body, "\"gamename\": "), 9u) << "every board, the empty ones too";
    for (const char *row : {
             R"({"place": 1, "name": "bob", "score": 2000, "result": "2000", "date": ")",
             R"({"place": 2, "name": "ann", "score": 500, "result": "500", )",
             R"({"place": 1, "name": "cy", "score": 75, "result": "00:01:15", )",
             R"("name": "q\"u\\o\u0001\ufffdé€\ufffd\ufffd\ufffd\ufffd", )", // stored bytes that are not UTF-8 too
             R"({"place": 1, "name": "dee", "score": 42, "result": "42", "date": "2026-01-01", "submitted": 1767225600, )"
             R"("verified": true, "ranked": true, "record": "/scoring/record.php?id=)"})
        EXPECT_NE(feed.body.find(row), std::string::npos) << row;
    EXPECT_EQ(count(feed.body, R"("verified": false, "ranked": true, "record": null})"), 4u);   // scores sent alone rank: the server trusts them
    const Reply one = get(port, "/scores.json?gamename=brolix2dif1");
    EXPECT_TRUE(one.status == 200 && count(one.body, "\"gamename\": ") == 1 &&
                one.body.find(R"({"gamename": "brolix2dif1", "mode": "Million", "difficulty": "Normal", "order": "fewest seconds")") !=
                    std::string::npos && one.body.find("\"cy\"") != std::string::npos && one.body.find("bob") == std::string::npos)
        << one.body;
    for (const auto &[target, status] : std::vector<std::pair<std::string, int>>{
             {"/scores.json?gamename=brolix3dif0", 404}, {"/scores.json?gamename=", 404},
             {"/scores.json?gamename=brolix0dif0&gamename=brolix0dif1", 400}, {"/scores.json?page=2", 400}})
        EXPECT_EQ(get(port, target).status, status) << target;
    EXPECT_EQ(get(port, "/scores.json", "POST").status, 405);

    // The record downloads as a file of its own type, named as the page names it.
    const Reply record = get(port, "/scoring/record.php?id=" + dee);
    EXPECT_EQ(record.body, std::string("BRXR\1\2"));
    EXPECT_EQ(header(record, "Content-Type"), "application/x-brolix-record");
    EXPECT_EQ(header(record, "Content-Disposition"), "attachment; filename=\"brolix-" + dee + ".brxr\"");
    EXPECT_NE(get(port, "/").body.find("href=\"/scoring/record.php?id=" + dee + "\" download=\"brolix-" + dee + ".brxr\""),
              std::string::npos);

    // Kept a few seconds; the date is the newest score's (the server started before any).
    const std::string tag = header(feed, "ETag"), modified = header(feed, "Last-Modified");
    EXPECT_EQ(header(feed, "Cache-Control"), "public, max-age=5");
    EXPECT_TRUE(tag.size() > 2 && tag.front() == '"' && tag.back() == '"') << tag;
    const time_t newest = std::stoll(rows(db, "SELECT max(submitted) FROM scores").at(0));
    EXPECT_EQ(modified, httpDate(newest));
    const Reply page = get(port, "/");
    EXPECT_NE(header(page, "ETag"), tag);
    EXPECT_EQ(conditional(port, "/", "If-None-Match: " + header(page, "ETag") + "\r\n").status, 304);
    for (const auto &[sent, status] : std::vector<std::pair<std::string, int>>{
             {"If-None-Match: " + tag, 304}, {"If-None-Match: W/" + tag, 304}, {"If-None-Match: \"x\", " + tag, 304},
             {"If-None-Match: *", 304}, {"If-None-Match: \"x\"", 200}, {"If-None-Match: " + tag.substr(1), 200},
             {"If-None-Match: \"x\"\r\nIf-Modified-Since: " + modified, 200}, // the tag decides
             {"If-Modified-Since: " + modified, 304}, {"If-Modified-Since: " + httpDate(newest + 60), 304},
             {"If-Modified-Since: " + httpDate(newest - 1), 200},
             {"If-Modified-Since: " + httpDate(newest, "%A, %d-%b-%y %H:%M:%S GMT"), 304},
             {"If-Modified-Since: " + httpDate(newest, "%a %b %e %H:%M:%S %Y"), 304},
             {"If-Modified-Since: " + modified + "x", 200}, {"If-Modified-Since: yesterday", 200}}) {
        const Reply r = conditional(port, "/scores.json", sent + "\r\n");
        EXPECT_EQ(r.status, status) << sent;
        if (status == 304)
            EXPECT_TRUE(r.body.empty() && header(r, "ETag") == tag && header(r, "Cache-Control") == "public, max-age=5") << sent;
        else
            EXPECT_EQ(r.body, feed.body) << sent;
    }
    // The game's answers are never kept.
    const Reply question = get(port, ask(0, 0, 1));
    EXPECT_TRUE(header(question, "Cache-Control") == "no-cache" && header(question, "ETag").empty()) << question.head;

    // A new score is a new copy; one stamped in the future (the clock set back since) dates it now.
    EXPECT_EQ(get(port, submit(0, 0, "eve", 3000)).body, "ok");
    ASSERT_TRUE(direct->script("UPDATE scores SET submitted = 4102444800 WHERE name = 'eve'"));
    const Reply changed = conditional(port, "/scores.json", "If-None-Match: " + tag + "\r\n");
    const time_t now = std::time(nullptr);
    EXPECT_EQ(changed.status, 200);
    EXPECT_NE(header(changed, "ETag"), tag);
    EXPECT_NE(changed.body.find(R"({"place": 1, "name": "eve", "score": 3000, "result": "3000", "date": "2100-01-01", )"),
              std::string::npos);
    EXPECT_TRUE(header(changed, "Last-Modified") == httpDate(now) || header(changed, "Last-Modified") == httpDate(now - 1))
        << header(changed, "Last-Modified");
}
