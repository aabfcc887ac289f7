// The leaderboard as a visitor's browser renders it: headless Chromium, phone-sized.
#include "scored_process.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdio>
#include <sys/stat.h>

namespace {

const char *const kChromiumFlags =
    " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
    " --disable-background-networking --disable-component-update --disable-sync"
    " --hide-scrollbars --window-size=412,1900";

std::string run(const std::string &command) {
    std::string out;
    if (FILE *p = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
            out.append(buffer, n);
        pclose(p);
    }
    return out;
}

std::string chromium(const std::string &profile, const std::string &what, const std::string &url) {
    return run("timeout 60 chromium" + std::string(kChromiumFlags) + " --user-data-dir=" + profile + " " + what +
               " " + url + " 2>/dev/null");
}

} // namespace

TEST(LeaderboardInBrowser, ShowsTheSubmittedNames) {
    const ScratchDir scratch("browser");
    const std::string &dir = scratch.path;
    ScoredProcess server(dir + "/scores.db");
    ASSERT_TRUE(server.ok());
    httplib::Client client("127.0.0.1", server.port());
    const char *const submissions[] = {
        "/scoring/scoresubmitter.php?name=ada%20lovelace&score=4210&computer=M&gamename=brolix0dif1",
        "/scoring/scoresubmitter.php?name=grace&score=3900&computer=M&gamename=brolix0dif1",
        "/scoring/scoresubmitter.php?name=linus&score=15500&computer=M&gamename=brolix1dif2",
        "/scoring/scoresubmitterdesc.php?name=margaret&score=3725&computer=M&gamename=brolix2dif0"};
    for (const char *path : submissions) {
        const auto r = client.Get(path);
        ASSERT_TRUE(r);
        ASSERT_EQ(r->body, "ok") << path;
    }
    const std::string url = "http://" + server.host() + "/";

    const std::string dom = chromium(dir + "/profile-dom", "--dump-dom", url);
    for (const char *shown : {"ada lovelace", "grace", "linus", "margaret", "01:02:05", "Sixty seconds", "Million"})
        EXPECT_NE(dom.find(shown), std::string::npos) << shown;

    mkdir(BROLIX_ARTIFACTS_DIR, 0755);
    const std::string shot = std::string(BROLIX_ARTIFACTS_DIR) + "/leaderboard.png";
    std::remove(shot.c_str());
    chromium(dir + "/profile-shot", "--screenshot=" + shot, url);
    const std::string png = readFile(shot);
    ASSERT_GT(png.size(), 24u) << "no screenshot at " << shot;
    EXPECT_EQ(png.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
    const auto be32 = [&](size_t at) {
        return (unsigned(uint8_t(png[at])) << 24) | (unsigned(uint8_t(png[at + 1])) << 16) |
               (unsigned(uint8_t(png[at + 2])) << 8) | unsigned(uint8_t(png[at + 3]));
    };
    EXPECT_EQ(be32(16), 412u);   // IHDR width: the phone-sized window
    EXPECT_EQ(be32(20), 1900u);
    // A page with tables and text is far from one flat colour.
    const std::string spread = run("convert " + shot + " -colorspace Gray -format '%[fx:standard_deviation]' info:");
    EXPECT_GT(std::atof(spread.c_str()), 0.05) << "blank screenshot? " << spread;
}
