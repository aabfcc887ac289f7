// KWeb against HTTP servers on loopback: bodies of every size, failures, limits.
#include "KWeb.h"
#include "loopback_http.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string patterned(size_t size) {
    std::string body(size, ' ');
    for (size_t i = 0; i < size; ++i)
        body[i] = char('!' + (i * 7) % 90); // printable, no NUL, not periodic in 256
    return body;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class WebFetch : public ::testing::Test {
protected:
    void SetUp() override {
        http.server().Get(R"(/size/(\d+))", [](const httplib::Request &rq, httplib::Response &rs) {
            rs.set_content(patterned(std::stoul(rq.matches[1])), "text/plain");
        });
        http.server().Get("/status/404", [](const httplib::Request &, httplib::Response &rs) {
            rs.status = 404;
            rs.set_content("missing page", "text/plain");
        });
        http.server().Get("/agent", [](const httplib::Request &rq, httplib::Response &rs) {
            rs.set_content(rq.get_header_value("User-Agent"), "text/plain");
        });
        http.server().Get("/old", [](const httplib::Request &, httplib::Response &rs) { rs.set_redirect("/new"); });
        http.server().Get("/new", [](const httplib::Request &, httplib::Response &rs) {
            rs.set_content("moved here", "text/plain");
        });
        http.server().Get("/with space/x", [](const httplib::Request &rq, httplib::Response &rs) {
            rs.set_content("spaced " + rq.get_param_value("q"), "text/plain");
        });
        // Announces 1000 bytes, sends 400, then the connection breaks.
        http.server().Get("/cut", [](const httplib::Request &, httplib::Response &rs) {
            rs.set_content_provider(1000, "text/plain", [](size_t offset, size_t, httplib::DataSink &sink) {
                if (offset > 0)
                    return false;
                const std::string part = patterned(400);
                sink.write(part.data(), part.size());
                return true;
            });
        });
        ASSERT_TRUE(http.start());
    }
    LoopbackHttp http;
};

} // namespace

TEST_F(WebFetch, EmptyBodyIsEmptyTextNotNothing) {
    KWeb web;
    const char *body = web.callURL(http.url("/size/0").c_str(), false);
    ASSERT_NE(body, nullptr);
    EXPECT_STREQ(body, "");
}

TEST_F(WebFetch, BodiesOfEverySizeArriveWhole) {
    for (const size_t size : {1ul, 255ul, 256ul, 257ul, 16127ul, 16128ul, 16129ul, 16384ul, 32512ul, 32768ul,
                              100000ul, 1ul << 20}) {
        KWeb web;
        const char *body = web.callURL(http.url("/size/" + std::to_string(size)).c_str(), false);
        ASSERT_NE(body, nullptr) << size;
        ASSERT_EQ(std::strlen(body), size) << size;
        EXPECT_EQ(std::string(body), patterned(size)) << size;
    }
}

TEST_F(WebFetch, StatusIsNotExaminedAndAnErrorPageIsText) {
    KWeb web;
    const char *body = web.callURL(http.url("/status/404").c_str(), false);
    ASSERT_NE(body, nullptr);
    EXPECT_STREQ(body, "missing page");
    body = web.callURL(http.url("/no/such/path").c_str(), false);
    ASSERT_NE(body, nullptr) << "httplib's own 404 has an empty body: still text";
}

TEST_F(WebFetch, EachCallReplacesTheLastBody) {
    KWeb web;
    ASSERT_NE(web.callURL(http.url("/size/3000").c_str(), false), nullptr);
    const char *second = web.callURL(http.url("/size/5").c_str(), false);
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(second, "!(/6=");
    EXPECT_EQ(web.callURL(("http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/").c_str(), false),
              nullptr);
}

TEST_F(WebFetch, UserAgentNamesTheEngine) {
    KWeb web;
    const char *body = web.callURL(http.url("/agent").c_str(), true);
    ASSERT_NE(body, nullptr);
    EXPECT_STREQ(body, KWeb::userAgent);
    EXPECT_NE(std::strstr(body, "Brolix"), nullptr);
}

TEST_F(WebFetch, RedirectsAreFollowed) {
    KWeb web;
    const char *body = web.callURL(http.url("/old").c_str(), false);
    ASSERT_NE(body, nullptr);
    EXPECT_STREQ(body, "moved here");
}

TEST_F(WebFetch, UnsafePathCharactersAreEncodedTheQueryIsNot) {
    KWeb web;
    const char *body = web.callURL(http.url("/with space/x?q=a%20b").c_str(), false);
    ASSERT_NE(body, nullptr);
    EXPECT_STREQ(body, "spaced a b");
}

TEST_F(WebFetch, ABrokenBodyKeepsWhatArrived) {
    KWeb web;
    const char *body = web.callURL(http.url("/cut").c_str(), false);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(std::string(body), patterned(400));
}

TEST_F(WebFetch, DirectIgnoresTheConfiguredProxy) {
    LoopbackHttp proxy;
    proxy.server().Get(".*", [](const httplib::Request &, httplib::Response &rs) {
        rs.set_content("via proxy", "text/plain");
    });
    ASSERT_TRUE(proxy.start());
    setenv("http_proxy", proxy.url("").c_str(), 1);
    KWeb web;
    const std::string viaSettings = web.callURL(http.url("/new").c_str(), false);
    const std::string direct = web.callURL(http.url("/new").c_str(), true);
    unsetenv("http_proxy");
    EXPECT_EQ(viaSettings, "via proxy");
    EXPECT_EQ(direct, "moved here");
}

TEST(WebFailures, NoServerGivesNothing) {
    KWeb web;
    const std::string url = "http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/x";
    EXPECT_EQ(web.callURL(url.c_str(), false), nullptr);
}

TEST(WebFailures, OnlyHttpIsFetched) {
    KWeb web;
    EXPECT_EQ(web.callURL("file:///etc/hostname", false), nullptr);
    EXPECT_EQ(web.callURL("ftp://127.0.0.1/x", false), nullptr);
    EXPECT_EQ(web.callURL("not a url at all", false), nullptr);
    EXPECT_EQ(web.callURL("", false), nullptr);
}

TEST(WebFailures, ASilentServerGivesNothingWithinTheRequestLimit) {
    SilentListener silent;
    ASSERT_GT(silent.port(), 0);
    KWeb web;
    const auto start = std::chrono::steady_clock::now();
    const std::string url = "http://127.0.0.1:" + std::to_string(silent.port()) + "/scoring/x";
    EXPECT_EQ(web.callURL(url.c_str(), false), nullptr);
    const double waited = secondsSince(start);
    EXPECT_GE(waited, 9.0);   // the whole-request limit is 10 s...
    EXPECT_LT(waited, 13.0);  // ...and nothing waits longer
}

// A fresh network namespace has its loopback interface down: the machine is offline.
TEST(WebFailures, AnOfflineMachineGivesNothing) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (unshare(CLONE_NEWNET) != 0)
            _exit(77);
        KWeb web;
        _exit(web.callURL("http://127.0.0.1:1/", false) == nullptr ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no permission to make a network namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(CanonicalURL, PathIsEncodedQueryAndFragmentAreNot) {
    char out[520];
    ASSERT_TRUE(canonicalizeURL("http://h:1/a b/<c>?n=x y#f g", out, sizeof out));
    EXPECT_STREQ(out, "http://h:1/a%20b/%3Cc%3E?n=x y#f g");
    ASSERT_TRUE(canonicalizeURL("http://h/p\xc3\xa9#x y?z", out, sizeof out));
    EXPECT_STREQ(out, "http://h/p%C3%A9#x y?z");
    ASSERT_TRUE(canonicalizeURL("", out, sizeof out));
    EXPECT_STREQ(out, "");
}

TEST(CanonicalURL, LongerThan519CharactersIsRefused) {
    char out[520];
    const std::string fits = "http://h/" + std::string(510, 'a');
    ASSERT_EQ(fits.size(), 519u);
    ASSERT_TRUE(canonicalizeURL(fits.c_str(), out, sizeof out));
    EXPECT_EQ(std::string(out), fits);
    EXPECT_FALSE(canonicalizeURL((fits + "a").c_str(), out, sizeof out));
    EXPECT_FALSE(canonicalizeURL(("http://h/" + std::string(171, ' ')).c_str(), out, sizeof out));
}
